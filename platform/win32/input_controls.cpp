#include "platform/win32/input_controls.h"

#include <commctrl.h>

namespace corvane::win32 {

namespace {

HWND MakeChild(Win32Window& form, const ControlDesign& design, HWND parent, DWORD exStyle,
               const wchar_t* windowClass, DWORD style, const std::wstring& text) {
  RECT r{form.PxX(design.left), form.PxY(design.top), form.PxX(design.left + design.width),
         form.PxY(design.top + design.height)};
  HWND handle = ::CreateWindowExW(exStyle, windowClass, text.c_str(),
                                  WS_CHILD | WS_VISIBLE | (design.tabStop ? WS_TABSTOP : 0U) |
                                      style,
                                  r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.NextId())),
                                  form.Backend().Instance(), nullptr);
  if (handle == nullptr) {
    throw Failure("cannot create " + design.name);
  }
  ::SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(form.FontFor(design)), FALSE);
  return handle;
}

}  // namespace

Win32TextBox::Win32TextBox(Win32Window& form, const ControlDesign& design, HWND parent)
    : Placed(form, design) {
  handle_ = MakeChild(form, design, parent, WS_EX_CLIENTEDGE, WC_EDITW, ES_AUTOHSCROLL, L"");
}

std::string Win32TextBox::Text() const { return ToUtf8(WindowText(handle_)); }

void Win32TextBox::SetText(const std::string& text) {
  ::SetWindowTextW(handle_, ToWide(ValidUtf8(text)).c_str());
}

void Win32TextBox::SetFocus() {
  ::SetForegroundWindow(::GetAncestor(handle_, GA_ROOT));
  ::SetFocus(handle_);
}

void Win32TextBox::SelectAll() { ::SendMessageW(handle_, EM_SETSEL, 0, -1); }

Win32CheckBox::Win32CheckBox(Win32Window& form, const ControlDesign& design, HWND parent)
    : Placed(form, design) {
  const bool option = design.kind == ControlKind::OptionButton;
  handle_ = MakeChild(form, design, parent, 0, WC_BUTTONW,
                      static_cast<DWORD>(option ? BS_RADIOBUTTON : BS_CHECKBOX),
                      ToWide(design.caption));
  if (design.value) {
    ::SendMessageW(handle_, BM_SETCHECK, BST_CHECKED, 0);
  }
}

bool Win32CheckBox::Value() const {
  return ::SendMessageW(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32CheckBox::SetValue(bool on) {
  if (design_.kind != ControlKind::OptionButton) {
    ::SendMessageW(handle_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    return;
  }
  if (!on) {
    return;  // one of the group stays on
  }
  // The other option buttons of the container go off.
  for (const ControlDesign& other : form_.Design().controls) {
    if (other.kind == ControlKind::OptionButton && other.container == design_.container &&
        &other != &design_) {
      if (HWND sibling = form_.HandleOf(other.name, other.index)) {
        ::SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
      }
    }
  }
  ::SendMessageW(handle_, BM_SETCHECK, BST_CHECKED, 0);
}

void Win32CheckBox::Press() {
  SetValue(design_.kind == ControlKind::OptionButton || !Value());
}

}  // namespace corvane::win32
