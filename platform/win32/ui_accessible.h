// What assistive technology learns about the controls whose names the
// system's own accessibility support cannot take from the controls alone:
// the toolbar's picture buttons, a box named by a label, a picture.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "platform/design.h"
#include "platform/win32/handles.h"

namespace corvane::winui {

// The name (and, for a picture, the role) of child windows for assistive
// technology, given through the system's annotation service and taken back
// by Clear or when this goes, while the windows exist. Where the service is missing the
// windows simply stay as the system names them.
class AccessibleAnnotation {
 public:
  AccessibleAnnotation() = default;
  AccessibleAnnotation(const AccessibleAnnotation&) = delete;
  AccessibleAnnotation& operator=(const AccessibleAnnotation&) = delete;
  ~AccessibleAnnotation();

  // Names `window`; `picture`: it shows a picture. An empty name does nothing.
  void Annotate(HWND window, const std::string& name, bool picture = false);
  // Takes the names back; call while the windows still exist.
  void Clear();

 private:
  ComPtr<IAccPropServices> services_;
  std::vector<HWND> annotated_;
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

}  // namespace corvane::winui
