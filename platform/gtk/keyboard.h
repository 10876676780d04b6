// Keys as the windows see them: GTK's key events turned into key codes and
// shift states (platform/ports/keys.h). The window's own key handling
// (FormWindow::HandleKey: key preview, access keys, Tab, characters) is in
// keyboard.cpp too.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

namespace corvane::gtk {

// The key code of the key, read on the keyboard's layout without modifiers
// (Ctrl and Shift with "=" is still the "=" key); 0 for keys without one.
std::int16_t KeyCodeOf(const GdkEventKey& event);

// The modifiers held: Shift, Ctrl and Alt as a mask.
std::int16_t ShiftStateOf(const GdkEventKey& event);

// The key code of a key symbol; 0 for symbols without one.
std::int16_t KeyCodeOfSymbol(guint keyval);

}  // namespace corvane::gtk
