#include "platform/win32/combo_box.h"

#include <commctrl.h>

#include "platform/win32/text.h"

namespace corvane::win32 {

namespace {

constexpr int kComboListPixels = 200;  // height of a combo box's drop-down list

}  // namespace

Win32ComboBox::Win32ComboBox(Win32Window& form, const ControlDesign& design, HWND parent)
    : Placed(form, design) {
  const RECT r = PixelRect();
  handle_ = ::CreateWindowExW(
      0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN |
                                CBS_AUTOHSCROLL,
      r.left, r.top, r.right - r.left, r.bottom - r.top + kComboListPixels, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.NextId())), form.Backend().Instance(),
      nullptr);
  if (handle_ == nullptr) {
    throw Failure("cannot create " + design.name);
  }
  ::SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(form.FontFor(design)), FALSE);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (::GetComboBoxInfo(handle_, &info) != FALSE) {
    edit_ = info.hwndItem;
  }
  // Named by its label, as is the edit field that takes the focus.
  const std::string label = LabelTextFor(form.Design(), design);
  name_.Give(handle_, label);
  name_.Give(edit_, label);
}

void Win32ComboBox::Moved() {
  const RECT r = PixelRect();
  ::MoveWindow(handle_, r.left, r.top, r.right - r.left, r.bottom - r.top + kComboListPixels,
               TRUE);
}

void Win32ComboBox::SetText(const std::string& text) {
  ::SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  ::SetWindowTextW(handle_, ToWide(ValidUtf8(text)).c_str());
}

void Win32ComboBox::AddItem(const std::string& text, std::int16_t index) {
  items_.CheckInsert(index);
  const std::wstring wide = ToWide(ValidUtf8(text));
  const LRESULT at = ::SendMessageW(handle_, CB_INSERTSTRING, static_cast<WPARAM>(index),
                                    reinterpret_cast<LPARAM>(wide.c_str()));
  if (at == CB_ERR || at == CB_ERRSPACE) {
    throw Failure("cannot add to the list");
  }
  // Kept as the control holds it (the same text after the round trip).
  items_.Insert(static_cast<std::size_t>(at), ToUtf8(wide));
}

void Win32ComboBox::RemoveItem(std::int16_t index) {
  items_.CheckIndex(index);
  if (::SendMessageW(handle_, CB_DELETESTRING, static_cast<WPARAM>(index), 0) == CB_ERR) {
    throw Failure("invalid list index");
  }
  items_.Erase(index);
}

void Win32ComboBox::SetListIndex(std::int16_t index) {
  if (index < -1 || index >= ListCount()) {
    throw Failure("invalid list index");
  }
  // Selecting shows the entry as the box's text; a change made by the
  // program raises Click just like a pick by the user.
  ::SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Event click{.type = EventType::Click, .control = design_.name};
  form_.Raise(click);
}

void Win32ComboBox::Picked() {
  const std::int16_t index = ListIndex();
  if (index >= 0) {
    ::SetWindowTextW(handle_, ToWide(List(index)).c_str());
  }
  Event click{.type = EventType::Click, .control = design_.name};
  form_.Raise(click);
}

}  // namespace corvane::win32
