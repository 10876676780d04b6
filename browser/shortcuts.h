// The browser window's keyboard shortcuts: which key does what, and the
// zoom steps of the page.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ports/controls.h"

namespace corvane {

enum class ShortcutAction : std::uint8_t {
  FocusAddress,  // the address box takes the focus, its text selected
  Button,        // runs a toolbar button's command (`button` is its key)
  ZoomIn,
  ZoomOut,
  ZoomReset,
  Find,          // the Find window
  FindNext,      // the next match of the last search
  FindPrevious,  // the match before
  Print,     // prints the page (the platform's print dialog)
  SavePage,  // saves the page as one file (a save dialog first)
};

struct Shortcut {
  std::int16_t keyCode;
  std::int16_t shift;  // the modifiers that must be held, exactly
  ShortcutAction action;
  const char* button;  // ShortcutAction::Button: the toolbar key
};

// The shortcut of a key with these modifiers held, or nullptr.
const Shortcut* FindShortcut(std::int16_t keyCode, std::int16_t shift);

// The next zoom step above or below `current` (direction +1 or -1); the
// smallest and largest steps stay where they are.
float NextZoom(float current, int direction);

// A toolbar button as a shortcut hands it to the toolbar's handler.
class ShortcutButton final : public ToolbarButton {
 public:
  explicit ShortcutButton(std::string key) : key_(std::move(key)) {}
  [[nodiscard]] std::string Key() const override { return key_; }

 private:
  std::string key_;
};

}  // namespace corvane
