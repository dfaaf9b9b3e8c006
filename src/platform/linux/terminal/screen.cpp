#include "screen.h"

#include <algorithm>
#include <string_view>

#include "shown_text.h"

namespace platform::terminal {
namespace {

constexpr char kBold[] = "\x1b[1m";
constexpr char kInverse[] = "\x1b[7m";
constexpr char kPlain[] = "\x1b[m";
constexpr char kClearLine[] = "\x1b[K";
constexpr char kHome[] = "\x1b[H";
constexpr char kClearBelow[] = "\x1b[J";
constexpr char kNewLine[] = "\r\n";
constexpr char kCancelKeys[] = " Esc";

// Lines written so far and the room left.
struct Page {
  std::string& out;
  TerminalSize size;
  int lines = 0;

  bool Full() const { return lines >= size.rows; }
  // Starts a line; false when the screen has no room for it.
  bool Begin() {
    if (Full()) return false;
    if (lines++ > 0) out += kNewLine;
    return true;
  }
  void End() { out += kClearLine; }
};

void Pad(std::string& out, int columns) {
  out.append(static_cast<size_t>(std::max(0, columns)), ' ');
}

// text shown centred on the line.
void Centred(Page& page, std::string_view text) {
  std::string shown;
  int width = AppendShown(shown, text, page.size.columns);
  Pad(page.out, (page.size.columns - width) / 2);
  page.out += shown;
}

void Bar(Page& page, const ControlView& bar) {
  int inner = std::max(0, page.size.columns - 2);
  int span = std::max(1, bar.high - bar.low);
  int filled = static_cast<int>(static_cast<long long>(bar.position - bar.low) * inner / span);
  filled = std::clamp(filled, 0, inner);
  page.out += '[';
  page.out.append(static_cast<size_t>(filled), '#');
  page.out.append(static_cast<size_t>(inner - filled), '.');
  page.out += ']';
}

// A button at the right edge, with the key that presses it: Escape for Cancel.
void Button(Page& page, const ControlView& button) {
  std::string shown = "[ ";
  int width = 4 + AppendShown(shown, button.text, page.size.columns / 2);
  shown += " ]";
  if (button.control->id == IDCANCEL) {
    shown += kCancelKeys;
    width += static_cast<int>(sizeof kCancelKeys - 1);
  }
  Pad(page.out, page.size.columns - width);
  page.out += shown;
}

void Control(Page& page, const ControlView& view) {
  switch (view.kind) {
    case ControlClass::kProgress:
      return Bar(page, view);
    case ControlClass::kButton:
      return Button(page, view);
    default:
      if ((view.control->style & SS_TYPEMASK) == SS_CENTER) return Centred(page, view.text);
      AppendShown(page.out, view.text, page.size.columns);
  }
}

// The box's caption and the keys that answer it, then its text.
void BoxLines(Page& page, const BoxView& box) {
  bool yesNo = (box.type & MB_TYPEMASK) == MB_YESNO;
  std::string_view keys = yesNo ? "  [y/n]" : "  [Enter]";
  if (page.Begin()) {
    page.out += kInverse;
    int width = AppendShown(page.out, box.caption, page.size.columns);
    page.out += kPlain;
    AppendShown(page.out, keys, page.size.columns - width);
    page.End();
  }
  // Line by line, as a box shows its text's line breaks.
  std::string_view text = box.text;
  for (size_t start = 0; start <= text.size() && page.Begin();) {
    size_t end = std::min(text.find('\n', start), text.size());
    AppendShown(page.out, text.substr(start, end - start), page.size.columns);
    page.End();
    start = end + 1;
  }
}

}  // namespace

void ComposeScreen(std::string& out, const DialogView& dialog, const std::vector<BoxView>& boxes,
                   TerminalSize size) {
  out.assign(kHome);
  // One column short of the edge: a character in the last column would leave the cursor
  // waiting to wrap, where clearing the rest of the line would take that character too.
  size.columns = std::max(1, size.columns - 1);
  Page page{out, size};
  if (page.Begin()) {
    out += kBold;
    AppendShown(out, dialog.caption, size.columns);
    out += kPlain;
    page.End();
  }
  // By the controls' places in the template, top to bottom, then left to right.
  const ControlView* order[kMaxControls];
  for (int i = 0; i < dialog.controlCount; ++i) order[i] = &dialog.controls[i];
  std::sort(order, order + dialog.controlCount, [](const ControlView* a, const ControlView* b) {
    const DialogRect &ra = a->control->rect, &rb = b->control->rect;
    return ra.y != rb.y ? ra.y < rb.y : ra.x < rb.x;
  });
  for (int i = 0; i < dialog.controlCount && page.Begin(); ++i) {
    Control(page, *order[i]);
    page.End();
  }
  for (const BoxView& box : boxes) {
    if (page.Begin()) page.End();  // a blank line before each box
    BoxLines(page, box);
  }
  out += kClearBelow;
}

}  // namespace platform::terminal
