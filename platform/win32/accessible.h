// What assistive technology learns about the controls whose names the
// system's own accessibility support cannot take from the controls alone:
// the toolbar's picture buttons, a box named by a label, a picture, and the
// labels and pictures a window draws itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/ports/design.h"

namespace corvane::win32 {

// Something a window draws itself (a label's text, a picture) that
// assistive technology sees as an object of its own inside the window.
struct DrawnPart {
  std::string name;
  LONG role = 0;  // ROLE_SYSTEM_STATICTEXT, ROLE_SYSTEM_GRAPHIC...
  RECT area{};    // in the client area of the window that draws it
};

// What a window's accessible object says beyond what the system says of it:
// its name and role (empty or 0: the system's) and the parts it draws, in
// drawing order (later ones lie on top).
struct AccessibleFacts {
  std::string name;
  LONG role = 0;
  std::vector<DrawnPart> parts;
};

// The interface id of IAccessible, as the objects here are asked for it and
// hand it on. It comes from the interface's own declaration: the 64-bit
// import library of the accessibility library has a symbol of the id's name
// that is a jump to the library's export, not the id, and the linker takes it
// from there when that library is linked before the one that defines the ids.
const IID& AccessibleInterfaceId();

// Answers WM_GETOBJECT for the client area of `window` with the system's
// object for it amended by `facts`. Returns 0, so that the window procedure
// goes on as usual, for any other object or where the system's
// accessibility library cannot be had.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleFacts& facts);

// Names windows of standard controls for assistive technology, by answering
// their WM_GETOBJECT, until Clear or until this goes.
class AccessibleName {
 public:
  AccessibleName() = default;
  AccessibleName(const AccessibleName&) = delete;
  AccessibleName& operator=(const AccessibleName&) = delete;
  ~AccessibleName();

  // Names `window` `name`; an empty name or no window does nothing.
  void Give(HWND window, const std::string& name);
  // Takes the names back; call while the windows still exist.
  void Clear();

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                               UINT_PTR id, DWORD_PTR data);
  std::vector<HWND> named_;
  AccessibleFacts facts_;
};

// The text naming a control for assistive technology: the caption (without
// its access-key mark) of the label whose access key leads to the control;
// empty when no label does.
std::string LabelTextFor(const WindowDesign& window, const ControlDesign& control);

// Gives each button of a toolbar made from `design` its tool tip (its key
// when it has none) as text, which names it for assistive technology; the
// text is not shown. Call after the buttons are added, with the command of
// the first button.
void NameToolbarButtons(HWND toolbar, const ControlDesign& design, int firstCommand);

}  // namespace corvane::win32
