#include "shown_text.h"

#include <cstring>
#include <cwchar>

namespace platform {
namespace {

// The control characters: C0 below the space, DEL, and C1 from U+0080 to U+009F.
constexpr char32_t kSpace = 0x20, kDelete = 0x7F, kLastC1 = 0x9F;
constexpr char kBackslash = '\\';
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr int kHexBits = 4;
constexpr unsigned char kLowHexDigit = 0xF;

// UTF-8: a lead byte says how many bytes follow it, each 10xxxxxx and carrying six bits.
constexpr unsigned char kFirstLead = 0xC0, kThreeByteLead = 0xE0, kFourByteLead = 0xF0,
                        kPastLeads = 0xF8;
constexpr unsigned char kContinuationMask = 0xC0, kContinuation = 0x80, kContinuationBits = 0x3F;
constexpr int kBitsPerContinuation = 6;
// A lead of n bytes keeps the bits of this shifted right by n.
constexpr unsigned char kLeadBits = 0x7F;
// The smallest character each length may stand for (a smaller one is an overlong form), the
// largest character, and the surrogates, which UTF-8 never encodes.
constexpr char32_t kSmallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
constexpr char32_t kLargest = 0x10FFFF, kFirstSurrogate = 0xD800, kLastSurrogate = 0xDFFF;

bool IsControl(char32_t character) {
  return character < kSpace || (character >= kDelete && character <= kLastC1);
}

size_t LengthFromLead(unsigned char lead) {
  if (lead < kContinuation) return 1;
  if (lead < kFirstLead || lead >= kPastLeads) return 0;
  return lead < kThreeByteLead ? 2 : lead < kFourByteLead ? 3 : 4;
}

// The length of the valid UTF-8 sequence text starts with, and the character it stands for; 0
// where its first byte starts none.
size_t Decode(std::string_view text, char32_t& character) {
  size_t length = LengthFromLead(static_cast<unsigned char>(text[0]));
  if (length == 0 || length > text.size()) return 0;
  character = static_cast<unsigned char>(text[0]);
  if (length == 1) return 1;
  character &= kLeadBits >> length;
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = static_cast<unsigned char>(text[i]);
    if ((next & kContinuationMask) != kContinuation) return 0;
    character = (character << kBitsPerContinuation) | (next & kContinuationBits);
  }
  bool surrogate = character >= kFirstSurrogate && character <= kLastSurrogate;
  if (character < kSmallestOfLength[length] || character > kLargest || surrogate) return 0;
  return length;
}

void Escape(ShownCharacter& shown, std::string_view bytes) {
  shown.length = 0;
  for (char byte : bytes) {
    unsigned char value = static_cast<unsigned char>(byte);
    for (char put :
         {kBackslash, 'x', kHexDigits[value >> kHexBits], kHexDigits[value & kLowHexDigit]}) {
      shown.bytes[shown.length++] = put;
    }
  }
  shown.columns = shown.length;
}

}  // namespace

size_t NextShown(std::string_view text, ShownCharacter& shown) {
  char32_t character = 0;
  size_t taken = Decode(text, character);
  if (taken == 0) {
    Escape(shown, text.substr(0, 1));
    return 1;
  }
  if (IsControl(character)) {
    Escape(shown, text.substr(0, taken));
  } else if (character == static_cast<char32_t>(kBackslash)) {
    shown = {{kBackslash, kBackslash}, 2, 2};
  } else {
    std::memcpy(shown.bytes, text.data(), taken);
    shown.length = static_cast<int>(taken);
    int width = ::wcwidth(static_cast<wchar_t>(character));
    shown.columns = width < 0 ? 1 : width;
  }
  return taken;
}

int AppendShown(std::string& out, std::string_view text, int columns) {
  int used = 0;
  ShownCharacter shown;
  while (!text.empty()) {
    text.remove_prefix(NextShown(text, shown));
    if (used + shown.columns > columns) break;
    out.append(shown.bytes, shown.length);
    used += shown.columns;
  }
  return used;
}

}  // namespace platform
