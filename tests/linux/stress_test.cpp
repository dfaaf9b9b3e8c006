// The stop protocol under many runs of the real dialog (offscreen), each over a small tree with
// a stop confirmed at a randomized moment: during the scan, while a large tag is being zeroed,
// between files, while a "Confirm" box is open, or at a free moment that may race the worker's
// finish message. Every run must end with 0 or 1 by the rule, leave each file exactly cleaned
// or exactly untouched, and change nothing once its dialog has ended. Run under
// ThreadSanitizer for data races. VARDEL_STRESS_RUNS sets the number of runs and
// VARDEL_STRESS_SEED repeats a failing sequence.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <pthread.h>
#include <signal.h>

#include <random>
#include <thread>

#include "dialog_runner.h"
#include "gate.h"
#include "steps.h"
#include "stress_tree.h"
#include "support/check.h"
#include "ui/ui.h"

using namespace runner;
using namespace steps;
using namespace stress;
using Clock = std::chrono::steady_clock;

namespace {

// The watchdog's patience for one stressed run: a hang fails the test after it.
constexpr std::chrono::seconds kStressPatience{10};
constexpr std::chrono::milliseconds kFirstSpan{5};
constexpr int kFewSmallFiles = 8;
constexpr int kManySmallFiles = 200;

// Where the stop is confirmed. Held moments let the worker go on once the stop is set.
enum class Moment { Free, Signal, Scan, Zeroing, BetweenFiles, ConfirmOpen };

// The question is asked while the worker waits at the start of the scan; the worker goes on,
// and Yes comes after a random delay, mid-run or after the run's end.
std::vector<Step> YesAfter(Clock::duration delay, int how) {
  auto deadline = std::make_shared<Clock::time_point>();
  return {[how] {
            if (!HeldAndShown()) return false;
            AskToStop(how);
            return true;
          },
          [deadline, delay] {
            if (Box(Question) == nullptr) return false;
            *deadline = Clock::now() + delay;
            gate::Open();
            return true;
          },
          [deadline] { return Clock::now() >= *deadline && YesOnceAskedThenOpenTheGate(); }};
}

// A termination signal to the dialog's thread from another thread, a random delay after the
// worker has been let go: a stop at any instant, not only between the dialog's events.
std::vector<Step> SignalAfter(Clock::duration delay, std::thread* sender, Clock::time_point* at) {
  return {[=] {
    if (!HeldAndShown()) return false;
    pthread_t dialog = pthread_self();
    *sender = std::thread([=] {
      std::this_thread::sleep_for(delay);
      *at = Clock::now();
      pthread_kill(dialog, SIGTERM);
    });
    gate::Open();
    return true;
  }};
}

// A signal that came after its run's end stays pending on the dialog's thread, where it is
// blocked; it must not stop the next run.
void DropPendingSignal() {
  sigset_t terminate;
  sigemptyset(&terminate);
  sigaddset(&terminate, SIGTERM);
  timespec now = {0, 0};
  sigtimedwait(&terminate, nullptr, &now);
}

// Asks to stop once the worker is held at the gate, then answers Yes and lets it go on.
std::vector<Step> StopWhileHeld(int how) {
  return {[how] {
            if (!HeldAndShown()) return false;
            AskToStop(how);
            return true;
          },
          YesOnceAskedThenOpenTheGate};
}

// With the question open, Shift held lets the held worker go on to its next file and ask
// "Confirm" for it; Yes to the question while that box is open.
std::vector<Step> StopWhileConfirmOpen(int how) {
  return {[how] {
            if (!HeldAndShown()) return false;
            AskToStop(how);
            return true;
          },
          [] {
            QMessageBox* question = Box(Question);
            if (question == nullptr) return false;
            PressShift(question, true);
            gate::Open();
            return true;
          },
          [] { return Box(Current()) != nullptr; }, YesOnceAskedThenOpenTheGate};
}

// Notes when the step passed.
Step Timed(Step step, Clock::time_point* at) {
  return [step, at] {
    if (!step()) return false;
    *at = Clock::now();
    return true;
  };
}

struct Outcome {
  int result = -1;
  bool stopped = false;     // the stop was set while the worker ran
  Clock::time_point yes{};  // just before Yes or the signal
  Clock::time_point end{};
};

Outcome RunOnce(Moment moment, const Tree& tree, std::minstd_rand& random, Clock::duration span) {
  Outcome outcome;
  gate::Reset();
  int how = static_cast<int>(random() % 3);
  std::thread sender;
  auto delay = std::chrono::duration_cast<Clock::duration>(span * (random() % 1000) / 1000);
  std::vector<Step> steps = StopWhileHeld(how);
  switch (moment) {
    case Moment::Scan:
      gate::Arm(gate::At::Find, "sub" + std::to_string(random() % kSubfolders));
      break;
    case Moment::Zeroing:  // most writes are the large tag's
      gate::Arm(gate::At::Write, "", static_cast<int>(random() % kLargeTagWrites));
      break;
    case Moment::BetweenFiles:
      gate::Arm(random() % 2 ? gate::At::StopTest : gate::At::Texts);
      break;
    case Moment::ConfirmOpen:
      gate::Arm(gate::At::Write);
      steps = StopWhileConfirmOpen(how);
      break;
    case Moment::Free:
      gate::Arm(gate::At::Find);
      steps = YesAfter(delay, how);
      break;
    case Moment::Signal:
      gate::Arm(gate::At::Find);
      steps = SignalAfter(delay, &sender, &outcome.yes);
      break;
  }
  if (moment != Moment::Signal) steps.back() = Timed(steps.back(), &outcome.yes);
  outcome.result = Run({tree.folder->Text()}, steps, {false, kStressPatience});
  outcome.end = Clock::now();
  outcome.stopped = gate::StopSet();
  if (sender.joinable()) sender.join();
  DropPendingSignal();
  ReleaseShift();
  return outcome;
}

int Setting(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::atoi(value) : fallback;
}

}  // namespace

// Shift held and No for every file: the run ends normally, the bar at its end, nothing changed.
TEST(ShiftHeldAndNoForEveryFileEndsNormallyWithNothingChanged) {
  gate::Reset();
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFiles(folder);
  gate::Arm(gate::At::Find);  // the worker waits at the scan until Shift is held
  // A box just answered may still be on screen when the next step looks: each file's box is
  // answered once.
  std::vector<std::string> answered;
  auto no = [&answered](bool first) {
    return [first, &answered] {
      if (first && HeldAndShown()) {
        PressShift(Dialog(), true);
        gate::Open();
      }
      std::string current = Current();
      if (std::count(answered.begin(), answered.end(), current) > 0) return false;
      QMessageBox* box = Box(current);
      if (box == nullptr) return false;
      answered.push_back(current);
      QAbstractButton* button = box->button(QMessageBox::No);
      Later([button] { Click(button, true); });
      return true;
    };
  };
  int result = Run({folder.Text()}, {no(true), no(false), no(false)});
  ReleaseShift();
  CHECK_EQ(result, 0);
  CHECK_EQ(gate::BarAtEnd(), static_cast<int>(names.size()));
  for (const std::string& name : names) CHECK(Untouched(name));
}

namespace {

Moment PickMoment(std::minstd_rand& random) {
  // A run ended forcibly costs a grace period: the held moments where the rule says 1 are
  // fewer than the others.
  int roll = static_cast<int>(random() % 100);
  if (roll < 1) return Moment::Scan;
  if (roll < 2) return Moment::BetweenFiles;
  if (roll < 3) return Moment::ConfirmOpen;
  if (roll < 11) return Moment::Free;
  if (roll < 19) return Moment::Signal;
  return Moment::Zeroing;
}

// The rule: 0 when the worker ended within the grace period after the stop, 1 when it had to be
// ended forcibly. Held moments know which; at a free moment either may come, but a forced end
// never comes before the grace period is out, however loaded the machine (a worker that ended
// by itself may still be seen late, so the time says nothing of a 0).
void CheckByTheRule(Moment moment, const Outcome& outcome, const Tree& tree) {
  const auto grace = std::chrono::milliseconds(GRACE_PERIOD_MS);
  size_t files = tree.small.size() + 1;
  switch (moment) {
    case Moment::Scan:
      CHECK_EQ(outcome.result, 1);
      CHECK_EQ(CountCleaned(tree), 0u);
      break;
    case Moment::BetweenFiles:
    case Moment::ConfirmOpen:
      CHECK_EQ(outcome.result, 1);
      CHECK_EQ(CountCleaned(tree), 1u);
      break;
    case Moment::Zeroing:
      CHECK_EQ(outcome.result, 0);
      CHECK(CountCleaned(tree) >= 1u);
      break;
    case Moment::Free:
    case Moment::Signal:
      if (!outcome.stopped) {  // the stop came after the run had ended by itself
        CHECK_EQ(outcome.result, 0);
        CHECK_EQ(CountCleaned(tree), files);
      } else {
        CHECK(outcome.result == 0 || outcome.result == 1);
        if (outcome.result == 1) CHECK(outcome.end - outcome.yes >= grace);
      }
      break;
  }
}

}  // namespace

TEST(StopsConfirmedAtRandomMomentsEndByTheRuleAndLeaveEveryFileWhole) {
  int runs = Setting("VARDEL_STRESS_RUNS", 1000);
  auto seed = static_cast<unsigned>(
      Setting("VARDEL_STRESS_SEED", static_cast<int>(std::random_device()())));
  std::printf("  %d runs, VARDEL_STRESS_SEED=%u\n", runs, seed);
  std::minstd_rand random(seed);
  // Free moments' delays range over a span that settles where about half of them fall
  // inside the run: it shrinks after a stop that came after the end, grows after one inside.
  std::map<Moment, Clock::duration> span = {{Moment::Free, kFirstSpan},
                                            {Moment::Signal, kFirstSpan}};
  std::map<Moment, int> forced, inside;
  Tree previous;
  for (int run = 0; run < runs; ++run) {
    Moment moment = PickMoment(random);
    // A run long enough for Yes, which comes between the dialog's frames, to land inside it.
    Tree tree = MakeTree(random, moment == Moment::Free ? kManySmallFiles : kFewSmallFiles);
    Outcome outcome = RunOnce(moment, tree, random, span[moment]);
    span[moment] = outcome.stopped ? span[moment] * 11 / 10 : span[moment] * 9 / 10;
    CheckEachFileWhole(tree);
    CheckByTheRule(moment, outcome, tree);
    CheckUnchangedSinceItsEnd(previous);
    forced[moment] += outcome.result == 1;
    inside[moment] += outcome.stopped;
    previous = std::move(tree);
  }
  std::printf(
      "  free moments inside the run: %d by Yes, %d by a signal; ended forcibly: %d by "
      "Yes, %d by a signal, %d at the scan, %d between files, %d with Confirm open\n",
      inside[Moment::Free], inside[Moment::Signal], forced[Moment::Free], forced[Moment::Signal],
      forced[Moment::Scan], forced[Moment::BetweenFiles], forced[Moment::ConfirmOpen]);
  CheckUnchangedSinceItsEnd(previous);
  gate::Reset();
}
