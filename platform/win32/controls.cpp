#include "platform/win32/controls.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>

#include "platform/win32/pictures.h"
#include "platform/win32/text.h"
#include "platform/win32/window_procs.h"

namespace corvane::win32 {

// ---- lightweight controls ------------------------------------------------------

void Win32Label::Paint(HDC dc) {
  const RECT r = PixelRect();
  ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
  const Selected font(dc, form_.FontFor(design_));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, design_.foreColor ? ToColorRef(*design_.foreColor)
                                       : ::GetSysColor(COLOR_BTNTEXT));
  RECT text = r;
  std::wstring wide = ToWide(caption_);
  ::DrawTextW(dc, wide.data(), static_cast<int>(wide.size()), &text, Flags());
}

bool Win32Label::Describe(DrawnPart& part) const {
  part = DrawnPart{StripAccessKey(caption_), ROLE_SYSTEM_STATICTEXT, PixelRect()};
  return !part.name.empty();
}

SIZE Win32Label::TextSize() const {
  ScreenDc dc;
  const Selected font(dc.get(), form_.FontFor(design_));
  std::wstring wide = ToWide(caption_);
  const RECT area = PixelRect();
  RECT r{0, 0, area.right - area.left, 0};
  ::DrawTextW(dc.get(), wide.data(), static_cast<int>(wide.size()), &r, Flags() | DT_CALCRECT);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

UINT Win32Label::Flags() const {
  UINT flags = design_.wordWrap ? DT_WORDBREAK : DT_SINGLELINE;
  if (design_.alignment == Alignment::Right) {
    flags |= DT_RIGHT;
  } else if (design_.alignment == Alignment::Center) {
    flags |= DT_CENTER;
  }
  return flags;
}

void Win32Label::Fit() {
  if (!design_.autoSize) {
    return;
  }
  // Sized to the text by the shared rule; the label only measures it, with
  // its own font, as Paint draws it.
  ScreenDc dc;
  const Selected font(dc.get(), form_.FontFor(design_));
  SetArea(SizedLabel(Area(), design_.alignment, caption_, [&](const std::string& line) {
    std::wstring wide = ToWide(line);
    RECT r{0, 0, 0, 0};
    ::DrawTextW(dc.get(), wide.data(), static_cast<int>(wide.size()), &r,
                DT_CALCRECT | DT_SINGLELINE);
    return TextExtent{form_.TwX(r.right - r.left), form_.TwY(r.bottom - r.top)};
  }));
}

void Win32Line::Paint(HDC dc) {
  const COLORREF colour = design_.borderColor ? ToColorRef(*design_.borderColor)
                                              : ::GetSysColor(COLOR_WINDOWTEXT);
  const GdiObject pen(::CreatePen(design_.insideSolid ? PS_INSIDEFRAME : PS_SOLID,
                                  std::max(design_.borderWidth, 1), colour));
  const Selected selected(dc, pen.get());
  // A line's width and height hold its second end.
  ::MoveToEx(dc, form_.PxX(Left()), form_.PxY(Top()), nullptr);
  ::LineTo(dc, form_.PxX(Width()), form_.PxY(Height()));
}

Win32Image::Win32Image(Win32Window& form, const ControlDesign& design)
    : Placed(form, design), icon_(LoadIconPicture(design.picture, 32, 32)) {}

void Win32Image::Paint(HDC dc) {
  if (icon_) {
    const RECT r = PixelRect();
    ::DrawIconEx(dc, r.left, r.top, icon_.get(), r.right - r.left, r.bottom - r.top, 0,
                 nullptr, DI_NORMAL);
  }
}

bool Win32Image::Describe(DrawnPart& part) const {
  part = DrawnPart{design_.description, ROLE_SYSTEM_GRAPHIC, PixelRect()};
  return icon_ && !part.name.empty();
}

// ---- containers ------------------------------------------------------------------

Win32Surface::Win32Surface(Win32Window& form, const ControlDesign& design, HWND parent)
    : Placed(form, design) {
  if (design.kind == ControlKind::PictureBox && !design.picture.empty()) {
    icon_ = LoadIconPicture(design.picture, 32, 32);
    if (icon_ && design.autoSize) {
      SetArea(Rect{Left(), Top(), form.TwX(32), form.TwY(32)});
    }
  }
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (design.tabStop) {
    style |= WS_TABSTOP;
  }
  const RECT r = PixelRect();
  handle_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kSurfaceClass, L"", style, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.NextId())),
                              form.Backend().Instance(), &form);
  if (handle_ == nullptr) {
    throw Failure("cannot create " + design.name);
  }
}

bool Win32Surface::Describe(DrawnPart& part) const {
  part = DrawnPart{design_.description, ROLE_SYSTEM_GRAPHIC, RECT{}};
  return icon_ && !part.name.empty();
}

void Win32Surface::PaintBackground(HDC dc) const {
  RECT client{};
  ::GetClientRect(handle_, &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  if (design_.kind == ControlKind::Frame && design_.border) {
    const std::wstring caption = ToWide(design_.caption);
    if (caption.empty()) {
      ::DrawEdge(dc, &client, EDGE_ETCHED, BF_RECT);
    } else {
      // A captioned frame: the edge runs through the middle of its caption,
      // which stands on it near the left, as a group box's does.
      const Selected font(dc, form_.FontFor(design_));
      TEXTMETRICW metrics{};
      ::GetTextMetricsW(dc, &metrics);
      RECT edge = client;
      edge.top += metrics.tmHeight / 2;
      ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
      RECT text{6, 0, client.right - 6, metrics.tmHeight};
      ::SetBkMode(dc, OPAQUE);
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
      ::DrawTextW(dc, caption.data(), static_cast<int>(caption.size()), &text,
                  DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
  }
  if (icon_) {
    ::DrawIconEx(dc, 0, 0, icon_.get(), 0, 0, 0, nullptr, DI_NORMAL);
  }
}

// ---- windowed controls -----------------------------------------------------------

Win32Button::Win32Button(Win32Window& form, const ControlDesign& design, HWND parent)
    : Placed(form, design) {
  const RECT r = PixelRect();
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                      static_cast<DWORD>(design.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  handle_ = ::CreateWindowExW(0, WC_BUTTONW, ToWide(design.caption).c_str(), style, r.left,
                              r.top, r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.NextId())),
                              form.Backend().Instance(), nullptr);
  if (handle_ == nullptr) {
    throw Failure("cannot create " + design.name);
  }
  ::SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(form.FontFor(design)), FALSE);
}

Win32Timer::~Win32Timer() {
  if (enabled_) {
    ::KillTimer(window_, static_cast<UINT_PTR>(id_));
  }
}

void Win32Timer::SetEnabled(bool enabled) {
  if (enabled && interval_ > 0) {
    if (::SetTimer(window_, static_cast<UINT_PTR>(id_), static_cast<UINT>(interval_), nullptr) ==
        0) {
      throw Failure("no timer available");
    }
  } else {
    ::KillTimer(window_, static_cast<UINT_PTR>(id_));
  }
  enabled_ = enabled;
}

}  // namespace corvane::win32
