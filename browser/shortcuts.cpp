#include "browser/shortcuts.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "platform/ports/keys.h"

namespace corvane {

namespace {

using keys::kAltMask;
using keys::kCtrlMask;
using keys::kShiftMask;

constexpr std::int16_t kNone = 0;

constexpr std::array kShortcuts{
    Shortcut{keys::Letter('L'), kCtrlMask, ShortcutAction::FocusAddress, nullptr},
    Shortcut{keys::Letter('D'), kAltMask, ShortcutAction::FocusAddress, nullptr},
    Shortcut{keys::Function(6), kNone, ShortcutAction::FocusAddress, nullptr},
    Shortcut{keys::Function(5), kNone, ShortcutAction::Button, "Refresh"},
    Shortcut{keys::Letter('R'), kCtrlMask, ShortcutAction::Button, "Refresh"},
    Shortcut{keys::kEscape, kNone, ShortcutAction::Button, "Stop"},
    Shortcut{keys::kLeft, kAltMask, ShortcutAction::Button, "Back"},
    Shortcut{keys::kRight, kAltMask, ShortcutAction::Button, "Forward"},
    Shortcut{keys::kHome, kAltMask, ShortcutAction::Button, "Home"},
    // "+" is Shift and "=" on many keyboards: both zoom in.
    Shortcut{keys::kPlus, kCtrlMask, ShortcutAction::ZoomIn, nullptr},
    Shortcut{keys::kPlus, kCtrlMask | kShiftMask, ShortcutAction::ZoomIn, nullptr},
    Shortcut{keys::kAdd, kCtrlMask, ShortcutAction::ZoomIn, nullptr},
    Shortcut{keys::kMinus, kCtrlMask, ShortcutAction::ZoomOut, nullptr},
    Shortcut{keys::kSubtract, kCtrlMask, ShortcutAction::ZoomOut, nullptr},
    Shortcut{keys::k0, kCtrlMask, ShortcutAction::ZoomReset, nullptr},
    Shortcut{keys::kNumpad0, kCtrlMask, ShortcutAction::ZoomReset, nullptr},
    Shortcut{keys::Letter('F'), kCtrlMask, ShortcutAction::Find, nullptr},
    Shortcut{keys::Function(3), kNone, ShortcutAction::FindNext, nullptr},
    Shortcut{keys::Function(3), kShiftMask, ShortcutAction::FindPrevious, nullptr},
    // Print and save.
    Shortcut{keys::Letter('P'), kCtrlMask, ShortcutAction::Print, nullptr},
    Shortcut{keys::Letter('S'), kCtrlMask, ShortcutAction::SavePage, nullptr},
};

constexpr std::array kZoomSteps{0.25F, 0.33F, 0.5F, 0.67F, 0.75F, 0.8F, 0.9F, 1.0F, 1.1F,
                                1.25F, 1.5F, 1.75F, 2.0F, 2.5F, 3.0F, 4.0F, 5.0F};
// Zoom factors closer than this are the same step.
constexpr float kSameStep = 0.005F;

}  // namespace

const Shortcut* FindShortcut(std::int16_t keyCode, std::int16_t shift) {
  const auto* found = std::find_if(kShortcuts.begin(), kShortcuts.end(), [&](const Shortcut& s) {
    return s.keyCode == keyCode && s.shift == shift;
  });
  return found != kShortcuts.end() ? &*found : nullptr;
}

float NextZoom(float current, int direction) {
  if (direction > 0) {
    const auto* up = std::find_if(kZoomSteps.begin(), kZoomSteps.end(),
                                  [&](float step) { return step > current + kSameStep; });
    return up != kZoomSteps.end() ? *up : kZoomSteps.back();
  }
  const auto down = std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(),
                                 [&](float step) { return step < current - kSameStep; });
  return down != kZoomSteps.rend() ? *down : kZoomSteps.front();
}

}  // namespace corvane
