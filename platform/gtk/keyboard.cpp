#include "platform/gtk/keyboard.h"

#include "platform/keys.h"

namespace corvane::gtk {

namespace {

struct SymbolCode {
  guint keyval;
  std::int16_t code;
};

// Keys that are not letters, digits or function keys.
constexpr SymbolCode kSymbols[] = {
    {GDK_KEY_BackSpace, keys::kBack},    {GDK_KEY_Tab, keys::kTab},
    {GDK_KEY_ISO_Left_Tab, keys::kTab},  {GDK_KEY_Return, keys::kReturn},
    {GDK_KEY_KP_Enter, keys::kReturn},   {GDK_KEY_Escape, keys::kEscape},
    {GDK_KEY_Home, keys::kHome},         {GDK_KEY_KP_Home, keys::kHome},
    {GDK_KEY_Left, keys::kLeft},         {GDK_KEY_KP_Left, keys::kLeft},
    {GDK_KEY_Up, keys::kUp},             {GDK_KEY_KP_Up, keys::kUp},
    {GDK_KEY_Right, keys::kRight},       {GDK_KEY_KP_Right, keys::kRight},
    {GDK_KEY_Down, keys::kDown},         {GDK_KEY_KP_Down, keys::kDown},
    {GDK_KEY_KP_0, keys::kNumpad0},      {GDK_KEY_KP_Insert, keys::kNumpad0},
    {GDK_KEY_KP_Add, keys::kAdd},        {GDK_KEY_KP_Subtract, keys::kSubtract},
    {GDK_KEY_equal, keys::kPlus},        {GDK_KEY_plus, keys::kPlus},
    {GDK_KEY_minus, keys::kMinus},       {GDK_KEY_underscore, keys::kMinus},
};

}  // namespace

std::int16_t KeyCodeOfSymbol(guint keyval) {
  const guint upper = gdk_keyval_to_upper(keyval);
  if (upper >= GDK_KEY_A && upper <= GDK_KEY_Z) {
    return static_cast<std::int16_t>(keys::kA + (upper - GDK_KEY_A));
  }
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) {
    return static_cast<std::int16_t>(keys::k0 + (keyval - GDK_KEY_0));
  }
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) {
    return static_cast<std::int16_t>(keys::kF1 + (keyval - GDK_KEY_F1));
  }
  for (const SymbolCode& s : kSymbols) {
    if (s.keyval == keyval) {
      return s.code;
    }
  }
  return 0;
}

std::int16_t KeyCodeOf(const GdkEventKey& event) {
  // The key as the layout has it without modifiers: Shift with "=" gives
  // "+", Shift with "0" may give ")", and both are still that key.
  guint base = event.keyval;
  GdkKeymap* keymap = gdk_keymap_get_for_display(
      event.window != nullptr ? gdk_window_get_display(event.window) : gdk_display_get_default());
  guint unmodified = 0;
  if (keymap != nullptr &&
      gdk_keymap_translate_keyboard_state(keymap, event.hardware_keycode, GdkModifierType{},
                                          event.group, &unmodified, nullptr, nullptr,
                                          nullptr) != FALSE) {
    // Keypad keys keep what Num Lock made of them.
    if (KeyCodeOfSymbol(unmodified) != 0 && !(event.keyval >= GDK_KEY_KP_Space &&
                                              event.keyval <= GDK_KEY_KP_9)) {
      base = unmodified;
    }
  }
  return KeyCodeOfSymbol(base);
}

std::int16_t ShiftStateOf(const GdkEventKey& event) {
  std::int16_t shift = 0;
  if ((event.state & GDK_SHIFT_MASK) != 0) {
    shift |= keys::kShiftMask;
  }
  if ((event.state & GDK_CONTROL_MASK) != 0) {
    shift |= keys::kCtrlMask;
  }
  if ((event.state & GDK_MOD1_MASK) != 0) {
    shift |= keys::kAltMask;
  }
  return shift;
}

}  // namespace corvane::gtk
