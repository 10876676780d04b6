// Key codes and shift states of the KeyDown event: the key codes are the
// virtual-key codes of the keyboard (the same numbers on every backend), the
// shift state a mask of the modifiers held.
#pragma once

#include <cstdint>

namespace corvane::keys {

// Modifiers held with a key.
inline constexpr std::int16_t kShiftMask = 1;
inline constexpr std::int16_t kCtrlMask = 2;
inline constexpr std::int16_t kAltMask = 4;

inline constexpr std::int16_t kBack = 8;
inline constexpr std::int16_t kTab = 9;
inline constexpr std::int16_t kReturn = 13;
inline constexpr std::int16_t kShift = 16;    // the Shift key itself
inline constexpr std::int16_t kControl = 17;  // the Ctrl key itself
inline constexpr std::int16_t kMenu = 18;     // the Alt key itself
inline constexpr std::int16_t kEscape = 27;
inline constexpr std::int16_t kSpace = 32;
inline constexpr std::int16_t kHome = 36;
inline constexpr std::int16_t kLeft = 37;
inline constexpr std::int16_t kUp = 38;
inline constexpr std::int16_t kRight = 39;
inline constexpr std::int16_t kDown = 40;
inline constexpr std::int16_t k0 = 48;  // '0' to '9' are 48 to 57
inline constexpr std::int16_t kA = 65;  // 'A' to 'Z' are 65 to 90
inline constexpr std::int16_t kNumpad0 = 96;
inline constexpr std::int16_t kAdd = 107;       // numeric keypad +
inline constexpr std::int16_t kSubtract = 109;  // numeric keypad -
inline constexpr std::int16_t kF1 = 112;        // F1 to F12 are 112 to 123
inline constexpr std::int16_t kPlus = 187;      // the main keyboard's = / + key
inline constexpr std::int16_t kMinus = 189;     // the main keyboard's - / _ key

constexpr std::int16_t Letter(char upper) { return static_cast<std::int16_t>(kA + (upper - 'A')); }
constexpr std::int16_t Function(int n) { return static_cast<std::int16_t>(kF1 + n - 1); }

}  // namespace corvane::keys
