#include "steps.h"

#include <algorithm>

#include "dialog_runner.h"
#include "gate.h"

using namespace runner;

namespace steps {

const files::Bytes Tagged = files::Join(
    {files::Id3v2Header(300), files::Pattern(300), files::Pattern(2000, 7), files::Trailer()});

bool Cleaned(const std::string& path) {
  constexpr size_t kHeader = 10, kTagRegion = 310;  // the 300-byte tag and its header
  files::Bytes bytes = files::Read(path);
  files::Bytes expected(Tagged.begin(), Tagged.end() - files::Trailer().size());
  std::fill(expected.begin() + kHeader, expected.begin() + kTagRegion, 0);
  return bytes == expected;
}

bool Untouched(const std::string& path) { return files::Read(path) == Tagged; }

std::vector<std::string> ThreeFiles(files::TempFolder& folder, const char* middle) {
  std::vector<std::string> names = {folder.Text("a.mp3"), folder.Text(middle),
                                    folder.Text("c.mp3")};
  for (const std::string& name : names) files::Write(name, Tagged);
  return names;
}

std::string Current() { return Text(Label(1)); }

const std::string Question = "Are you sure you want to stop?";

bool YesOnceAskedThenOpenTheGate() {
  QMessageBox* box = Box(Question);
  if (box == nullptr) return false;
  gate::OpenAfterStop();
  QAbstractButton* yes = box->button(QMessageBox::Yes);
  Later([yes] { Click(yes); });
  return true;
}

bool HeldAndShown() { return gate::Reached() && Dialog() != nullptr && Dialog()->isVisible(); }

void ReleaseShift() {
  QWidget somewhere;
  PressShift(&somewhere, false);
}

void AskToStop(int how) {
  Later([how] {
    if (how == 0) Click(CancelButton());
    if (how == 1) PressEscape(Dialog());
    if (how == 2) Dialog()->close();
  });
}

std::vector<std::string> ThreeFilesHeldAt(gate::At at, files::TempFolder& folder) {
  gate::Reset();
  std::vector<std::string> names = ThreeFiles(folder);
  gate::Arm(at);
  return names;
}

int StopOnceHeld(gate::At at, files::TempFolder& folder, std::vector<std::string>* names,
                 std::string* first) {
  *names = ThreeFilesHeldAt(at, folder);
  return Run({folder.Text()}, {[first] {
                                 if (!HeldAndShown()) return false;
                                 *first = Current();
                                 AskToStop(0);
                                 return true;
                               },
                               YesOnceAskedThenOpenTheGate});
}

}  // namespace steps
