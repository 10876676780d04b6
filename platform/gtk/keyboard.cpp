#include "platform/gtk/keyboard.h"

#include <cctype>

#include "platform/gtk/guarded.h"
#include "platform/gtk/window.h"
#include "platform/ports/keys.h"

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
    {GDK_KEY_space, keys::kSpace},       {GDK_KEY_KP_Space, keys::kSpace},
};

// The character a key produces, as a key press reports it; 0 for keys that
// produce none (arrows, function keys, a modifier alone).
std::int16_t CharacterCode(const GdkEventKey& event) {
  switch (event.keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      return 13;
    case GDK_KEY_Escape:
      return 27;
    case GDK_KEY_BackSpace:
      return 8;
    default:
      break;
  }
  const guint modifiers = event.state & gtk_accelerator_get_default_mod_mask();
  if ((modifiers & GDK_CONTROL_MASK) != 0) {
    const guint lower = gdk_keyval_to_lower(event.keyval);
    if (lower >= GDK_KEY_a && lower <= GDK_KEY_z) {
      return static_cast<std::int16_t>(lower - GDK_KEY_a + 1);
    }
    return 0;
  }
  const gunichar c = gdk_keyval_to_unicode(event.keyval);
  if (c == 0 || c == 0x7F || c == '\t') {
    return 0;
  }
  return c > 0x7FFF ? std::int16_t{'?'} : static_cast<std::int16_t>(c);
}

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

// ---- a window's keys ------------------------------------------------------

KeyRouting FormWindow::Routing() {
  return KeyRouting{
      .design = design_,
      .raise = [this](Event& event) { Raise(event); },
      .alive = [this] { return visible_; },
      .focused = [this] { return FocusedControl(); },
      .focus = [this](const ControlDesign& control) { FocusControl(control); },
      .press = [this](const ControlDesign& control) { PressControl(control); },
  };
}

bool FormWindow::HandleKey(const GdkEventKey& event) {
  const KeyRouting routing = Routing();
  // The window sees every key first, before access keys and the page.
  if (!RouteKeyDown(routing, KeyCodeOf(event), ShiftStateOf(event))) {
    return true;
  }
  const guint modifiers = event.state & gtk_accelerator_get_default_mod_mask();
  if ((modifiers & GDK_MOD1_MASK) != 0) {
    const gunichar c = gdk_keyval_to_unicode(gdk_keyval_to_lower(event.keyval));
    if (c > 0 && c < 128 && std::isalnum(static_cast<int>(c)) != 0) {
      return RouteAccessKey(routing, static_cast<char>(c));
    }
    return false;
  }
  const ControlDesign* focused = FocusedControl();
  if (event.keyval == GDK_KEY_Tab || event.keyval == GDK_KEY_ISO_Left_Tab ||
      event.keyval == GDK_KEY_KP_Tab) {
    if (focused != nullptr && focused->kind == ControlKind::WebBrowser) {
      return false;  // the page moves among its own links
    }
    const bool forward = event.keyval != GDK_KEY_ISO_Left_Tab && (modifiers & GDK_SHIFT_MASK) == 0;
    if (const ControlDesign* next = NextFocus(
            design_, focused, forward, [this](const ControlDesign& c) { return CanFocus(c); })) {
      FocusControl(*next);
    }
    return true;
  }
  std::int16_t key = CharacterCode(event);
  if (key == 0) {
    return false;
  }
  return RouteCharacter(routing, key) == CharacterRoute::Taken;
}

gboolean FormWindow::OnKeyPress(GtkWidget* /*widget*/, GdkEventKey* event, gpointer self) {
  bool handled = false;
  Guarded([&] { handled = static_cast<FormWindow*>(self)->HandleKey(*event); });
  return handled ? TRUE : FALSE;
}

}  // namespace corvane::gtk
