// The simple controls: label, line and image (drawn on their container),
// frame and picture box (containers), command button and timer.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/accessible.h"
#include "platform/win32/handles.h"
#include "platform/win32/window.h"

namespace corvane::win32 {

// ---- lightweight controls ------------------------------------------------------

class Win32Label final : public Placed<Label> {
 public:
  Win32Label(Win32Window& form, const ControlDesign& design)
      : Placed(form, design), caption_(design.caption) {
    Fit();
  }
  [[nodiscard]] std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override {
    caption_ = ValidUtf8(text);
    Fit();
    Place();
  }
  void Paint(HDC dc) override;
  bool Describe(DrawnPart& part) const override;

 protected:
  // A label that sizes itself sizes itself again at its new place.
  void Moved() override {
    Fit();
    Place();
  }

 public:
  // The pixels the caption takes as Paint draws it.
  [[nodiscard]] SIZE TextSize() const;
  [[nodiscard]] SIZE OwnSize() const {
    const RECT area = PixelRect();
    return SIZE{area.right - area.left, area.bottom - area.top};
  }

 private:
  [[nodiscard]] UINT Flags() const;
  // A label that sizes itself takes the size of its text.
  void Fit();
  std::string caption_;
};

class Win32Line final : public Placed<Control> {
 public:
  using Placed::Placed;
  void Paint(HDC dc) override;
};

class Win32Image final : public Placed<Control> {
 public:
  Win32Image(Win32Window& form, const ControlDesign& design);
  void Paint(HDC dc) override;
  bool Describe(DrawnPart& part) const override;

 private:
  IconHandle icon_;
};

// ---- containers ------------------------------------------------------------------

// A frame or picture box: a child window that paints its border or picture
// and the lightweight controls inside it.
class Win32Surface final : public Placed<Control> {
 public:
  Win32Surface(Win32Window& form, const ControlDesign& design, HWND parent);
  void PaintBackground(HDC dc) const;
  // A picture box showing a picture is named by what it shows.
  bool Describe(DrawnPart& part) const override;

 private:
  IconHandle icon_;
};

// ---- windowed controls -----------------------------------------------------------

class Win32Button final : public Placed<CommandButton> {
 public:
  Win32Button(Win32Window& form, const ControlDesign& design, HWND parent);
  [[nodiscard]] std::string Caption() const override { return design_.caption; }
};

class Win32Timer final : public Timer {
 public:
  Win32Timer(HWND window, int id, const ControlDesign& design)
      : window_(window), id_(id), interval_(design.interval) {
    SetEnabled(design.enabled);
  }
  ~Win32Timer() override;
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;
  [[nodiscard]] bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  [[nodiscard]] int Interval() const override { return interval_; }
  [[nodiscard]] int Id() const { return id_; }

 private:
  HWND window_;
  int id_;
  int interval_;
  bool enabled_ = false;
};

}  // namespace corvane::win32
