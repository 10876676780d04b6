#include "platform/win32/window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/win32/combo_box.h"
#include "platform/win32/controls.h"
#include "platform/win32/input_controls.h"
#include "platform/win32/toolbar.h"

namespace corvane::win32 {

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

Item::Item(Win32Window& form, const ControlDesign& design)
    : form_(form), design_(design) {}

RECT Item::PixelRect() const {
  const Rect a = Area();
  return RECT{form_.PxX(a.left), form_.PxY(a.top), form_.PxX(a.left + a.width),
              form_.PxY(a.top + a.height)};
}

void Item::Place() {
  if (handle_ != nullptr) {
    const RECT r = PixelRect();
    ::MoveWindow(handle_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  } else {
    RECT all{0, 0, 0x7FFF, 0x7FFF};
    form_.Invalidate(design_.container, all);
  }
}

// ---- the window ------------------------------------------------------------------

Win32Window::Win32Window(Win32Backend& backend, const WindowDesign& design, EventSink& sink)
    : backend_(backend), design_(design), sink_(sink) {
  DWORD style = WS_CLIPCHILDREN;
  DWORD exStyle = WS_EX_CONTROLPARENT;
  switch (design.border) {
    case BorderStyle::Sizable:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
      if (design.minButton) {
        style |= WS_MINIMIZEBOX;
      }
      if (design.maxButton) {
        style |= WS_MAXIMIZEBOX;
      }
      break;
    case BorderStyle::FixedDialog:
      style |= WS_POPUP;
      if (design.caption.empty() && !design.controlBox) {
        style |= WS_DLGFRAME;  // a plain framed rectangle without a title bar
      } else {
        style |= WS_CAPTION;
        exStyle |= WS_EX_DLGMODALFRAME;
        if (design.controlBox) {
          style |= WS_SYSMENU;
        }
      }
      break;
    case BorderStyle::None:
      style |= WS_POPUP;
      break;
  }
  HWND owner = nullptr;
  // An owned window stays above its owner.
  const Win32Window* ownerForm = design.owner.empty() ? nullptr : backend.FormNamed(design.owner);
  if (ownerForm != nullptr) {
    owner = ownerForm->Hwnd();
  } else if (!design.showInTaskbar) {
    owner = backend.HiddenOwner();  // an owned window has no taskbar button
  } else {
    exStyle |= WS_EX_APPWINDOW;
  }
  RECT frame{0, 0, PxX(design.clientWidth), PxY(design.clientHeight)};
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int outerWidth = frame.right - frame.left;
  const int outerHeight = frame.bottom - frame.top;
  // The frame around the client area, as the window system draws it.
  const FrameExtents extents{-frame.left, -frame.top, frame.right - PxX(design.clientWidth),
                             frame.bottom - PxY(design.clientHeight)};
  PixelPoint corner{CW_USEDEFAULT, CW_USEDEFAULT};
  if (design.startPosition == StartPosition::CenterScreen) {
    corner = OuterCornerCentred(0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                                ::GetSystemMetrics(SM_CYSCREEN), PxX(design.clientWidth),
                                PxY(design.clientHeight), extents);
  } else if (design.startPosition == StartPosition::OwnerTopRight && ownerForm != nullptr) {
    // Inside the owner's client area, `left` from its right edge.
    RECT client{};
    ::GetClientRect(ownerForm->Hwnd(), &client);
    POINT ownerCorner{client.right, client.top};
    ::ClientToScreen(ownerForm->Hwnd(), &ownerCorner);
    corner = OuterCornerForClient(
        PixelPoint{static_cast<int>(ownerCorner.x) - PxX(design.left) - PxX(design.clientWidth),
                   static_cast<int>(ownerCorner.y) + PxY(design.top)},
        extents);
  } else if (design.startPosition == StartPosition::Manual) {
    // The design places the client area's top-left corner.
    corner = OuterCornerForClient(PixelPoint{PxX(design.left), PxY(design.top)}, extents);
  }
  const int x = corner.x;
  const int y = corner.y;
  HWND window = ::CreateWindowExW(exStyle, backend.FormClass(design.name),
                                  ToWide(design.caption).c_str(), style, x, y, outerWidth,
                                  outerHeight, owner, nullptr, backend.Instance(), this);
  if (window == nullptr) {
    throw Failure("cannot create the window " + design.name);
  }
  hwnd_.reset(window);
  backend_.Enlist(window, this);
  surfaces_[std::string()] = window;

  for (const ControlDesign& c : design.controls) {
    HWND parent = ContainerHandle(c.container);
    std::unique_ptr<Item> item;
    switch (c.kind) {
      case ControlKind::Label:
        item = std::make_unique<Win32Label>(*this, c);
        break;
      case ControlKind::Line:
        item = std::make_unique<Win32Line>(*this, c);
        break;
      case ControlKind::Image:
        item = std::make_unique<Win32Image>(*this, c);
        break;
      case ControlKind::Frame:
      case ControlKind::PictureBox: {
        auto surface = std::make_unique<Win32Surface>(*this, c, parent);
        surfaces_[c.name] = surface->Handle();
        item = std::move(surface);
        break;
      }
      case ControlKind::CommandButton:
        item = std::make_unique<Win32Button>(*this, c, parent);
        break;
      case ControlKind::ComboBox:
        item = std::make_unique<Win32ComboBox>(*this, c, parent);
        break;
      case ControlKind::Toolbar:
        item = std::make_unique<Win32Toolbar>(*this, c, parent);
        break;
      case ControlKind::WebBrowser:
        item = MakeWebBrowser(*this, c, parent);
        break;
      case ControlKind::TextBox:
        item = std::make_unique<Win32TextBox>(*this, c, parent);
        break;
      case ControlKind::CheckBox:
      case ControlKind::OptionButton:
        item = std::make_unique<Win32CheckBox>(*this, c, parent);
        break;
      case ControlKind::Timer:
        timers_[c.name] = std::make_unique<Win32Timer>(window, NextTimerId(), c);
        break;
      case ControlKind::ImageList:
        break;  // realised by the toolbar that uses it
    }
    if (item) {
      if (item->Handle() != nullptr) {
        Attach(item->Handle(), item.get());
        if (auto* combo = dynamic_cast<Win32ComboBox*>(item.get()); combo && combo->Edit()) {
          Attach(combo->Edit(), item.get());
        }
      }
      byName_[{c.name, c.index}] = item.get();
      items_.push_back(std::move(item));
    }
  }

  // The tab order follows the tab indexes: order the child windows by them.
  std::vector<Item*> ordered;
  for (const auto& item : items_) {
    if (item->Handle() != nullptr && item->Design().tabIndex >= 0) {
      ordered.push_back(item.get());
    }
  }
  std::stable_sort(ordered.begin(), ordered.end(), [](const Item* a, const Item* b) {
    return a->Design().tabIndex < b->Design().tabIndex;
  });
  HWND after = HWND_TOP;
  for (Item* item : ordered) {
    ::SetWindowPos(item->Handle(), after, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
    after = item->Handle();
  }
  Layout();
}

Win32Window::~Win32Window() {
  for (auto& item : items_) {
    item->Detach();
  }
  timers_.clear();
  backend_.Delist(hwnd_.get());
  ::SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, 0);
  for (const auto& [name, surface] : surfaces_) {
    if (surface != hwnd_.get()) {
      ::SetWindowLongPtrW(surface, GWLP_USERDATA, 0);
    }
  }
  hwnd_.reset();  // takes the child windows with it
  items_.clear();
}

HWND Win32Window::ContainerHandle(const std::string& name) const {
  auto it = surfaces_.find(name);
  return it != surfaces_.end() ? it->second : hwnd_.get();
}

void Win32Window::Invalidate(const std::string& container, const RECT& area) const {
  ::InvalidateRect(ContainerHandle(container), &area, TRUE);
}

HFONT Win32Window::FontFor(const ControlDesign& design) {
  if (!design.font) {
    return backend_.DefaultFont();
  }
  // One font per control that sets one; they go with the window.
  ScreenDc dc;
  const int dpi = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
  const int height = -static_cast<int>(std::lround(design.font->points * static_cast<float>(dpi) / 72.0F));
  const std::wstring face = ToWide(design.font->face);
  for (const GdiObject& font : fonts_) {
    LOGFONTW existing{};
    ::GetObjectW(font.get(), sizeof existing, &existing);
    if (existing.lfHeight == height && (existing.lfWeight >= FW_BOLD) == design.font->bold &&
        (existing.lfItalic != 0) == design.font->italic && face == existing.lfFaceName) {
      return static_cast<HFONT>(font.get());
    }
  }
  GdiObject font(::CreateFontW(height, 0, 0, 0, design.font->bold ? FW_BOLD : FW_NORMAL,
                               design.font->italic ? TRUE : FALSE, FALSE, FALSE, ANSI_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, face.c_str()));
  if (!font) {
    return backend_.DefaultFont();
  }
  fonts_.push_back(std::move(font));
  return static_cast<HFONT>(fonts_.back().get());
}

void Win32Window::Show() {
  if (visible_) {
    return;
  }
  visible_ = true;
  showing_ = true;
  ::ShowWindow(hwnd_.get(), SW_SHOWNORMAL);
  showing_ = false;
  ::SetForegroundWindow(hwnd_.get());
  // The focus goes to the first control in the tab order that can take it.
  const ControlDesign* first =
      FirstFocus(design_, [this](const ControlDesign& c) { return CanFocus(c); });
  if (first != nullptr) {
    FocusControl(*first);
  } else {
    ::SetFocus(hwnd_.get());
  }
  Layout();
  if (!shown_) {  // Resize comes with the first show only
    shown_ = true;
    Event resize{.type = EventType::Resize};
    Raise(resize);
  }
}

void Win32Window::Hide() {
  if (!visible_) {
    return;
  }
  visible_ = false;
  ::ShowWindow(hwnd_.get(), SW_HIDE);
}

float Win32Window::ScaleWidth() const {
  RECT client{};
  ::GetClientRect(hwnd_.get(), &client);
  return TwX(client.right - client.left);
}

float Win32Window::ScaleHeight() const {
  RECT client{};
  ::GetClientRect(hwnd_.get(), &client);
  return TwY(client.bottom - client.top);
}

Rect Win32Window::ScreenArea() const {
  RECT frame{};
  if (::GetWindowRect(hwnd_.get(), &frame) == FALSE) {
    throw Failure("the window is gone");
  }
  return Rect{TwX(frame.left), TwY(frame.top), TwX(frame.right - frame.left),
              TwY(frame.bottom - frame.top)};
}

void Win32Window::MoveTo(float left, float top) {
  ::SetWindowPos(hwnd_.get(), nullptr, PxX(left), PxY(top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Win32Window::WorkArea() const {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd_.get(), MONITOR_DEFAULTTONEAREST), &monitor) ==
      FALSE) {
    throw Failure("no monitor");
  }
  const RECT& work = monitor.rcWork;
  return Rect{TwX(work.left), TwY(work.top), TwX(work.right - work.left),
              TwY(work.bottom - work.top)};
}

template <class T>
T& Win32Window::Typed(const std::string& name, std::int16_t index) {
  return TypedControl<T>(byName_, design_.name, name, index);
}

Control& Win32Window::GetControl(const std::string& name, std::int16_t index) {
  return Typed<Control>(name, index);
}
Label& Win32Window::GetLabel(const std::string& name, std::int16_t index) {
  return Typed<Label>(name, index);
}
ComboBox& Win32Window::GetComboBox(const std::string& name) { return Typed<ComboBox>(name, -1); }
Toolbar& Win32Window::GetToolbar(const std::string& name) { return Typed<Toolbar>(name, -1); }
WebBrowser& Win32Window::GetWebBrowser(const std::string& name) {
  return Typed<WebBrowser>(name, -1);
}
TextBox& Win32Window::GetTextBox(const std::string& name) {
  return Typed<TextBox>(name, -1);
}
CheckBox& Win32Window::GetCheckBox(const std::string& name) {
  return Typed<CheckBox>(name, -1);
}
Timer& Win32Window::GetTimer(const std::string& name) {
  return NamedTimer(timers_, design_.name, name);
}

HWND Win32Window::HandleOf(const std::string& name, std::int16_t index) const {
  auto it = byName_.find({name, index});
  return it != byName_.end() ? it->second->Handle() : nullptr;
}

bool Win32Window::CanFocus(const ControlDesign& control) const {
  auto it = byName_.find({control.name, control.index});
  if (it == byName_.end() || it->second->FocusHandle() == nullptr) {
    return false;
  }
  HWND handle = it->second->Handle();
  return ::IsWindowVisible(handle) != FALSE && ::IsWindowEnabled(handle) != FALSE;
}

void Win32Window::FocusControl(const ControlDesign& control) {
  if (auto it = byName_.find({control.name, control.index}); it != byName_.end()) {
    if (HWND focus = it->second->FocusHandle()) {
      ::SetFocus(focus);
    }
  }
}

void Win32Window::PressControl(const ControlDesign& control) {
  if (auto it = byName_.find({control.name, control.index}); it != byName_.end()) {
    if (auto* box = dynamic_cast<Win32CheckBox*>(it->second)) {
      box->Press();
    }
  }
}

Item* Win32Window::ItemOf(HWND child) const {
  for (HWND h = child; h != nullptr && h != hwnd_.get(); h = ::GetParent(h)) {
    auto it = byHandle_.find(h);
    if (it != byHandle_.end()) {
      return it->second;
    }
  }
  return nullptr;
}

Item* Win32Window::FocusedItem() const { return ItemOf(::GetFocus()); }

bool Win32Window::OfferKey(MSG& message) {
  Item* item = ItemOf(message.hwnd);
  return item != nullptr && item->TranslateKey(message);
}

// Docked controls span the client area's width.
void Win32Window::Layout() {
  RECT client{};
  ::GetClientRect(hwnd_.get(), &client);
  for (const auto& item : items_) {
    if (item->Design().dock != Dock::Top) {
      continue;
    }
    if (auto* toolbar = dynamic_cast<Win32Toolbar*>(item.get())) {
      toolbar->Dock();
    } else {
      Rect area = item->Area();
      area.width = TwX(client.right - client.left);
      item->SetArea(area);
      item->Place();
    }
  }
}

void Win32Window::PaintSurface(HWND surface, const std::string& name) {
  PAINTSTRUCT ps{};
  HDC dc = ::BeginPaint(surface, &ps);
  if (surface == hwnd_.get()) {
    ::FillRect(dc, &ps.rcPaint, ::GetSysColorBrush(COLOR_BTNFACE));
  } else if (auto* s = dynamic_cast<Win32Surface*>(ItemOf(surface))) {
    s->PaintBackground(dc);
  }
  // Controls built later lie on top.
  for (const auto& item : items_) {
    if (item->Lightweight() && item->Design().container == name) {
      item->Paint(dc);
    }
  }
  // A picture box with the focus shows it: a dotted rectangle inside its edge.
  if (surface != hwnd_.get() && ::GetFocus() == surface) {
    RECT client{};
    ::GetClientRect(surface, &client);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::DrawFocusRect(dc, &client);
  }
  ::EndPaint(surface, &ps);
}

AccessibleFacts Win32Window::FactsOf(HWND window) const {
  AccessibleFacts facts;
  std::string container;
  if (window != hwnd_.get()) {
    for (const auto& [name, surface] : surfaces_) {
      if (surface == window) {
        container = name;
      }
    }
    DrawnPart self;
    if (const Item* item = ItemOf(window); item != nullptr && item->Describe(self)) {
      facts.name = self.name;
      facts.role = self.role;
    }
  }
  // In drawing order, as PaintSurface draws them.
  for (const auto& item : items_) {
    DrawnPart part;
    if (item->Lightweight() && item->Design().container == container && item->Describe(part)) {
      facts.parts.push_back(std::move(part));
    }
  }
  return facts;
}

}  // namespace corvane::win32
