// What the tag remover must leave of a file, worked out from the rules alone on bytes in
// memory, with no file calls: the fuzzer's reference.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The file's bytes after the remover has run on a file holding `before`.
Bytes ExpectedAfterRemoval(const Bytes& before);
