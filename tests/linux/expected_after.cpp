// The rules' model (the fuzzer's) for tests outside C++: reads files' bytes on stdin, each as
// an 8-byte little-endian length and then the bytes, and answers each the same way with what
// the tag remover must leave of that file. Ends at the end of its input.
#include <cstdint>
#include <cstdio>

#include "rules_model.h"

namespace {

bool ReadExactly(void* to, size_t size) { return std::fread(to, 1, size, stdin) == size; }

void WriteAll(const void* from, size_t size) { std::fwrite(from, 1, size, stdout); }

}  // namespace

int main() {
  uint64_t size = 0;
  while (ReadExactly(&size, sizeof size)) {
    Bytes before(size);
    if (!ReadExactly(before.data(), before.size())) return 1;
    Bytes after = ExpectedAfterRemoval(before);
    uint64_t length = after.size();
    WriteAll(&length, sizeof length);
    WriteAll(after.data(), after.size());
    std::fflush(stdout);
  }
  return 0;
}
