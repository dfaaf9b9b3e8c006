// The terminal driver: the dialog drawn on the controlling terminal at most about thirty times
// a second, and its keys read there. Escape and Ctrl-C are the dialog's Cancel; a box takes y
// and n (Enter: No), or Enter for OK. Resizing redraws; so does coming back after a stop.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <vector>

#include "screen.h"
#include "shown_text.h"
#include "tty.h"
#include "x11_keyboard.h"

namespace platform::terminal {
namespace {

using Clock = std::chrono::steady_clock;

// About thirty pictures a second at most: a terminal over ssh is slower than a display.
constexpr auto kRedrawEvery = std::chrono::milliseconds(2 * kFrameMs + 1);
constexpr char kEscape = '\x1b';
constexpr char kCtrlC = '\x03';
std::vector<DialogView> Dialogs;      // open, the newest drawn
std::vector<BoxView> Boxes;           // open, the newest answered by the keys
std::vector<std::string> ErrorLines;  // reporting boxes, shown again once the terminal is back
// Wide enough for any line: a line said again is never cut, the terminal wraps it.
constexpr int kWholeLine = 1 << 20;
std::string Keys;     // read and not handled yet, oldest first
std::string Picture;  // the last picture composed, its buffer reused
int SignalFd = -1;    // SIGWINCH and SIGCONT
bool FrameDue = false;
bool GivenBack = false;
Clock::time_point DrawAt;
Clock::time_point LastDrawn;

void Draw() {
  FrameDue = false;
  if (Dialogs.empty()) return;
  // The core hands each changed state back through ShowState, into the views drawn below.
  for (const DialogView& view : Dialogs) ShowChanges(view.dialog);
  ComposeScreen(Picture, Dialogs.back(), Boxes, SizeOfTerminal());
  WriteTerminal(Picture);
  LastDrawn = Clock::now();
}

// A picture within the redraw interval, never two in one.
void DrawSoon() {
  if (FrameDue) return;
  FrameDue = true;
  DrawAt = std::max(Clock::now(), LastDrawn + kRedrawEvery);
}

void Answer(Box* box, UINT type, char key) {
  if ((type & MB_TYPEMASK) == MB_YESNO) {
    if (key == 'y' || key == 'Y') BoxAnswered(box, IDYES);
    if (key == 'n' || key == 'N' || key == '\r' || key == '\n') BoxAnswered(box, IDNO);
  } else if (key == '\r' || key == '\n' || key == ' ' || key == kEscape) {
    BoxAnswered(box, IDOK);
  }
}

// A key goes to the newest box, else to the newest dialog, as the window with the focus.
void HandleKey(char key) {
  if (!Boxes.empty()) return Answer(Boxes.back().box, Boxes.back().type, key);
  if (!Dialogs.empty() && (key == kEscape || key == kCtrlC)) {
    CommandInput(Dialogs.back().dialog, IDCANCEL);
  }
}

// Takes the next key off Keys: an escape sequence (an arrow, a function key) as a whole, and
// ignored; Escape alone is Escape.
bool TakeKey(char* key) {
  if (Keys.empty()) return false;
  size_t length = 1;
  bool sequence = Keys[0] == kEscape && Keys.size() > 1 && (Keys[1] == '[' || Keys[1] == 'O');
  if (sequence) {
    constexpr char kFinalFirst = '@', kFinalLast = '~';
    length = 2;
    while (length < Keys.size() && !(Keys[length] >= kFinalFirst && Keys[length] <= kFinalLast)) {
      ++length;
    }
    length = std::min(length + 1, Keys.size());
  }
  *key = sequence ? '\0' : Keys[0];
  Keys.erase(0, length);
  return true;
}

// Keys are handled one at a time from the one queue, so that a box opened by one key (in a
// loop of its own) takes the keys after it in order.
void ReadKeys(int fd) {
  char bytes[64];
  ssize_t count = read(fd, bytes, sizeof bytes);
  if (count < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (count <= 0) {
    DropWatched(fd);
    return TerminalHungUp();
  }
  Keys.append(bytes, static_cast<size_t>(count));
  for (char key; TakeKey(&key);) {
    if (key != '\0') HandleKey(key);
  }
}

void ReadSignals(int fd) {
  signalfd_siginfo info;
  bool continued = false;
  while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    continued = continued || info.ssi_signo == SIGCONT;
  }
  // The shell may have set its own modes while the process was stopped.
  if (continued && !GivenBack) TakeTerminalAgain();
  DrawSoon();
}

// A wait of the loop ends when the next picture is due, if one is; the picture follows it.
int UntilPicture() {
  if (!FrameDue) return kWaitUntilReady;
  auto wait = std::chrono::ceil<std::chrono::milliseconds>(DrawAt - Clock::now());
  return static_cast<int>(std::max<long long>(0, wait.count()));
}

void DrawIfDue() {
  if (FrameDue && Clock::now() >= DrawAt) Draw();
}

// The terminal's own signals are blocked only once there is a descriptor to read them from.
// Its keys and signals are watched ahead of the core's descriptors.
bool Open(const char** why) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGWINCH);
  sigaddset(&set, SIGCONT);
  if (SignalFd < 0) SignalFd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (SignalFd < 0) {
    *why = "no descriptor for the terminal's signals (signalfd)";
    return false;
  }
  if (!TakeTerminal(why)) return false;
  std::setlocale(LC_CTYPE, "");
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') X11OpenKeyboard();
  AddWatched(TerminalFd(), ReadKeys);
  AddWatched(SignalFd, ReadSignals);
  return true;
}

DialogView* ViewOf(Dialog* dialog) {
  for (DialogView& view : Dialogs) {
    if (view.dialog == dialog) return &view;
  }
  return nullptr;
}

void MakeViews(Dialog* dialog, const DialogTemplate& layout) {
  if (GivenBack) TakeTerminalAgain();
  GivenBack = false;
  DialogView& view = Dialogs.emplace_back();
  view.dialog = dialog;
  view.caption = layout.caption;
  view.controlCount = layout.controlCount;
  for (int i = 0; i < layout.controlCount; ++i) {
    view.controls[i].control = &layout.controls[i];
    view.controls[i].kind = ClassOf(layout.controls[i]);
    view.controls[i].text = layout.controls[i].text;
  }
}

void Reveal(Dialog*, bool) { Draw(); }

// The last dialog's end gives the terminal back, with the error boxes it showed as lines.
void DropViews(Dialog* dialog) {
  Dialogs.erase(Dialogs.begin() + (ViewOf(dialog) - Dialogs.data()));
  if (!Dialogs.empty()) return DrawSoon();
  RestoreTerminal();
  GivenBack = true;
  for (const std::string& line : ErrorLines) WriteTerminal(line);
  ErrorLines.clear();
}

// Kept in the view for the next picture.
void ShowState(Dialog* dialog, int index, const ShownState& state) {
  DialogView* view = ViewOf(dialog);
  if (index == kCaptionIndex) {
    view->caption = state.text;
    return;
  }
  ControlView& control = view->controls[index];
  control.text = state.text;
  control.low = state.low;
  control.high = state.high;
  control.position = state.position;
}

void RequestFrame(Dialog*) { DrawSoon(); }

// A box that reports (an error, or what could not be done) is said again on the terminal once
// it is back, each of its lines whole, so that it stays in the scrollback.
void KeepLines(std::string_view text) {
  for (size_t start = 0; start <= text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    std::string line = "vardel: ";
    AppendShown(line, text.substr(start, end - start), kWholeLine);
    ErrorLines.push_back(line + "\n");
    start = end + 1;
  }
}

void OpenBox(Box* box, const BoxContent& content) {
  Boxes.push_back({box, content.text, content.caption, content.type});
  if (IsReport(content.type)) KeepLines(content.text);
  DrawSoon();
}

// One that was shown is kept already.
void KeepReport(const BoxContent& content, bool shown) {
  if (!shown) KeepLines(content.text);
}

void CloseBox(Box* box) {
  Boxes.erase(std::find_if(Boxes.begin(), Boxes.end(),
                           [box](const BoxView& view) { return view.box == box; }));
  DrawSoon();
}

void RunLoop(Loop* loop) { ServeWatched(loop, UntilPicture, DrawIfDue); }

bool ShiftHeld() {
  bool held = false;
  return X11ShiftHeld(&held) && held;
}

}  // namespace
}  // namespace platform::terminal

namespace platform {

// Its loops end, and take the core's descriptors, as the null driver's do.
const UserDriver TerminalDriver = {
    .Open = terminal::Open,
    .MakeViews = terminal::MakeViews,
    .Reveal = terminal::Reveal,
    .DropViews = terminal::DropViews,
    .ShowState = terminal::ShowState,
    .RequestFrame = terminal::RequestFrame,
    .OpenBox = terminal::OpenBox,
    .CloseBox = terminal::CloseBox,
    .KeepReport = terminal::KeepReport,
    .RunLoop = terminal::RunLoop,
    .ShiftHeld = terminal::ShiftHeld,
};

}  // namespace platform
