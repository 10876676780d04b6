// The toolbar: a row of picture buttons from an image list.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "platform/win32/handles.h"
#include "platform/win32/window.h"

namespace corvane::win32 {

class Win32ToolbarButton final : public ToolbarButton {
 public:
  explicit Win32ToolbarButton(std::string key) : key_(std::move(key)) {}
  [[nodiscard]] std::string Key() const override { return key_; }

 private:
  std::string key_;
};

class Win32Toolbar final : public Placed<Toolbar> {
 public:
  Win32Toolbar(Win32Window& form, const ControlDesign& design, HWND parent);
  void Refresh() override { ::InvalidateRect(handle_, nullptr, TRUE); }
  void Dock() { ::SendMessageW(handle_, TB_AUTOSIZE, 0, 0); }

  // The button with command `id`, or nullptr.
  [[nodiscard]] const ToolbarButtonDesign* ButtonOf(int id) const;

 private:
  void MakeImageList(const ControlDesign& list);
  ImageListHandle images_;
};

}  // namespace corvane::win32
