// The command-line tail as the Windows program forms it, the enclosing quotes of a single
// quoted path removed, and the paths it hands the program.
#include <filesystem>
#include <string>
#include <vector>

#include "commandline.h"
#include "support/check.h"
#include "support/files.h"

namespace {

std::string Tail(const char* line, UINT codePage = 1252) {
  std::string buffer(line);
  return CommandLineTail(buffer.data(), codePage);
}

std::string Path(const char* line) {
  std::string buffer(line);
  return UnquoteSinglePath(CommandLineTail(buffer.data(), 1252));
}

using Parts = std::vector<std::string>;

Parts Split(const char* text, UINT codePage = 1252) {
  std::string buffer(text);
  std::vector<LPCSTR> arguments = SplitArguments(buffer.data(), codePage);
  return Parts(arguments.begin(), arguments.end());
}

Parts Paths(const std::string& tail) {
  std::string storage;
  std::vector<LPCSTR> paths = TailPaths(tail.c_str(), storage, 1252);
  CHECK(!paths.empty() && paths.back() == nullptr);
  return Parts(paths.begin(), paths.end() - 1);
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

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

TEST(ArgumentsSplitAsTheSystemSplitsThem) {
  // Blanks and tabs separate; quotes group, are dropped, and may stand within an argument.
  CHECK(Split("a  b\tc ") == (Parts{"a", "b", "c"}));
  CHECK(Split("\"a b\" c\"d e\"f \"\" x") == (Parts{"a b", "cd ef", "", "x"}));
  CHECK(Split("x \"a b") == (Parts{"x", "a b"}));
  // Backslashes count only before a quote: 2n give n and the quote groups, 2n+1 give n and a
  // literal quote.
  CHECK(Split("\"ab\\\"c\" \"\\\\\" d") == (Parts{"ab\"c", "\\", "d"}));
  CHECK(Split("a\\\\\\b d\"e f\"g h") == (Parts{"a\\\\\\b", "de fg", "h"}));
  CHECK(Split("a\\\\\\\"b c d") == (Parts{"a\\\"b", "c", "d"}));
  CHECK(Split("a\\\\\\\\\"b c\" d e") == (Parts{"a\\\\b c", "d", "e"}));
  // A pair of quotes inside quotes is a literal quote that also closes them.
  CHECK(Split("a\"b\"\" c d") == (Parts{"ab\"", "c", "d"}));
  // Paths as Send To passes them; a backslash closing a quoted folder escapes the quote.
  CHECK(Split("\"C:\\My Music\" D:\\x") == (Parts{"C:\\My Music", "D:\\x"}));
  CHECK(Split("\"C:\\a b\\\" x") == (Parts{"C:\\a b\" x"}));
  // In code page 932, 0x95 0x5C is one character whose trail byte is a backslash.
  CHECK(Split("\"\x95\\\" x", 932) == (Parts{"\x95\\", "x"}));
  CHECK(Split("\"\x95\\\" x", 1252) == (Parts{"\x95\" x"}));
}

// The choice between the whole tail and its arguments is made on real folders.
TEST(ATailIsSplitOnlyWhenItNamesNothingWhole) {
  files::TempFolder folder;
  std::string one = folder.Text("Album one");
  std::string two = folder.Text("Album two");
  std::filesystem::create_directory(one);
  std::filesystem::create_directory(two);
  CHECK(Paths(one) == Parts{one});
  CHECK(Paths(Quoted(one)) == Parts{one});
  CHECK(Paths(Quoted(one) + " " + Quoted(two)) == (Parts{one, two}));
  std::string missing = folder.Text("No such album");
  CHECK(Paths(Quoted(missing)) == Parts{missing});
  CHECK(Paths("") == Parts{""});
  CHECK(Paths("\"\"") == Parts{""});
}
