// The dialog templates of the resource script, as tables generated from it at build time.
#pragma once

#include <iterator>

#include "common/identifiers.h"
#include "platform.h"

// The window and control styles the templates use, with Win32's values.
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define DS_SETFONT 0x40u
#define BS_PUSHBUTTON 0x0u
#define SS_CENTER 0x1u
#define SS_LEFTNOWORDWRAP 0xCu
#define SS_TYPEMASK 0x1Fu
#define SS_NOPREFIX 0x80u

namespace platform {

// A rectangle in dialog units.
struct DialogRect {
  int x, y, width, height;
};

struct DialogControl {
  int id;
  const char* className;
  const char* text;
  DWORD style;
  DialogRect rect;
};

// The most controls a dialog record holds; a template with more fails the build.
inline constexpr int kMaxControls = 16;

struct DialogTemplate {
  int id;
  const char* caption;
  int pointSize;
  const char* fontName;
  DWORD style;
  DialogRect rect;
  const DialogControl* controls;
  int controlCount;
};

#include "dialog-templates.inc"

// The template with this resource identifier, or nullptr.
inline const DialogTemplate* FindTemplate(LPCSTR name) {
  uintptr_t id = reinterpret_cast<uintptr_t>(name);
  for (const DialogTemplate& dialog : DialogTemplates) {
    if (static_cast<uintptr_t>(dialog.id) == id) return &dialog;
  }
  return nullptr;
}

}  // namespace platform
