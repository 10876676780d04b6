// The controls a person types into or turns on and off: the text box (an
// edit control), the check box and the option button (button controls whose
// check this program keeps itself, so that a click, Space and an access key
// all go through Press).
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/window.h"

namespace corvane::win32 {

class Win32TextBox final : public Placed<TextBox> {
 public:
  Win32TextBox(Win32Window& form, const ControlDesign& design, HWND parent);
  [[nodiscard]] std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetFocus() override;
  void SelectAll() override;
};

// A check box or an option button.
class Win32CheckBox final : public Placed<CheckBox> {
 public:
  Win32CheckBox(Win32Window& form, const ControlDesign& design, HWND parent);
  [[nodiscard]] bool Value() const override;
  void SetValue(bool on) override;
  // A click: a check box turns over, an option button turns on.
  void Press();
};

}  // namespace corvane::win32
