// The command-line tail as the Windows program forms it, and the enclosing quotes of a single
// quoted path removed.
#include <string>

#include "commandline.h"
#include "support/check.h"

namespace {

std::string Tail(const char* line, UINT codePage = 1252) {
  std::string buffer(line);
  return CommandLineTail(buffer.data(), codePage);
}

std::string Path(const char* line) {
  std::string buffer(line);
  return UnquoteSinglePath(CommandLineTail(buffer.data(), 1252));
}

}  // namespace

TEST(TailSkipsTheNameAndTheBlanksAfterIt) {
  CHECK_EQ(Tail("vardel.exe C:\\Music"), std::string("C:\\Music"));
  CHECK_EQ(Tail("vardel.exe \t  C:\\My Music  "), std::string("C:\\My Music  "));
  CHECK_EQ(Tail("\"C:\\Program Files\\vardel.exe\" D:\\x"), std::string("D:\\x"));
  CHECK_EQ(Tail("\"C:\\Program Files\\vardel.exe\"D:\\x"), std::string("D:\\x"));
  CHECK_EQ(Tail("\"unterminated name"), std::string(""));
  CHECK_EQ(Tail("vardel.exe"), std::string(""));
  CHECK_EQ(Tail("vardel.exe   "), std::string(""));
  CHECK_EQ(Tail(""), std::string(""));
  // Control bytes end an unquoted name and are skipped after it; bytes above 0x7F are not.
  CHECK_EQ(Tail("vardel\x01\x1f x"), std::string("x"));
  CHECK_EQ(Tail("v\xe9rdel.exe x"), std::string("x"));
}

TEST(InQuotesALeadByteTakesItsTrailByte) {
  // In code page 932, 0x81 0x22 is one character whose trail byte is a quote.
  CHECK_EQ(Tail("\"a\x81\"b.exe\" x", 932), std::string("x"));
  CHECK_EQ(Tail("\"a\x81\"b.exe\" x", 1252), std::string("b.exe\" x"));
  // A lead byte at the very end takes nothing past the terminator.
  CHECK_EQ(Tail("\"a\x81", 932), std::string(""));
}

TEST(OneQuotedPathLosesItsQuotesAndNothingElseChanges) {
  CHECK_EQ(Path("vardel.exe \"C:\\My Music\""), std::string("C:\\My Music"));
  CHECK_EQ(Path("vardel.exe \"\""), std::string(""));
  CHECK_EQ(Path("vardel.exe \"C:\\a\" \"D:\\b\""), std::string("\"C:\\a\" \"D:\\b\""));
  CHECK_EQ(Path("vardel.exe \"C:\\My Music\" "), std::string("\"C:\\My Music\" "));
  CHECK_EQ(Path("vardel.exe \"C:\\x"), std::string("\"C:\\x"));
  CHECK_EQ(Path("vardel.exe C:\\My Music"), std::string("C:\\My Music"));
  CHECK_EQ(Path("vardel.exe"), std::string(""));
}
