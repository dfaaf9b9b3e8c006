// A small test harness that builds the same for Linux and for Windows (run under Wine).
#pragma once

#include <sstream>
#include <string>

namespace check {

struct Registration {
  Registration(const char* name, void (*body)());
};

void Fail(const char* file, int line, const std::string& what);

template <typename A, typename B>
void Equal(const A& actual, const B& expected, const char* text, const char* file, int line) {
  if (actual == expected) return;
  std::ostringstream message;
  message << text << "\n    actual:   " << actual << "\n    expected: " << expected;
  Fail(file, line, message.str());
}

}  // namespace check

#define TEST(name)                                                   \
  static void name();                                                \
  static const check::Registration name##_registration(#name, name); \
  static void name()

#define CHECK(condition) \
  ((condition) ? void() : check::Fail(__FILE__, __LINE__, "CHECK(" #condition ")"))

#define CHECK_EQ(actual, expected) \
  check::Equal((actual), (expected), #actual " == " #expected, __FILE__, __LINE__)
