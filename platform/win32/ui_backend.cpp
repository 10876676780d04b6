#include "platform/win32/backend.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/keys.h"
#include "platform/list_entries.h"
#include "platform/placed.h"
#include "platform/window_rules.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_accessible.h"
#include "platform/win32/ui_pictures.h"
#include "platform/win32/web_view.h"
#include "resources/win32/resource_ids.h"

namespace corvane::winui {

namespace {

constexpr UINT kRunPosted = WM_APP + 1;
constexpr UINT kHandleKey = WM_APP + 2;
constexpr wchar_t kInternalClass[] = L"CorvaneOmbrel.Internal";
constexpr wchar_t kSurfaceClass[] = L"CorvaneOmbrel.Surface";
constexpr wchar_t kWebHostClass[] = L"CorvaneOmbrel.WebHost";
constexpr int kFirstControlId = 100;
constexpr int kFirstToolbarCommand = 1000;
constexpr int kComboListPixels = 200;  // height of a combo box's drop-down list

COLORREF ToColorRef(const Color& c) { return RGB(c.red, c.green, c.blue); }

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

LRESULT CALLBACK InternalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SurfaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace

// ---- the realised window and its controls ------------------------------------

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

  Control& GetControl(const std::string& name, std::int16_t index) override;
  Label& GetLabel(const std::string& name, std::int16_t index) override;
  ComboBox& GetComboBox(const std::string& name) override;
  Timer& GetTimer(const std::string& name) override;
  Toolbar& GetToolbar(const std::string& name) override;
  WebBrowser& GetWebBrowser(const std::string& name) override;

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
  void PaintSurface(HWND surface, const std::string& name);
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

namespace {

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
  void Paint(HDC dc) override {
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
  // The pixels the caption takes as Paint draws it.
  [[nodiscard]] SIZE TextSize() const {
    ScreenDc dc;
    const Selected font(dc.get(), form_.FontFor(design_));
    std::wstring wide = ToWide(caption_);
    const RECT area = PixelRect();
    RECT r{0, 0, area.right - area.left, 0};
    ::DrawTextW(dc.get(), wide.data(), static_cast<int>(wide.size()), &r, Flags() | DT_CALCRECT);
    return SIZE{r.right - r.left, r.bottom - r.top};
  }
  [[nodiscard]] SIZE OwnSize() const {
    const RECT area = PixelRect();
    return SIZE{area.right - area.left, area.bottom - area.top};
  }

 private:
  [[nodiscard]] UINT Flags() const {
    UINT flags = design_.wordWrap ? DT_WORDBREAK : DT_SINGLELINE;
    if (design_.alignment == Alignment::Right) {
      flags |= DT_RIGHT;
    } else if (design_.alignment == Alignment::Center) {
      flags |= DT_CENTER;
    }
    return flags;
  }
  // A label that sizes itself takes the size of its text.
  void Fit() {
    if (!design_.autoSize) {
      return;
    }
    ScreenDc dc;
    const Selected font(dc.get(), form_.FontFor(design_));
    std::wstring wide = ToWide(caption_.empty() ? std::string(" ") : caption_);
    RECT r{0, 0, 0, 0};
    ::DrawTextW(dc.get(), wide.data(), static_cast<int>(wide.size()), &r,
                DT_CALCRECT | DT_SINGLELINE);
    SetArea(Rect{Left(), Top(), caption_.empty() ? 0 : form_.TwX(r.right - r.left),
                 form_.TwY(r.bottom - r.top)});
  }
  std::string caption_;
};

class Win32Line final : public Placed<Control> {
 public:
  using Placed::Placed;
  void Paint(HDC dc) override {
    const COLORREF colour = design_.borderColor ? ToColorRef(*design_.borderColor)
                                                : ::GetSysColor(COLOR_WINDOWTEXT);
    const GdiObject pen(::CreatePen(design_.insideSolid ? PS_INSIDEFRAME : PS_SOLID,
                                    std::max(design_.borderWidth, 1), colour));
    const Selected selected(dc, pen.get());
    // A line's width and height hold its second end.
    ::MoveToEx(dc, form_.PxX(Left()), form_.PxY(Top()), nullptr);
    ::LineTo(dc, form_.PxX(Width()), form_.PxY(Height()));
  }
};

class Win32Image final : public Placed<Control> {
 public:
  Win32Image(Win32Window& form, const ControlDesign& design)
      : Placed(form, design), icon_(LoadIconPicture(design.picture, 32, 32)) {}
  void Paint(HDC dc) override {
    if (icon_) {
      const RECT r = PixelRect();
      ::DrawIconEx(dc, r.left, r.top, icon_.get(), r.right - r.left, r.bottom - r.top, 0,
                   nullptr, DI_NORMAL);
    }
  }

 private:
  IconHandle icon_;
};

// ---- containers ------------------------------------------------------------------

// A frame or picture box: a child window that paints its border or picture
// and the lightweight controls inside it.
class Win32Surface final : public Placed<Control> {
 public:
  Win32Surface(Win32Window& form, const ControlDesign& design, HWND parent)
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
    if (icon_) {
      annotation_.Annotate(handle_, design.description, true);
    }
  }
  void Detach() override { annotation_.Clear(); }
  void PaintBackground(HDC dc) const {
    RECT client{};
    ::GetClientRect(handle_, &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    if (design_.kind == ControlKind::Frame && design_.border) {
      ::DrawEdge(dc, &client, EDGE_ETCHED, BF_RECT);
    }
    if (icon_) {
      ::DrawIconEx(dc, 0, 0, icon_.get(), 0, 0, 0, nullptr, DI_NORMAL);
    }
  }

 private:
  IconHandle icon_;
  AccessibleAnnotation annotation_;
};

// ---- windowed controls -----------------------------------------------------------

class Win32Button final : public Placed<CommandButton> {
 public:
  Win32Button(Win32Window& form, const ControlDesign& design, HWND parent)
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
  [[nodiscard]] std::string Caption() const override { return design_.caption; }
};

class Win32ComboBox final : public Placed<ComboBox> {
 public:
  Win32ComboBox(Win32Window& form, const ControlDesign& design, HWND parent)
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
    annotation_.Annotate(handle_, label);
    annotation_.Annotate(edit_, label);
  }
  void Detach() override { annotation_.Clear(); }
  [[nodiscard]] HWND FocusHandle() const override { return edit_ != nullptr ? edit_ : handle_; }
  [[nodiscard]] HWND Edit() const { return edit_; }

  // The window holds the drop-down list below the box.
  void Moved() override {
    const RECT r = PixelRect();
    ::MoveWindow(handle_, r.left, r.top, r.right - r.left, r.bottom - r.top + kComboListPixels,
                 TRUE);
  }

  [[nodiscard]] std::string Text() const override { return ToUtf8(WindowText(handle_)); }
  // Text set leaves no entry selected.
  void SetText(const std::string& text) override {
    ::SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ::SetWindowTextW(handle_, ToWide(ValidUtf8(text)).c_str());
  }
  [[nodiscard]] std::int16_t ListCount() const override { return items_.Count(); }
  [[nodiscard]] const std::string& List(std::int16_t index) const override {
    return items_.At(index);
  }
  void AddItem(const std::string& text, std::int16_t index) override {
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
  void RemoveItem(std::int16_t index) override {
    items_.CheckIndex(index);
    if (::SendMessageW(handle_, CB_DELETESTRING, static_cast<WPARAM>(index), 0) == CB_ERR) {
      throw Failure("invalid list index");
    }
    items_.Erase(index);
  }
  [[nodiscard]] std::int16_t ListIndex() const override {
    return static_cast<std::int16_t>(::SendMessageW(handle_, CB_GETCURSEL, 0, 0));
  }
  void SetListIndex(std::int16_t index) override {
    if (index < -1 || index >= ListCount()) {
      throw Failure("invalid list index");
    }
    // Selecting shows the entry as the box's text; a change made by the
    // program raises Click just like a pick by the user.
    ::SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Event click{.type = EventType::Click, .control = design_.name};
    form_.Raise(click);
  }
  void SetFocus() override { ::SetFocus(FocusHandle()); }
  void SelectAll() override { ::SendMessageW(handle_, CB_SETEDITSEL, 0, MAKELPARAM(0, -1)); }
  // A pick from the drop-down list: the picked entry becomes the text first.
  void Picked() {
    const std::int16_t index = ListIndex();
    if (index >= 0) {
      ::SetWindowTextW(handle_, ToWide(List(index)).c_str());
    }
    Event click{.type = EventType::Click, .control = design_.name};
    form_.Raise(click);
  }

 private:
  HWND edit_ = nullptr;
  AccessibleAnnotation annotation_;
  ListEntries items_;  // as the control holds them; only this class changes the list
};

class Win32ToolbarButton final : public ToolbarButton {
 public:
  explicit Win32ToolbarButton(std::string key) : key_(std::move(key)) {}
  [[nodiscard]] std::string Key() const override { return key_; }

 private:
  std::string key_;
};

GdiObject Blank(int w, int h, COLORREF colour) {
  ScreenDc screen;
  GdiObject bitmap(::CreateCompatibleBitmap(screen.get(), w, h));
  const MemoryDc dc(screen.get());
  if (dc.get() != nullptr && bitmap) {
    const Selected selected(dc.get(), bitmap.get());
    const GdiObject brush(::CreateSolidBrush(colour));
    RECT all{0, 0, w, h};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(brush.get()));
  }
  return bitmap;
}

class Win32Toolbar final : public Placed<Toolbar> {
 public:
  Win32Toolbar(Win32Window& form, const ControlDesign& design, HWND parent)
      : Placed(form, design) {
    DWORD style = WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER;
    style |= design.dock == Dock::Top ? static_cast<DWORD>(CCS_TOP)
                                      : static_cast<DWORD>(CCS_NORESIZE | CCS_NOPARENTALIGN);
    const RECT r = PixelRect();
    handle_ = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", style, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.NextId())),
                                form.Backend().Instance(), nullptr);
    if (handle_ == nullptr) {
      throw Failure("cannot create " + design.name);
    }
    ::SendMessageW(handle_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    if (const ControlDesign* list = form.Design().Find(design.imageList)) {
      MakeImageList(*list);
    }
    std::vector<TBBUTTON> buttons;
    for (std::size_t i = 0; i < design.buttons.size(); ++i) {
      TBBUTTON b{};
      b.iBitmap = design.buttons[i].image - 1;
      b.idCommand = kFirstToolbarCommand + static_cast<int>(i);
      b.fsState = TBSTATE_ENABLED;
      b.fsStyle = BTNS_BUTTON;
      b.iString = -1;
      buttons.push_back(b);
    }
    ::SendMessageW(handle_, TB_ADDBUTTONSW, buttons.size(),
                   reinterpret_cast<LPARAM>(buttons.data()));
    NameToolbarButtons(handle_, design, kFirstToolbarCommand);
    if (design.buttonWidth > 0 && design.buttonHeight > 0) {
      ::SendMessageW(handle_, TB_SETBUTTONSIZE, 0,
                     MAKELPARAM(design.buttonWidth, design.buttonHeight));
    }
    ::SendMessageW(handle_, TB_AUTOSIZE, 0, 0);
  }
  void Refresh() override { ::InvalidateRect(handle_, nullptr, TRUE); }
  void Dock() { ::SendMessageW(handle_, TB_AUTOSIZE, 0, 0); }

  // The button with command `id`, or nullptr.
  [[nodiscard]] const ToolbarButtonDesign* ButtonOf(int id) const {
    const int at = id - kFirstToolbarCommand;
    if (at < 0 || static_cast<std::size_t>(at) >= design_.buttons.size()) {
      return nullptr;
    }
    return &design_.buttons[static_cast<std::size_t>(at)];
  }

 private:
  void MakeImageList(const ControlDesign& list) {
    const int w = list.imageWidth > 0 ? list.imageWidth : 24;
    const int h = list.imageHeight > 0 ? list.imageHeight : 24;
    images_.reset(::ImageList_Create(w, h, ILC_COLOR24 | ILC_MASK,
                                     static_cast<int>(list.images.size()), 0));
    if (!images_) {
      return;
    }
    const COLORREF mask = list.maskColor ? ToColorRef(*list.maskColor) : CLR_NONE;
    for (const ImageDesign& image : list.images) {
      GdiObject bitmap = LoadBitmapPicture(image.resource, w, h);
      if (!bitmap) {
        // A missing picture keeps its place, so the others stay on their
        // buttons; it shows as the mask colour, which is drawn transparent.
        bitmap = Blank(w, h, list.maskColor ? ToColorRef(*list.maskColor) : RGB(192, 192, 192));
      }
      ::ImageList_AddMasked(images_.get(), static_cast<HBITMAP>(bitmap.get()), mask);
    }
    ::SendMessageW(handle_, TB_SETBITMAPSIZE, 0, MAKELPARAM(w, h));
    ::SendMessageW(handle_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
  }
  ImageListHandle images_;
};

class Win32WebBrowser final : public Placed<WebBrowser> {
 public:
  Win32WebBrowser(Win32Window& form, const ControlDesign& design, HWND parent)
      : Placed(form, design) {
    const RECT r = PixelRect();
    handle_ = ::CreateWindowExW(0, kWebHostClass, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN, r.left,
                                r.top, r.right - r.left, r.bottom - r.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.NextId())),
                                form.Backend().Instance(), nullptr);
    if (handle_ == nullptr) {
      throw Failure("cannot create " + design.name);
    }
    Win32Window* owner = &form;
    host_ = std::make_unique<WebHost>(handle_, design.name,
                                      [owner](Event& event) { owner->Raise(event); });
  }
  void Detach() override { host_.reset(); }
  bool TranslateKey(MSG& message) override { return host_ && host_->TranslateKey(message); }
  void Moved() override {
    Place();
    // The size goes through the hosting container.
    if (host_) {
      host_->Fit();
    }
  }
  void Navigate(const std::string& address) override { Automation().Navigate(address); }
  void GoBack() override { Automation().GoBack(); }
  void GoForward() override { Automation().GoForward(); }
  void GoHome() override { Automation().GoHome(); }
  void GoSearch() override { Automation().GoSearch(); }
  void Refresh() override { Automation().Refresh(); }
  void Stop() override { Automation().Stop(); }
  [[nodiscard]] std::string LocationName() const override { return Automation().LocationName(); }
  [[nodiscard]] const std::string& LocationURL() const override {
    url_ = Automation().LocationURL();
    return url_;
  }
  [[nodiscard]] bool Busy() const override { return Automation().Busy(); }
  [[nodiscard]] float Zoom() const override { return Automation().Zoom(); }
  void SetZoom(float factor) override { Automation().SetZoom(factor); }

 private:
  [[nodiscard]] BrowserAutomation Automation() const {
    if (!host_) {
      throw Failure("the web view is gone");
    }
    return host_->Automation();
  }
  std::unique_ptr<WebHost> host_;
  mutable std::string url_;  // the address last read
};

}  // namespace

class Win32Timer final : public Timer {
 public:
  Win32Timer(HWND window, int id, const ControlDesign& design)
      : window_(window), id_(id), interval_(design.interval) {
    SetEnabled(design.enabled);
  }
  ~Win32Timer() override {
    if (enabled_) {
      ::KillTimer(window_, static_cast<UINT_PTR>(id_));
    }
  }
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;
  [[nodiscard]] bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override {
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
  [[nodiscard]] int Interval() const override { return interval_; }
  [[nodiscard]] int Id() const { return id_; }

 private:
  HWND window_;
  int id_;
  int interval_;
  bool enabled_ = false;
};

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
  if (!design.showInTaskbar) {
    owner = backend.HiddenOwner();  // an owned window has no taskbar button
  } else {
    exStyle |= WS_EX_APPWINDOW;
  }
  RECT frame{0, 0, PxX(design.clientWidth), PxY(design.clientHeight)};
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int outerWidth = frame.right - frame.left;
  const int outerHeight = frame.bottom - frame.top;
  int x = CW_USEDEFAULT;
  int y = CW_USEDEFAULT;
  if (design.startPosition == StartPosition::CenterScreen) {
    x = (::GetSystemMetrics(SM_CXSCREEN) - outerWidth) / 2;
    y = (::GetSystemMetrics(SM_CYSCREEN) - outerHeight) / 2;
  } else if (design.startPosition == StartPosition::Manual) {
    // The design places the client area's top-left corner.
    x = PxX(design.left) + frame.left;
    y = PxY(design.top) + frame.top;
  }
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
        item = std::make_unique<Win32WebBrowser>(*this, c, parent);
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
  ::EndPaint(surface, &ps);
}

// A click on the window or a container goes to the control under it, as the
// design's hit rule finds it; lines take no clicks.
void Win32Window::ClickAt(HWND surface, LPARAM lParam) {
  POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ::MapWindowPoints(surface, hwnd_.get(), &p, 1);
  const ControlDesign* hit = HitTest(design_, TwX(p.x), TwY(p.y));
  if (hit != nullptr && TakesOwnClicks(hit->kind)) {
    return;  // the control's own window has the click
  }
  Event click{.type = EventType::Click,
              .control = hit != nullptr ? hit->name : std::string(),
              .index = hit != nullptr ? hit->index : std::int16_t{-1}};
  Raise(click);
}

void Win32Window::OnCommand(HWND child, int code, int id) {
  Item* item = ItemOf(child);
  if (item == nullptr) {
    // Enter and Esc from the dialog manager.
    const ControlDesign* button = id == IDOK       ? DefaultButton(design_)
                                  : id == IDCANCEL ? CancelButton(design_)
                                                   : nullptr;
    if (button != nullptr) {
      Event click{.type = EventType::Click, .control = button->name, .index = button->index};
      Raise(click);
    }
    return;
  }
  if (auto* toolbar = dynamic_cast<Win32Toolbar*>(item)) {
    if (const ToolbarButtonDesign* b = toolbar->ButtonOf(id)) {
      const Win32ToolbarButton button(b->key);
      Event click{.type = EventType::ButtonClick, .control = item->Design().name,
                  .button = &button};
      Raise(click);
    }
  } else if (auto* combo = dynamic_cast<Win32ComboBox*>(item)) {
    if (code == CBN_SELCHANGE) {
      combo->Picked();
    }
  } else if (item->Design().kind == ControlKind::CommandButton && code == BN_CLICKED) {
    Event click{.type = EventType::Click, .control = item->Design().name,
                .index = item->Design().index};
    Raise(click);
  }
}

LRESULT Win32Window::OnNotify(NMHDR& header) {
  if (header.code == TBN_GETINFOTIPW) {
    auto& tip = reinterpret_cast<NMTBGETINFOTIPW&>(header);
    if (auto* toolbar = dynamic_cast<Win32Toolbar*>(ItemOf(header.hwndFrom))) {
      if (const ToolbarButtonDesign* b = toolbar->ButtonOf(tip.iItem)) {
        const std::wstring text = ToWide(b->toolTip);
        if (tip.pszText != nullptr && tip.cchTextMax > 0) {
          const auto n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
          std::copy_n(text.data(), n, tip.pszText);
          tip.pszText[n] = L'\0';
        }
      }
    }
  }
  return 0;
}

// A character typed in this window: the window sees it first when it has
// key preview; Enter and Esc press the default and cancel buttons; the
// combo box sees the rest. Answers true when the key goes no further.
bool Win32Window::OnChar(MSG& message) {
  auto key = static_cast<std::int16_t>(message.wParam);
  if (RouteCharacter(Routing(), key) == CharacterRoute::Taken) {
    return true;
  }
  message.wParam = static_cast<WPARAM>(static_cast<std::uint16_t>(key));
  return false;
}

// Alt + letter: a button is pressed, a label hands the focus on.
bool Win32Window::OnAccessKey(wchar_t letter) {
  if (letter > 0x7F) {
    return false;
  }
  return RouteAccessKey(Routing(), static_cast<char>(letter));
}

bool Win32Window::OnTab(bool forward) {
  Item* focused = FocusedItem();
  if (const ControlDesign* next =
          NextFocus(design_, focused != nullptr ? &focused->Design() : nullptr, forward,
                    [this](const ControlDesign& c) { return CanFocus(c); })) {
    FocusControl(*next);
  }
  return true;
}

KeyRouting Win32Window::Routing() {
  return KeyRouting{
      .design = design_,
      .raise = [this](Event& event) { Raise(event); },
      .alive = [this] { return visible_ && backend_.FormOf(hwnd_.get()) == this; },
      .focused = [this]() -> const ControlDesign* {
        Item* item = FocusedItem();
        return item != nullptr ? &item->Design() : nullptr;
      },
      .focus = [this](const ControlDesign& control) { FocusControl(control); },
  };
}

LRESULT Win32Window::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool isForm = window == hwnd_.get();
  switch (message) {
    case WM_PAINT: {
      std::string name;
      for (const auto& [container, surface] : surfaces_) {
        if (surface == window) {
          name = container;
        }
      }
      PaintSurface(window, name);
      return 0;
    }
    case WM_ERASEBKGND: {
      // Transparent controls (the flat toolbar) have their background drawn here.
      RECT client{};
      ::GetClientRect(window, &client);
      ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_LBUTTONDOWN:
      ClickAt(window, lParam);
      return 0;
    case WM_COMMAND:
      OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam), LOWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
    case DM_GETDEFID:
      if (const ControlDesign* button = DefaultButton(design_)) {
        if (HWND handle = HandleOf(button->name, button->index)) {
          return MAKELRESULT(::GetDlgCtrlID(handle), DC_HASDEFID);
        }
      }
      return 0;
    default:
      break;
  }
  if (isForm) {
    switch (message) {
      case WM_SIZE:
        Layout();
        if (visible_ && !showing_) {
          Event resize{.type = EventType::Resize};
          Raise(resize);
        }
        return 0;
      case WM_TIMER:
        for (const auto& [name, timer] : timers_) {
          if (timer->Id() == static_cast<int>(wParam) && timer->Enabled()) {
            Event tick{.type = EventType::Timer, .control = name};
            Raise(tick);
            break;
          }
        }
        return 0;
      case WM_CLOSE: {
        // Closing unloads the window through the program; it is destroyed later.
        Event close{.type = EventType::Close};
        Raise(close);
        return 0;
      }
      case WM_ACTIVATE:
        // Leaving the window: remember which control had the keyboard.
        if (LOWORD(wParam) == WA_INACTIVE) {
          HWND focus = ::GetFocus();
          if (focus != nullptr && ::IsChild(hwnd_.get(), focus) != FALSE) {
            lastFocus_ = focus;
          }
        }
        break;  // activation itself as usual: it gives the window the focus
      case WM_SETFOCUS:
        // Coming back: that control gets the keyboard again.
        if (lastFocus_ != nullptr && ::IsWindow(lastFocus_) != FALSE &&
            ::IsChild(hwnd_.get(), lastFocus_) != FALSE &&
            ::IsWindowVisible(lastFocus_) != FALSE && ::IsWindowEnabled(lastFocus_) != FALSE) {
          ::SetFocus(lastFocus_);
        }
        return 0;
      default:
        break;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// ---- window procedures ---------------------------------------------------------

namespace {

Win32Window* Attached(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    Win32Window* form = Attached(window, message, lParam);
    // Until the window object has its handle, the window is still being made.
    if (form != nullptr && form->Hwnd() == window) {
      return form->Handle(window, message, wParam, lParam);
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): no failure crosses the window procedure
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK SurfaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    Win32Window* form = Attached(window, message, lParam);
    if (form != nullptr && form->Hwnd() != nullptr && message != WM_NCCREATE &&
        message != WM_CREATE && message != WM_NCCALCSIZE) {
      return form->Handle(window, message, wParam, lParam);
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): no failure crosses the window procedure
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK WebHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT client{};
    ::GetClientRect(window, &client);
    ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_WINDOW));
    return 1;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK InternalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunPosted || message == kHandleKey) {
    try {
      if (auto* backend =
              reinterpret_cast<Win32Backend*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
        if (message == kRunPosted) {
          backend->RunPosted();
        } else {
          backend->HandleKey();
        }
      }
    } catch (...) {  // NOLINT(bugprone-empty-catch): no failure crosses the window procedure
    }
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = name;
  ::RegisterClassExW(&wc);
}

}  // namespace

namespace {

thread_local Win32Backend* hooked = nullptr;

// Sees every message the thread takes from its queue, also in message loops
// that are not the program's own (the web view's, a message box's), so keys
// reach the windows the same way everywhere. A key for one of the program's
// windows is taken aside and comes back as a message of its own, handled when
// the loop dispatches it: handlers never run inside the hook.
LRESULT CALLBACK KeyboardHook(int code, WPARAM removal, LPARAM data) {
  if (code == HC_ACTION && removal == PM_REMOVE && hooked != nullptr) {
    auto& message = *reinterpret_cast<MSG*>(data);
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
      try {
        hooked->TakeKey(message);
      } catch (...) {  // NOLINT(bugprone-empty-catch): the key then goes its ordinary way
      }
    }
  }
  return ::CallNextHookEx(nullptr, code, removal, data);
}

}  // namespace

// ---- backend -------------------------------------------------------------------

Win32Backend::Win32Backend(HINSTANCE instance) : instance_(instance) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  {
    ScreenDc dc;
    const int dpiX = ::GetDeviceCaps(dc.get(), LOGPIXELSX);
    const int dpiY = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
    if (dpiX > 0) {
      twipsPerPixelX_ = 1440.0F / static_cast<float>(dpiX);
    }
    if (dpiY > 0) {
      twipsPerPixelY_ = 1440.0F / static_cast<float>(dpiY);
    }
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) != FALSE) {
    defaultFont_.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
  }
  if (!defaultFont_) {
    defaultFont_.reset(::GetStockObject(DEFAULT_GUI_FONT));
  }
  RegisterWindowClass(instance_, kInternalClass, InternalProc, nullptr);
  RegisterWindowClass(instance_, kSurfaceClass, SurfaceProc, nullptr);
  RegisterWindowClass(instance_, kWebHostClass, WebHostProc, nullptr);
  messages_.reset(::CreateWindowExW(0, kInternalClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    instance_, nullptr));
  if (!messages_) {
    throw Failure("cannot create the message window");
  }
  ::SetWindowLongPtrW(messages_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  owner_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kInternalClass, L"", WS_POPUP, 0, 0, 0, 0,
                                 nullptr, nullptr, instance_, nullptr));
  hooked = this;
  hook_.reset(::SetWindowsHookExW(WH_GETMESSAGE, KeyboardHook, nullptr, ::GetCurrentThreadId()));
}

Win32Backend::~Win32Backend() {
  hook_.reset();
  hooked = nullptr;
  ::SetWindowLongPtrW(messages_.get(), GWLP_USERDATA, 0);
}

const wchar_t* Win32Backend::FormClass(const std::string& name) {
  auto it = classes_.find(name);
  if (it == classes_.end()) {
    std::wstring className = L"CorvaneOmbrel." + ToWide(name);
    HICON icon = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM),
                                                 IMAGE_ICON, 0, 0,
                                                 LR_DEFAULTSIZE | LR_SHARED));
    RegisterWindowClass(instance_, className.c_str(), FormProc, icon);
    it = classes_.emplace(name, std::move(className)).first;
  }
  return it->second.c_str();
}

Win32Window* Win32Backend::FormOf(HWND window) const {
  auto it = forms_.find(window);
  return it != forms_.end() ? it->second : nullptr;
}

std::unique_ptr<NativeWindow> Win32Backend::MakeWindow(const WindowDesign& design,
                                                       EventSink& sink) {
  return std::make_unique<Win32Window>(*this, design, sink);
}

namespace {

// The modifiers held with the key of a WM_KEYDOWN or WM_SYSKEYDOWN message,
// as the KeyDown event states them (platform/keys.h).
std::int16_t ShiftState(const MSG& message) {
  std::int16_t shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0) {
    shift |= keys::kShiftMask;
  }
  if (::GetKeyState(VK_CONTROL) < 0) {
    shift |= keys::kCtrlMask;
  }
  // Alt as the message states it; also Alt held with Ctrl, which is how the
  // right Alt key (AltGr) types a layout's third characters: Ctrl alone
  // would make those keys shortcuts.
  if ((HIWORD(message.lParam) & KF_ALTDOWN) != 0 || ::GetKeyState(VK_MENU) < 0) {
    shift |= keys::kAltMask;
  }
  return shift;
}

}  // namespace

bool Win32Backend::PreTranslate(MSG& message) {
  HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
  Win32Window* form = FormOf(root);
  if (form == nullptr) {
    return false;
  }
  if (::IsWindowEnabled(root) == FALSE) {
    return true;  // a modal message is up: the window takes no keys
  }
  if ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) &&
      !RouteKeyDown(form->Routing(), static_cast<std::int16_t>(message.wParam),
                    ShiftState(message))) {
    // The window sees every key going down first, before access keys, Tab,
    // characters and the page's own keys: taken, or the window went.
    return true;
  }
  switch (message.message) {
    case WM_CHAR:
      return form->OnChar(message);
    case WM_SYSCHAR:
      return form->OnAccessKey(static_cast<wchar_t>(message.wParam));
    case WM_KEYDOWN:
      if (form->OfferKey(message)) {
        return true;  // the page's own key
      }
      if (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE) {
        return false;  // they come back as characters
      }
      if (message.wParam == VK_TAB && ::GetKeyState(VK_MENU) >= 0) {
        return form->OnTab(::GetKeyState(VK_SHIFT) >= 0);
      }
      return ::IsDialogMessageW(form->Hwnd(), &message) != FALSE;
    case WM_KEYUP:
      return form->OfferKey(message);
    default:
      return false;
  }
}

void Win32Backend::TakeKey(MSG& message) {
  if (FormOf(::GetAncestor(message.hwnd, GA_ROOT)) == nullptr) {
    return;
  }
  keys_.push_back(message);
  message.hwnd = messages_.get();
  message.message = kHandleKey;
  message.wParam = 0;
  message.lParam = 0;
}

void Win32Backend::HandleKey() {
  if (keys_.empty()) {
    return;
  }
  MSG message = keys_.front();
  keys_.pop_front();
  if (!PreTranslate(message)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void Win32Backend::Run() {
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void Win32Backend::Quit() { ::PostQuitMessage(0); }

void Win32Backend::Post(std::function<void()> task) {
  posted_.push_back(std::move(task));
  ::PostMessageW(messages_.get(), kRunPosted, 0, 0);
}

void Win32Backend::RunPosted() {
  while (!posted_.empty()) {
    std::function<void()> task = std::move(posted_.front());
    posted_.pop_front();
    try {
      task();
    } catch (...) {  // NOLINT(bugprone-empty-catch): a posted task never ends the program
    }
  }
}

HWND TopWindow(NativeWindow& window) { return static_cast<Win32Window&>(window).Hwnd(); }

const WindowDesign& DesignOf(NativeWindow& window) {
  return static_cast<Win32Window&>(window).Design();
}

HWND ControlWindow(NativeWindow& window, const std::string& name, std::int16_t index) {
  return static_cast<Win32Window&>(window).HandleOf(name, index);
}

SIZE LabelTextSize(NativeWindow& window, const std::string& name) {
  return dynamic_cast<Win32Label&>(window.GetLabel(name)).TextSize();
}

SIZE LabelSize(NativeWindow& window, const std::string& name) {
  return dynamic_cast<Win32Label&>(window.GetLabel(name)).OwnSize();
}

}  // namespace corvane::winui
