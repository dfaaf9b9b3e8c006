// Termination signals on the real dialog (offscreen): SIGTERM, SIGHUP and SIGINT are each the
// user's confirmed stop, with the same result by the same rule as answering Yes. Signals are
// sent to the dialog's thread itself: threads Qt started for the test's own application may
// not block them.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "dialog_runner.h"
#include "gate.h"
#include "steps.h"
#include "support/check.h"
#include "ui/ui.h"

using namespace runner;
using namespace steps;
using namespace std::chrono_literals;

namespace {

// Sends the signal to the dialog's thread once the worker is held at the gate, and lets the
// worker go on once the stop is set.
runner::Step SignalOnceHeld(int signal, std::string* first) {
  return [signal, first] {
    if (!HeldAndShown()) return false;
    *first = Current();
    gate::OpenAfterStop();
    raise(signal);
    return true;
  };
}

// What a run said on stderr, a file of the folder meanwhile: a box a signal answered goes with
// the run, so what it reported is said there.
std::string SaidOnStderr(files::TempFolder& folder, const std::function<void()>& run) {
  int saved = dup(STDERR_FILENO), into = creat(folder.Text("stderr").c_str(), 0600);
  dup2(into, STDERR_FILENO);
  run();
  dup2(saved, STDERR_FILENO);
  for (int fd : {into, saved}) close(fd);
  files::Bytes said = files::Read(folder.Text("stderr"));
  return {said.begin(), said.end()};
}

}  // namespace

// While the worker cleans a file: it finishes that file, sees the stop and ends by itself.
// No question is shown and no other file is touched; the file it could not open before is
// named on stderr, as no box can be.
TEST(EachTerminationSignalIsAConfirmedStop) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    files::TempFolder folder;
    std::vector<std::string> names = ThreeFilesHeldAt(gate::At::Write, folder);
    std::string first, missing = folder.Text("missing.mp3");
    std::string said = SaidOnStderr(folder, [&] {
      CHECK_EQ(Run({missing, folder.Text()}, {SignalOnceHeld(signal, &first)}), 0);
    });
    CHECK(BoxesSeen().empty());
    CHECK(said.find("vardel: " + missing + ": could not be opened") != std::string::npos);
    for (const std::string& name : names) CHECK(name == first ? Cleaned(name) : Untouched(name));
  }
}

// The box listing what could not be changed is on screen when the signal comes: it is
// answered, and what it said is on stderr, a name that would set the terminal's title and
// turn its text red escaped.
TEST(ASignalAnswersTheReportAndStderrKeepsIt) {
  files::TempFolder folder;
  gate::Reset();
  std::string missing = folder.Text("\x1b]0;title\x07\x1b[31m.mp3");
  Step signalOnceShown = [] { return !BoxesSeen().empty() && raise(SIGTERM) == 0; };
  std::string said = SaidOnStderr(folder, [&] { CHECK_EQ(Run({missing}, {signalOnceShown}), 0); });
  CHECK(said.find("vardel: 1 file could not be changed:\nvardel: " +
                  folder.Text("\\x1b]0;title\\x07\\x1b[31m.mp3")) != std::string::npos);
  CHECK(said.find_first_of("\x1b\x07") == std::string::npos);
}

// The stop question is open when the signal comes: it is answered Yes.
TEST(ASignalAnswersTheOpenStopQuestionYes) {
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFilesHeldAt(gate::At::Write, folder);
  std::string first;
  int result = Run({folder.Text()}, {[&] {
                                       if (!HeldAndShown()) return false;
                                       first = Current();
                                       AskToStop(1);
                                       return true;
                                     },
                                     [] {
                                       if (Box(Question) == nullptr) return false;
                                       gate::OpenAfterStop();
                                       raise(SIGINT);
                                       return true;
                                     }});
  CHECK_EQ(result, 0);
  CHECK_EQ(BoxesSeen().size(), 1u);
  for (const std::string& name : names) CHECK(name == first ? Cleaned(name) : Untouched(name));
}

// The worker waits on a "Confirm" box: it never reaches its stop test, so the run ends with 1
// after the grace period, as Yes to the question would, and the file asked about is untouched.
TEST(ASignalWhileTheWorkerAsksConfirmEndsWithOne) {
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFilesHeldAt(gate::At::Find, folder);
  std::string asked;
  int result = Run({folder.Text()}, {[] {
                                       if (!HeldAndShown()) return false;
                                       PressShift(Dialog(), true);
                                       gate::Open();
                                       return true;
                                     },
                                     [&] {
                                       for (const std::string& name : names) {
                                         if (Box(name) != nullptr) asked = name;
                                       }
                                       if (asked.empty()) return false;
                                       raise(SIGHUP);
                                       return true;
                                     }});
  ReleaseShift();
  CHECK_EQ(result, 1);
  std::this_thread::sleep_for(200ms);
  CHECK(Untouched(asked));
}

// The worker's next action is an update, so the stop runs out its grace period. A second signal
// meanwhile neither ends the process nor cuts the grace period short.
TEST(ASecondSignalDoesNotCutTheGracePeriodShort) {
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFilesHeldAt(gate::At::StopTest, folder);
  pthread_t dialogThread = pthread_self();
  std::chrono::steady_clock::time_point signalled;
  std::thread second;
  int result = Run({folder.Text()}, {[&] {
                     if (!HeldAndShown()) return false;
                     gate::OpenAfterStop();
                     signalled = std::chrono::steady_clock::now();
                     raise(SIGTERM);
                     second = std::thread([dialogThread] {
                       std::this_thread::sleep_for(300ms);
                       pthread_kill(dialogThread, SIGTERM);
                     });
                     return true;
                   }});
  auto waited = std::chrono::steady_clock::now() - signalled;
  second.join();
  CHECK_EQ(result, 1);
  CHECK(waited >= std::chrono::milliseconds(GRACE_PERIOD_MS));
}
