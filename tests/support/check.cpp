#include "check.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct TestCase {
  const char* Name;
  void (*Body)();
};

std::vector<TestCase>& Cases() {
  static std::vector<TestCase> cases;
  return cases;
}

int FailuresInCase = 0;

}  // namespace

check::Registration::Registration(const char* name, void (*body)()) {
  Cases().push_back({name, body});
}

void check::Fail(const char* file, int line, const std::string& what) {
  ++FailuresInCase;
  std::printf("  %s:%d: %s\n", file, line, what.c_str());
  std::fflush(stdout);
}

// Runs every test, or those whose names contain the first argument.
int main(int argc, char** argv) {
  int passed = 0, failed = 0;
  for (const TestCase& test : Cases()) {
    if (argc > 1 && std::strstr(test.Name, argv[1]) == nullptr) continue;
    FailuresInCase = 0;
    test.Body();
    std::printf("%s %s\n", FailuresInCase == 0 ? "[ ok ]" : "[FAIL]", test.Name);
    std::fflush(stdout);
    (FailuresInCase == 0 ? passed : failed)++;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
