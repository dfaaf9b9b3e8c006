// Nothing in the program catches an exception, so whatever the C++ library would throw (memory
// or a string's length exhausted) ends the process, as the exception would once nobody caught
// it. These stand in for libstdc++'s own, linked into the exe alone: its versions bring in the
// exception machinery (the unwinder and its tables, the exception types and the second string
// implementation they are built on, more than the rest of the exe) only to reach that same end.
// The suites link the library's, as they catch what their own code throws.
#include <cstdlib>
#include <new>

namespace std {

[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }

}  // namespace std

// Memory comes from the C runtime; none left ends the process where std::bad_alloc would.
void* operator new(std::size_t size) {
  void* memory = std::malloc(size != 0 ? size : 1);
  if (memory == nullptr) std::abort();
  return memory;
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
