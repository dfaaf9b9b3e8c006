// The progress dialog and its stop protocol, on the real Qt dialog (offscreen platform), with
// real files and real input events. The gate holds the worker at a known kernel call.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "common/run_state.h"
#include "dialog_runner.h"
#include "platform.h"
#include "gate.h"
#include "steps.h"
#include "support/check.h"
#include "support/files.h"

using namespace runner;
using namespace steps;

TEST(CompletedRunShowsProgressAndEndsWithZeroWithoutAQuestion) {
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFilesHeldAt(gate::At::Write, folder);
  int result = Run({folder.Text()}, {[&] {
                     if (!HeldAndShown()) return false;
                     QDialog* dialog = Dialog();
                     CHECK_EQ(dialog->pos().x(), 0);
                     CHECK_EQ(dialog->pos().y(), 0);
                     CHECK(dialog->focusWidget() == CancelButton());
                     CHECK_EQ(CancelButton()->text().toStdString(), std::string("Cancel"));
                     // The layout of the template: percentage above the bar, path line below,
                     // Cancel at the bottom right, all inside the dialog.
                     CHECK(Label(0)->geometry().bottom() < Bar()->geometry().top());
                     CHECK(Label(1)->geometry().top() > Bar()->geometry().bottom());
                     CHECK(CancelButton()->geometry().top() > Label(1)->geometry().bottom());
                     CHECK(dialog->rect().contains(CancelButton()->geometry()));
                     CHECK(CancelButton()->geometry().left() > dialog->width() / 2);
                     gate::Open();
                     return true;
                   }});
  CHECK_EQ(result, 0);
  CHECK(BoxesSeen().empty());
  for (const std::string& name : names) CHECK(Cleaned(name));
}

TEST(EveryStopCommandAsksAndNoLeavesTheRunGoingUnchanged) {
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFilesHeldAt(gate::At::Write, folder);
  std::string percent, path;
  int value = -1;
  std::vector<runner::Step> steps = {[&] {
    if (!HeldAndShown()) return false;
    percent = Text(Label(0));
    path = Current();
    value = Bar()->value();
    return true;
  }};
  for (int how = 0; how < 3; ++how) {
    steps.push_back([how] {
      AskToStop(how);
      return true;
    });
    steps.push_back([] {
      QMessageBox* box = Box(Question);
      if (box == nullptr) return false;
      CHECK_EQ(box->windowTitle().toStdString(), std::string("Question"));
      CHECK(box->button(QMessageBox::Yes) != nullptr && box->button(QMessageBox::No) != nullptr);
      // While its box is open the dialog takes no input: no second question.
      PressEscape(Dialog());
      Click(CancelButton());
      Dialog()->close();
      QAbstractButton* no = box->button(QMessageBox::No);
      Later([no] { Click(no); });
      return true;
    });
    steps.push_back([&] {
      if (Box(Question) != nullptr) return false;
      CHECK(Dialog()->isVisible());
      CHECK_EQ(Text(Label(0)), percent);
      CHECK_EQ(Current(), path);
      CHECK_EQ(Bar()->value(), value);
      return true;
    });
  }
  steps.push_back([] {
    gate::Open();
    return true;
  });
  CHECK_EQ(Run({folder.Text()}, steps), 0);
  CHECK_EQ(BoxesSeen().size(), 3u);
  CHECK_EQ(percent, std::string("0.0%"));
  CHECK_EQ(value, 0);
  for (const std::string& name : names) CHECK(Cleaned(name));
}

// Yes while the worker is inside a file: it finishes that file, sees the stop and ends by
// itself; no other file is touched.
TEST(YesWhileCleaningAFileEndsWithZero) {
  files::TempFolder folder;
  std::vector<std::string> names;
  std::string first;
  CHECK_EQ(StopOnceHeld(gate::At::Write, folder, &names, &first), 0);
  CHECK(Cleaned(first));
  for (const std::string& name : names) CHECK(name == first ? Cleaned(name) : Untouched(name));
}

// Yes while the list is being built: the scan enters no further folder, and the worker's next
// action, the progress bar's range, waits on the dialog's thread, which is waiting for the
// worker. It is ended after the grace period and never touches a file, not even later.
TEST(YesDuringTheListBuildingEndsWithOneAndChangesNothing) {
  gate::Reset();
  files::TempFolder folder;
  std::filesystem::create_directories(folder.Path() / "sub" / "deeper");
  std::vector<std::string> names = ThreeFiles(folder);
  names.push_back(folder.Text("sub/deeper/d.mp3"));
  files::Write(names.back(), Tagged);
  gate::Arm(gate::At::Find, "sub");
  int result = Run({folder.Text()}, {[] {
                                       if (!HeldAndShown()) return false;
                                       CHECK_EQ(Current(), std::string("Building file list..."));
                                       AskToStop(1);
                                       return true;
                                     },
                                     YesOnceAskedThenOpenTheGate});
  CHECK_EQ(result, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (const std::string& name : names) CHECK(Untouched(name));
}

// Shift held: one "Confirm" box per file with its path as the text, shown literally; No skips
// the file and the run still ends normally.
TEST(ShiftAsksBeforeEachFileAndNoSkipsIt) {
  gate::Reset();
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFiles(folder, "b&c <b>x 100%.mp3");
  const std::string& skipped = names[1];
  std::filesystem::create_directories(folder.Path() / "sub");
  gate::Arm(gate::At::Find, "sub");
  std::vector<std::string> asked;
  auto answer = [&] {
    QMessageBox* box = nullptr;
    for (const std::string& name : names) {
      bool done = std::find(asked.begin(), asked.end(), name) != asked.end();
      if (!done && (box = Box(name)) != nullptr) break;
    }
    if (box == nullptr) return false;
    std::string text = box->text().toLocal8Bit().toStdString();
    CHECK_EQ(Current(), text);
    CHECK_EQ(Label(1)->textFormat(), Qt::PlainText);
    CHECK_EQ(box->windowTitle().toStdString(), std::string("Confirm"));
    asked.push_back(text);
    QAbstractButton* button = box->button(text == skipped ? QMessageBox::No : QMessageBox::Yes);
    Later([button] { Click(button, true); });
    return true;
  };
  int result = Run({folder.Text()}, {[] {
                                       if (!HeldAndShown()) return false;
                                       PressShift(Dialog(), true);
                                       gate::Open();
                                       return true;
                                     },
                                     answer, answer, answer});
  ReleaseShift();
  CHECK_EQ(result, 0);
  CHECK_EQ(asked.size(), 3u);
  for (const std::string& name : names) CHECK(name == skipped ? Untouched(name) : Cleaned(name));
}

// Whether this process has the file open: read from /proc/self/fd, which names files by their
// canonical paths.
bool OpenHere(const std::string& path) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    if (std::filesystem::read_symlink(fd.path(), error) == canonical) return true;
  }
  return false;
}

constexpr int kSlowFilesBeforeTheLookAhead = 3;
constexpr int kReadsPerFile = 2;  // its end, then its start
// How long the helpers may take to close what they opened ahead, once the run has ended, and
// how often that is looked at.
constexpr auto kClosedWithin = std::chrono::seconds(5);
constexpr auto kClosedLookEvery = std::chrono::milliseconds(10);

// Files that take a slow mount's time start the look-ahead: the files after them are opened by
// helpers. A No, and then a stop, leave every file opened ahead as it was, and close it; the
// worker changes only the files it was told to, in the list's order, and as they are at their
// turn: one rewritten by another program meanwhile, to the same length and with no tag, is left
// as that program wrote it.
TEST(FilesOpenedAheadChangeOnlyAtTheirTurn) {
  gate::Reset();
  files::TempFolder folder;
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3", "f.mp3", "g.mp3"}) {
    files::Write(folder.Text(name), Tagged);
  }
  // In the order the scan meets them, which the worker takes them in: the fifth, after the one
  // declined, is rewritten.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    names.push_back(entry.path().string());
  }
  const files::Bytes rewrite = files::Pattern(Tagged.size());
  std::vector<std::string> cleaned;
  std::string declined;
  auto others = [&] {
    std::vector<std::string> left;
    for (const std::string& name : names) {
      if (std::count(cleaned.begin(), cleaned.end(), name) == 0 && name != declined)
        left.push_back(name);
    }
    return left;
  };
  auto confirm = [&](QMessageBox::StandardButton answer) {
    for (const std::string& name : others()) {
      QMessageBox* box = Box(name);
      if (box == nullptr) continue;
      if (answer == QMessageBox::Yes)
        cleaned.push_back(name);
      else
        declined = name;
      QAbstractButton* button = box->button(answer);
      Later([button] { Click(button, true); });
      return true;
    }
    return false;
  };
  auto yes = [&] { return confirm(QMessageBox::Yes); };
  gate::SlowReads(kReadsPerFile * kSlowFilesBeforeTheLookAhead);
  std::vector<Step> steps = {[] {
    if (Dialog() == nullptr || !Dialog()->isVisible()) return false;
    PressShift(Dialog(), true);
    gate::Open();
    return true;
  }};
  steps.insert(steps.end(), kSlowFilesBeforeTheLookAhead, yes);
  steps.insert(steps.end(), {[&] {
                               std::vector<std::string> after = others();
                               if (!std::all_of(after.begin(), after.end(), OpenHere)) return false;
                               files::Write(names[4], rewrite);
                               gate::Arm(gate::At::Write);
                               return confirm(QMessageBox::No);
                             },
                             yes, yes,
                             [] {
                               if (!gate::Reached()) return false;
                               AskToStop(0);
                               return true;
                             },
                             YesOnceAskedThenOpenTheGate});
  gate::Arm(gate::At::Find);  // the worker waits at the scan until Shift is held
  int result = Run({folder.Text()}, steps);
  ReleaseShift();
  CHECK_EQ(result, 0);
  CHECK(files::Read(names[4]) == rewrite);
  for (const std::string& name : names) {
    if (name == names[4]) continue;
    CHECK(std::count(cleaned.begin(), cleaned.end(), name) > 0 ? Cleaned(name) : Untouched(name));
  }
  // The helpers close what was opened ahead once the run has ended.
  auto until = std::chrono::steady_clock::now() + kClosedWithin;
  while (std::any_of(names.begin(), names.end(), OpenHere) &&
         std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(kClosedLookEvery);
  }
  CHECK(std::none_of(names.begin(), names.end(), OpenHere));
}

// The stop question and a "Confirm" box from the worker are open together and both stay
// answerable. Yes to the question while the worker waits on its box ends the run with 1.
TEST(StopQuestionAndConfirmBoxStayAnswerableTogether) {
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFilesHeldAt(gate::At::Write, folder);
  std::string first, second;
  QMessageBox* question = nullptr;
  auto confirmOther = [&](const std::string& not1, const std::string& not2) -> QMessageBox* {
    for (const std::string& name : names) {
      if (name != not1 && name != not2 && Box(name) != nullptr) return Box(name);
    }
    return nullptr;
  };
  int result = Run({folder.Text()}, {[&] {
                                       if (!HeldAndShown()) return false;
                                       first = Current();
                                       AskToStop(0);
                                       return true;
                                     },
                                     [&] {
                                       if ((question = Box(Question)) == nullptr) return false;
                                       PressShift(question, true);
                                       gate::Open();
                                       return true;
                                     },
                                     [&] {
                                       QMessageBox* box = confirmOther(first, "");
                                       if (box == nullptr) return false;
                                       second = box->text().toLocal8Bit().toStdString();
                                       CHECK(question->isVisible());
                                       QAbstractButton* yes = box->button(QMessageBox::Yes);
                                       Later([yes] { Click(yes, true); });
                                       return true;
                                     },
                                     [&] {
                                       QMessageBox* box = confirmOther(first, second);
                                       if (box == nullptr) return false;
                                       CHECK(Box(Question) == question);
                                       QAbstractButton* yes = question->button(QMessageBox::Yes);
                                       Later([yes] { Click(yes, true); });
                                       return true;
                                     }});
  ReleaseShift();
  CHECK_EQ(result, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (const std::string& name : names) {
    CHECK(name == first || name == second ? Cleaned(name) : Untouched(name));
  }
}

// The run completes while the stop question is open: the finish is handled inside the box, and
// answering Yes afterwards stops, waits on and closes nothing a second time.
TEST(YesAfterTheRunFinishedKeepsTheFirstResult) {
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFilesHeldAt(gate::At::Write, folder);
  QMessageBox* question = nullptr;
  int result = Run({folder.Text()}, {[] {
                                       if (!HeldAndShown()) return false;
                                       AskToStop(2);
                                       return true;
                                     },
                                     [&] {
                                       if ((question = Box(Question)) == nullptr) return false;
                                       gate::Open();
                                       return true;
                                     },
                                     [&] {
                                       // The worker's finish has been handled inside the
                                       // question's loop: the handles are gone.
                                       if (StopEvent != nullptr) return false;
                                       for (const std::string& name : names) {
                                         CHECK(Cleaned(name));
                                       }
                                       QAbstractButton* yes = question->button(QMessageBox::Yes);
                                       Later([yes] { Click(yes); });
                                       return true;
                                     }});
  CHECK_EQ(result, 0);
  CHECK(!gate::StopSet());
}

TEST(FailedWorkerStartShowsTheErrorAndEndsWithOne) {
  gate::Reset();
  gate::FailNextCreateEvent();
  files::TempFolder folder;
  std::vector<std::string> names = ThreeFiles(folder);
  int result = Run({folder.Text()}, {[] {
                     QMessageBox* box = Box("Error creating worker thread!");
                     if (box == nullptr) return false;
                     CHECK_EQ(box->windowTitle().toStdString(), std::string("Error"));
                     CHECK_EQ(box->icon(), QMessageBox::Critical);
                     CHECK(box->button(QMessageBox::Ok) != nullptr);
                     QAbstractButton* ok = box->button(QMessageBox::Ok);
                     Later([ok] { Click(ok); });
                     return true;
                   }});
  CHECK_EQ(result, 1);
  for (const std::string& name : names) CHECK(Untouched(name));
}
