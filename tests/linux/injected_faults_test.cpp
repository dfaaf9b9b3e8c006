// A system call failing at every point of a run, as a full disk, a failing drive or a lost
// mount makes it fail: the file at hand is left as the last step done left it, the run goes on
// to the next file, and the record names the file and what failed.
#include <algorithm>
#include <string>
#include <vector>

#include "common/failure_record.h"
#include "common/run_state.h"
#include "filelist/filelist.h"
#include "support/check.h"
#include "support/files.h"
#include "support/recorder.h"
#include "tagremoval/tagremoval.h"
#include "trace.h"
#include "worker/worker.h"

using files::Bytes;

namespace {

// Three the worker cleans itself, slow, before the look-ahead opens the rest.
constexpr int kFiles = 6;
constexpr uint32_t kTagSize = 5000;  // two writes of zeros: a fault can fall between them
const Bytes Audio = files::Pattern(3000);
const Bytes Original = files::Join(
    {files::Id3v2Header(kTagSize), files::Pattern(kTagSize, 7), Audio, files::Trailer()});
const Bytes TrailerCut(Original.begin(), Original.end() - 128);

constexpr size_t kHeader = 10;

// What a file may be after a fault: untouched, cut of its trailer, or cut with a front part of
// its tag zeroed behind the header (a write cut short stops anywhere); when no fault touched
// it, cleaned.
bool EndedAsAStepLeftIt(const Bytes& now) {
  if (now == Original) return true;
  if (now.size() != TrailerCut.size()) return false;
  size_t zeroed = kHeader;
  while (zeroed < kTagSize + kHeader && now[zeroed] == 0) ++zeroed;
  return std::equal(now.begin(), now.begin() + kHeader, TrailerCut.begin()) &&
         std::equal(now.begin() + static_cast<std::ptrdiff_t>(zeroed), now.end(),
                    TrailerCut.begin() + static_cast<std::ptrdiff_t>(zeroed));
}

Bytes Cleaned() { return files::Join({files::Id3v2Header(kTagSize), Bytes(kTagSize, 0), Audio}); }

// Runs the worker over the files, named one by one, with the fault injected.
void RunWith(const std::vector<std::string>& paths, const trace::Fault& fault) {
  for (const std::string& path : paths) files::Write(path, Original);
  recorder::Reset();
  FileListClear();
  ClearFailures();
  DialogWindow = recorder::Dialog;
  StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::vector<const char*> list;
  for (const std::string& path : paths) list.push_back(path.c_str());
  list.push_back(nullptr);
  trace::Reset();
  trace::SlowOpens = true;  // the look-ahead starts after the first few files
  trace::Inject(fault);
  WorkerThreadProc(list.data());
  CloseHandle(StopEvent);
  StopEvent = nullptr;
}

std::vector<std::string> Files(const files::TempFolder& folder) {
  std::vector<std::string> paths;
  for (int i = 0; i < kFiles; ++i) paths.push_back(folder.Text("f" + std::to_string(i) + ".mp3"));
  return paths;
}

const char* const kCalls[] = {"CreateFileA", "SetFilePointerEx", "ReadFile", "SetEndOfFile",
                              "WriteFile"};

}  // namespace

// Every call of the worker's own, in turn: whether the worker opened the file or a helper
// opened it ahead, the fault ends the work on that file only.
TEST(EachFaultEndsOnlyItsFileAndIsRecordedWithItsPath) {
  files::TempFolder folder;
  std::vector<std::string> paths = Files(folder);
  for (std::string call : kCalls) {
    for (bool shortWrite : {false, true}) {
      if (shortWrite && call != "WriteFile") continue;
      for (int nth = 1;; ++nth) {
        RunWith(paths, {call, nth, ERROR_READ_FAULT, shortWrite});
        std::string hit = trace::FaultHit();
        trace::Reset();
        if (hit.empty()) break;  // past the worker's last call of that kind
        std::string what = call + " #" + std::to_string(nth);
        for (const std::string& path : paths) {
          Bytes now = files::Read(path);
          if (path == hit ? !EndedAsAStepLeftIt(now) : now != Cleaned()) {
            check::Fail(__FILE__, __LINE__, what + ": " + path);
          }
        }
        std::string report = FailureReport();
        if (FailureCount() != 1 || report.find("\n" + hit + ": ") == std::string::npos) {
          check::Fail(__FILE__, __LINE__, what + ": recorded as " + report);
        }
        if (!shortWrite && report.find(": Input/output error") == std::string::npos) {
          check::Fail(__FILE__, __LINE__, what + ": no system reason in " + report);
        }
      }
    }
  }
  ClearFailures();
}

// A call of a helper's failing is no failure of the file's: the worker opens it itself at its
// turn, and it ends cleaned.
TEST(AFaultAheadIsTheWorkersToRedo) {
  files::TempFolder folder;
  std::vector<std::string> paths = Files(folder);
  for (std::string call : {"CreateFileA", "SetFilePointerEx", "ReadFile"}) {
    // The helpers open the files after the first few, those the worker does not reach first:
    // the fault must fall on a helper in at least one of the runs.
    bool fellOnAHelper = false;
    for (int nth = 1; nth <= kFiles; ++nth) {
      RunWith(paths, {call, nth, ERROR_READ_FAULT, false, true});
      fellOnAHelper = fellOnAHelper || !trace::FaultHit().empty();
      trace::Reset();
      for (const std::string& path : paths) {
        if (files::Read(path) != Cleaned()) check::Fail(__FILE__, __LINE__, call + ": " + path);
      }
      if (FailureCount() != 0) check::Fail(__FILE__, __LINE__, call + ": " + FailureReport());
    }
    if (!fellOnAHelper) check::Fail(__FILE__, __LINE__, call + ": no helper made such a call");
  }
  ClearFailures();
}
