// A stroke as key code, modifiers and character (0: none), as every
// backend's keyboard reports it (platform/ports/keys.h).
#pragma once

#include "platform/ports/keys.h"
#include "tests/conformance/driver.h"

namespace corvane::conformance {

struct StrokeCodes {
  std::int16_t keyCode = 0;
  std::int16_t shift = 0;
  std::int16_t character = 0;
};

inline StrokeCodes CodesOf(const Stroke& stroke) {
  StrokeCodes codes;
  switch (stroke.key) {
    case Stroke::Key::Enter:
      codes = {keys::kReturn, 0, 13};
      break;
    case Stroke::Key::Escape:
      codes = {keys::kEscape, 0, 27};
      break;
    case Stroke::Key::Tab:
      codes = {keys::kTab, 0, 0};
      break;
    case Stroke::Key::F5:
      codes = {keys::Function(5), 0, 0};
      break;
    case Stroke::Key::Space:
      codes = {keys::kSpace, 0, ' '};
      break;
    case Stroke::Key::Left:
      codes = {keys::kLeft, 0, 0};
      break;
    case Stroke::Key::Shift:
      codes = {keys::kShift, keys::kShiftMask, 0};
      break;
    case Stroke::Key::Letter: {
      const char upper = static_cast<char>(stroke.letter - 'a' + 'A');
      codes = {keys::Letter(upper), 0,
               static_cast<std::int16_t>(stroke.shift ? upper : stroke.letter)};
      break;
    }
  }
  if (stroke.shift) {
    codes.shift |= keys::kShiftMask;
  }
  if (stroke.alt) {
    codes.shift |= keys::kAltMask;
    codes.character = 0;
  }
  return codes;
}

}  // namespace corvane::conformance
