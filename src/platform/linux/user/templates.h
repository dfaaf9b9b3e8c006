// The dialog templates of the resource script, as tables generated from it at build time; the
// types they are made of are the drivers' too (user_driver.h).
#pragma once

#include <iterator>

#include "user_driver.h"

namespace platform {

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
