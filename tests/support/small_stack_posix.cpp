#include <pthread.h>

#include "small_stack.h"

namespace {

void* RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return nullptr;
}

}  // namespace

bool RunOnSmallStack(size_t stackBytes, const std::function<void()>& work) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_t thread;
  bool started =
      pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
      pthread_create(&thread, &attributes, RunWork, const_cast<std::function<void()>*>(&work)) == 0;
  pthread_attr_destroy(&attributes);
  if (started) pthread_join(thread, nullptr);
  return started;
}
