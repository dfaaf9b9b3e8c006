#include "module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <list>
#include <string>

#include "module_entry.h"

namespace platform {
namespace {

// The reasons given so far: the stderr line is written after later drivers were tried.
std::list<std::string> Reasons;

const char* Reason(std::string reason) { return Reasons.emplace_back(std::move(reason)).c_str(); }

// The program's own folder with a trailing "/", from the link the kernel keeps to its file.
std::string ProgramFolder() {
  char path[PATH_MAX];
  ssize_t size = readlink("/proc/self/exe", path, sizeof path);
  if (size <= 0 || size == sizeof path) return "./";
  std::string folder(path, size);
  return folder.erase(folder.rfind('/') + 1);
}

}  // namespace

const void* LoadModule(const char* file, const char** why) {
  std::string folder = ProgramFolder();
  std::string packaged = folder + VARDEL_MODULE_DIR + "/";
  for (const std::string& candidate : {folder + file, packaged + file}) {
    if (access(candidate.c_str(), F_OK) != 0) continue;
    // Every symbol bound now: a module that does not fit the program fails here, as a reason.
    void* module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto* entry = module == nullptr
                      ? nullptr
                      : reinterpret_cast<const void* (*)()>(dlsym(module, kModuleEntry));
    if (entry != nullptr) return entry();
    const char* error = dlerror();
    *why =
        Reason("cannot load " + candidate + " (" + (error != nullptr ? error : "no table") + ")");
    return nullptr;
  }
  *why = Reason(std::string("no ") + file + " beside the program or in " + packaged);
  return nullptr;
}

}  // namespace platform
