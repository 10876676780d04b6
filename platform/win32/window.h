// The realised window and what its controls share. Private to the Win32
// backend: the control files, the window procedures and the keyboard
// handling build on it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/kit/placed.h"
#include "platform/kit/window_rules.h"
#include "platform/win32/accessible.h"
#include "platform/win32/backend.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace corvane::win32 {

inline constexpr int kFirstControlId = 100;

inline COLORREF ToColorRef(const Color& c) { return RGB(c.red, c.green, c.blue); }

// The text of a window, as the window system holds it.
std::wstring WindowText(HWND window);

class Win32Window;

// What every realised control shares: its design, its twips rectangle in
// its container, and for windowed controls the child window.
class Item {
 public:
  Item(Win32Window& form, const ControlDesign& design);
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;
  virtual ~Item() = default;

  [[nodiscard]] const ControlDesign& Design() const { return design_; }
  [[nodiscard]] HWND Handle() const { return handle_; }
  // The window that takes the keyboard focus for this control.
  [[nodiscard]] virtual HWND FocusHandle() const { return handle_; }
  // Lightweight controls draw themselves on their container.
  virtual void Paint(HDC /*dc*/) {}
  [[nodiscard]] virtual bool Lightweight() const { return handle_ == nullptr; }
  // Called before the window goes, while every control still exists.
  virtual void Detach() {}
  // A control hosting another's windows may take a key going to them first.
  virtual bool TranslateKey(MSG& /*message*/) { return false; }
  // What assistive technology is told of a control drawn on its container,
  // or of a container's own picture; false: nothing.
  virtual bool Describe(DrawnPart& /*part*/) const { return false; }

  // The control's twips rectangle in its container.
  [[nodiscard]] virtual Rect Area() const = 0;
  // Sets the rectangle without a move (a control that sizes itself).
  virtual void SetArea(const Rect& area) = 0;

  // Applies the rectangle to the child window, or repaints the container.
  void Place();
  [[nodiscard]] RECT PixelRect() const;

 protected:
  Win32Window& form_;
  const ControlDesign& design_;
  HWND handle_ = nullptr;  // owned by the window hierarchy
};

// The shared twips rectangle, shown by the child window or the container.
template <class Interface>
class Placed : public corvane::Placed<Interface>, public Item {
  using Base = corvane::Placed<Interface>;

 public:
  Placed(Win32Window& form, const ControlDesign& design) : Base(design), Item(form, design) {}
  using Item::Design;
  [[nodiscard]] Rect Area() const override {
    return Rect{this->Left(), this->Top(), this->Width(), this->Height()};
  }
  void SetArea(const Rect& area) override { Base::SetArea(area); }

 protected:
  void Moved() override { Place(); }
};

class Win32Window final : public NativeWindow {
 public:
  Win32Window(Win32Backend& backend, const WindowDesign& design, EventSink& sink);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  [[nodiscard]] std::string Caption() const override { return ToUtf8(WindowText(hwnd_.get())); }
  void SetCaption(const std::string& text) override {
    ::SetWindowTextW(hwnd_.get(), ToWide(ValidUtf8(text)).c_str());
  }
  void Show() override;
  void Hide() override;
  [[nodiscard]] bool Visible() const override { return visible_; }
  [[nodiscard]] float ScaleWidth() const override;
  [[nodiscard]] float ScaleHeight() const override;
  [[nodiscard]] Rect ScreenArea() const override;
  void MoveTo(float left, float top) override;
  [[nodiscard]] Rect WorkArea() const override;

  Control& GetControl(const std::string& name, std::int16_t index) override;
  Label& GetLabel(const std::string& name, std::int16_t index) override;
  ComboBox& GetComboBox(const std::string& name) override;
  Timer& GetTimer(const std::string& name) override;
  Toolbar& GetToolbar(const std::string& name) override;
  WebBrowser& GetWebBrowser(const std::string& name) override;
  TextBox& GetTextBox(const std::string& name) override;
  CheckBox& GetCheckBox(const std::string& name) override;

  // Native events.
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Raise(Event& event) { sink_.Raise(event); }
  bool OnChar(MSG& message);
  bool OnAccessKey(wchar_t letter);
  // Tab and Shift+Tab move the focus along the tab order.
  bool OnTab(bool forward);
  [[nodiscard]] KeyRouting Routing();
  // The window system's handle of a control (its outer window), or nullptr.
  [[nodiscard]] HWND HandleOf(const std::string& name, std::int16_t index) const;
  // The control the key goes to takes it first, if it will.
  bool OfferKey(MSG& message);

  [[nodiscard]] Win32Backend& Backend() const { return backend_; }
  [[nodiscard]] const WindowDesign& Design() const { return design_; }
  [[nodiscard]] HWND Hwnd() const { return hwnd_.get(); }
  // The window a control in container `name` lives in.
  [[nodiscard]] HWND ContainerHandle(const std::string& name) const;
  void Invalidate(const std::string& container, const RECT& area) const;
  [[nodiscard]] int PxX(float twips) const {
    return PixelsOf(static_cast<double>(twips), static_cast<double>(backend_.TwipsPerPixelX()));
  }
  [[nodiscard]] int PxY(float twips) const {
    return PixelsOf(static_cast<double>(twips), static_cast<double>(backend_.TwipsPerPixelY()));
  }
  [[nodiscard]] float TwX(int pixels) const {
    return static_cast<float>(pixels) * backend_.TwipsPerPixelX();
  }
  [[nodiscard]] float TwY(int pixels) const {
    return static_cast<float>(pixels) * backend_.TwipsPerPixelY();
  }
  [[nodiscard]] HFONT FontFor(const ControlDesign& design);
  int NextId() { return nextId_++; }
  int NextTimerId() { return nextTimerId_++; }
  void Attach(HWND child, Item* item) { byHandle_[child] = item; }

 private:
  template <class T>
  T& Typed(const std::string& name, std::int16_t index);
  Item* ItemOf(HWND child) const;
  Item* FocusedItem() const;
  [[nodiscard]] bool CanFocus(const ControlDesign& control) const;
  void FocusControl(const ControlDesign& control);
  void PressControl(const ControlDesign& control);
  void PaintSurface(HWND surface, const std::string& name);
  // What assistive technology is told of `window` (this window or a container).
  [[nodiscard]] AccessibleFacts FactsOf(HWND window) const;
  void ClickAt(HWND surface, LPARAM lParam);
  void Layout();
  void OnCommand(HWND child, int code, int id);
  LRESULT OnNotify(NMHDR& header);

  Win32Backend& backend_;
  const WindowDesign& design_;
  EventSink& sink_;
  WindowHandle hwnd_;
  bool visible_ = false;
  bool showing_ = false;
  bool shown_ = false;
  int nextId_ = kFirstControlId;
  int nextTimerId_ = 1;
  std::vector<std::unique_ptr<Item>> items_;            // in build order
  std::map<std::pair<std::string, std::int16_t>, Item*> byName_;
  std::map<HWND, Item*> byHandle_;
  HWND lastFocus_ = nullptr;  // the control that had the keyboard when the window was left
  std::map<std::string, HWND> surfaces_;                // container name -> window
  std::map<std::string, std::unique_ptr<class Win32Timer>> timers_;
  std::vector<GdiObject> fonts_;
};

// Makes the web view control (web_view.cpp).
std::unique_ptr<Item> MakeWebBrowser(Win32Window& form, const ControlDesign& design, HWND parent);

}  // namespace corvane::win32
