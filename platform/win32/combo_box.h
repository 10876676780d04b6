// The combo box: an edit field with a drop-down list of entries.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/kit/list_entries.h"
#include "platform/win32/accessible.h"
#include "platform/win32/window.h"

namespace corvane::win32 {

class Win32ComboBox final : public Placed<ComboBox> {
 public:
  Win32ComboBox(Win32Window& form, const ControlDesign& design, HWND parent);
  void Detach() override { name_.Clear(); }
  [[nodiscard]] HWND FocusHandle() const override { return edit_ != nullptr ? edit_ : handle_; }
  [[nodiscard]] HWND Edit() const { return edit_; }

  // The window holds the drop-down list below the box.
  void Moved() override;

  [[nodiscard]] std::string Text() const override { return ToUtf8(WindowText(handle_)); }
  // Text set leaves no entry selected.
  void SetText(const std::string& text) override;
  [[nodiscard]] std::int16_t ListCount() const override { return items_.Count(); }
  [[nodiscard]] const std::string& List(std::int16_t index) const override {
    return items_.At(index);
  }
  void AddItem(const std::string& text, std::int16_t index) override;
  void RemoveItem(std::int16_t index) override;
  [[nodiscard]] std::int16_t ListIndex() const override {
    return static_cast<std::int16_t>(::SendMessageW(handle_, CB_GETCURSEL, 0, 0));
  }
  void SetListIndex(std::int16_t index) override;
  void SetFocus() override { ::SetFocus(FocusHandle()); }
  void SelectAll() override { ::SendMessageW(handle_, CB_SETEDITSEL, 0, MAKELPARAM(0, -1)); }
  // A pick from the drop-down list: the picked entry becomes the text first.
  void Picked();

 private:
  HWND edit_ = nullptr;
  AccessibleName name_;
  ListEntries items_;  // as the control holds them; only this class changes the list
};

}  // namespace corvane::win32
