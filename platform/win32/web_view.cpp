#include "platform/win32/web_view.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <oleidl.h>

#include <optional>
#include <utility>

#include "platform/typed_address.h"
#include "platform/win32/com_objects.h"
#include "platform/win32/find_in_page.h"
#include "platform/win32/window.h"
#include "platform/win32/window_procs.h"

namespace corvane::win32 {

namespace {

// The container side of in-place hosting: client site, in-place site and
// in-place frame. The control asks it for the window and the rectangles.
class Site final : public IOleClientSite,
                   public IOleInPlaceSite,
                   public IOleInPlaceFrame,
                   public SelfOwned<Site> {
 public:
  explicit Site(HWND window) : window_(window) {}
  virtual ~Site() = default;
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleInPlaceFrame) || IsEqualIID(iid, IID_IOleInPlaceUIWindow)) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container != nullptr) {
      *container = nullptr;
    }
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) {
      return E_POINTER;
    }
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT position, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO info) override {
    if (frame != nullptr) {
      *frame = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
    }
    if (doc != nullptr) {
      *doc = nullptr;
    }
    RECT client{};
    ::GetClientRect(window_, &client);
    if (position != nullptr) {
      *position = client;
    }
    if (clip != nullptr) {
      *clip = client;
    }
    if (info != nullptr) {
      info->fMDIApp = FALSE;
      info->hwndFrame = ::GetAncestor(window_, GA_ROOT);
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow / IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active,
                                            LPCOLESTR /*name*/) override {
    if (active != nullptr) {
      active->AddRef();
    }
    active_ = ComPtr<IOleInPlaceActiveObject>::Adopt(active);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // The control's active object, as it last named it (none before).
  [[nodiscard]] const ComPtr<IOleInPlaceActiveObject>& Active() const { return active_; }

 private:
  HWND window_;
  ComPtr<IOleInPlaceActiveObject> active_;
};

// The site behind a host's client site.
Site& SiteOf(const ComPtr<IOleClientSite>& site) { return *static_cast<Site*>(site.get()); }

}  // namespace

// ---- host ------------------------------------------------------------------

// A hidden control standing for a new window, in a window never shown.
class WebHost::Catcher {
 public:
  explicit Catcher(std::function<void(const std::string&)> openHere)
      : window_(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr)) {
    if (window_) {
      host_ = std::make_unique<WebHost>(window_.get(), MakeCatcherSink(std::move(openHere)));
    }
  }
  [[nodiscard]] ComPtr<IDispatch> Dispatch() const {
    return host_ ? host_->dispatch_ : ComPtr<IDispatch>();
  }

 private:
  WindowHandle window_;              // goes last: the control lives in it
  std::unique_ptr<WebHost> host_;
};

WebHost::WebHost(HWND window, std::string control, std::function<void(Event&)> raise,
                 OwnPages::Later later)
    : window_(window) {
  Create();
  if (dispatch_) {
    if (later) {
      ownPages_ = std::make_shared<OwnPages>(dispatch_, std::move(later));
    }
    Advise(MakeBrowserEventSink(std::move(control), std::move(raise),
                                OpenIn(
                                    dispatch_, [this] { return NewCatcher(); },
                                    [this] {
                                      if (catcherLive_) {
                                        *catcherLive_ = false;
                                      }
                                    }),
                                ownPages_));
  }
}

WebHost::WebHost(HWND window, ComPtr<IDispatch> sink) : window_(window) {
  Create();
  Advise(std::move(sink));
}

void WebHost::Create() {
  site_ = Site::Create<IOleClientSite>(window_);
  ComPtr<IOleObject> object;
  if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(object.Out())))) {
    return;  // no web view on this system: the host stays empty
  }
  const ComPtr<IOleClientSite>& clientSite = site_;
  if (FAILED(object->SetClientSite(clientSite.get()))) {
    return;
  }
  object_ = object;
  RECT client{};
  ::GetClientRect(window_, &client);
  object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite.get(), 0, window_, &client);
  dispatch_ = object_.As<IDispatch>(IID_IDispatch);
}

void WebHost::Advise(ComPtr<IDispatch> sink) {
  if (!object_ || !sink) {
    return;
  }
  auto container = object_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (container &&
      SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, events_.Out())) &&
      events_) {
    if (FAILED(events_->Advise(sink.get(), &cookie_))) {
      events_.reset();
      return;
    }
    sink_ = std::move(sink);
  }
}

NewWindows WebHost::OpenIn(ComPtr<IDispatch> view,
                           std::function<ComPtr<IDispatch>()> makeCatcher,
                           std::function<void()> decided) {
  return NewWindows{
      .openHere = [view](const std::string& address) { BrowserAutomation(view).Navigate(address); },
      .catcher = std::move(makeCatcher),
      .decided = std::move(decided)};
}

ComPtr<IDispatch> WebHost::NewCatcher() {
  catcher_.reset();  // an earlier one that was never navigated
  catcherLive_ = std::make_shared<bool>(true);
  // The view's own Navigate, for as long as this host is there (the
  // catcher goes before the host does) and no request with an address has
  // been decided since.
  catcher_ = std::make_unique<Catcher>([this, live = catcherLive_](const std::string& address) {
    if (*live && dispatch_) {
      BrowserAutomation(dispatch_).Navigate(address);
    }
  });
  ComPtr<IDispatch> dispatch = catcher_->Dispatch();
  if (!dispatch) {
    catcher_.reset();
    return {};
  }
  try {
    // The control takes an object as a new window only when it is one that
    // registers as a browser.
    LateBound(dispatch).PutBool(dispid::kRegisterAsBrowser, true);
  } catch (const Failure&) {  // NOLINT(bugprone-empty-catch): it may do without
  }
  return dispatch;
}

WebHost::~WebHost() {
  catcher_.reset();
  if (events_ && cookie_ != 0) {
    events_->Unadvise(cookie_);
  }
  events_.reset();
  sink_.reset();
  ownPages_.reset();
  dispatch_.reset();
  if (site_) {
    // The control may still be named as the active object: the site lets go.
    SiteOf(site_).SetActiveObject(nullptr, nullptr);
  }
  if (object_) {
    if (auto inPlace = object_.As<IOleInPlaceObject>(IID_IOleInPlaceObject)) {
      inPlace->InPlaceDeactivate();
    }
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  object_.reset();
  site_.reset();
}

void WebHost::Fit() {
  if (!object_) {
    return;
  }
  RECT client{};
  ::GetClientRect(window_, &client);
  if (auto inPlace = object_.As<IOleInPlaceObject>(IID_IOleInPlaceObject)) {
    inPlace->SetObjectRects(&client, &client);
  }
}

bool WebHost::TranslateKey(MSG& message) const {
  const bool forTheControl = message.hwnd == window_ || ::IsChild(window_, message.hwnd) != FALSE;
  const bool key = message.message == WM_KEYDOWN || message.message == WM_KEYUP;
  if (!forTheControl || !key || !site_) {
    return false;
  }
  // A copy: the control may name another active object while it works.
  const ComPtr<IOleInPlaceActiveObject> active = SiteOf(site_).Active();
  return active && active->TranslateAccelerator(&message) == S_OK;
}

ComPtr<IOleInPlaceFrame> WebHost::Frame() const {
  return site_.As<IOleInPlaceFrame>(IID_IOleInPlaceFrame);
}

BrowserAutomation WebHost::Automation() const {
  if (!dispatch_) {
    throw Failure("the web view is not available");
  }
  return BrowserAutomation(dispatch_);
}

namespace {

bool madeAhead = false;

void CALLBACK MakeAhead(HWND /*window*/, UINT /*message*/, UINT_PTR timer, DWORD /*time*/) {
  ::KillTimer(nullptr, timer);
  ComPtr<IUnknown> control;
  if (SUCCEEDED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(control.Out())))) {
    madeAhead = true;
  }
}

}  // namespace

void MakeWebBrowserAhead() noexcept { ::SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &MakeAhead); }

bool WebBrowserMadeAhead() noexcept { return madeAhead; }

// ---- the web view control --------------------------------------------------------

namespace {

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
    Win32Backend* backend = &form.Backend();
    host_ = std::make_unique<WebHost>(
        handle_, design.name, [owner](Event& event) { owner->Raise(event); },
        [backend](std::function<void()> task) { backend->Post(std::move(task)); });
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
  // Words that are no address are searched for; an address goes as typed,
  // and the control completes it.
  void Navigate(const std::string& address) override {
    if (const std::optional<std::string> load = AddressToLoad(
            address, form_.Backend().SearchQuery(), AddressCompletion::kByTheControl)) {
      Automation().Navigate(*load);
    }  // a script address is refused
  }
  void GoBack() override { Automation().GoBack(); }
  void GoForward() override { Automation().GoForward(); }
  void GoHome() override { Automation().GoHome(); }
  void GoSearch() override { Automation().GoSearch(); }
  // Our own page stands for the address that failed: Refresh loads that.
  void Refresh() override {
    if (const OwnPageText* page = OwnPage()) {
      Automation().Navigate(page->address);
    } else {
      Automation().Refresh();
    }
  }
  void Stop() override { Automation().Stop(); }
  [[nodiscard]] std::string LocationName() const override {
    const OwnPageText* page = OwnPage();
    return page != nullptr ? page->title : Automation().LocationName();
  }
  [[nodiscard]] const std::string& LocationURL() const override {
    const OwnPageText* page = OwnPage();
    url_ = page != nullptr ? page->address : Automation().LocationURL();
    return url_;
  }
  [[nodiscard]] bool Busy() const override { return Automation().Busy(); }
  [[nodiscard]] float Zoom() const override { return Automation().Zoom(); }
  void SetZoom(float factor) override { Automation().SetZoom(factor); }
  // ---- print and save ----
  void Print() override { Automation().Print(); }
  void SavePage() override { Automation().SavePage(); }

  // ---- find in the page (platform/win32/find_in_page.cpp) ----
  void Find(const std::string& text, bool matchCase, bool backwards) override {
    Report(finder_.Find(Automation().Dispatch().get(), text, matchCase, backwards));
  }
  void FindNext() override { Report(finder_.Step(Automation().Dispatch().get(), false)); }
  void FindPrevious() override { Report(finder_.Step(Automation().Dispatch().get(), true)); }
  void FindFinish() override { finder_.Finish(); }
  // The page's window fills the control, which fills its host window here:
  // the host's client area stands for the page's.
  [[nodiscard]] std::optional<Rect> MatchArea() const override {
    RECT client{};
    ::GetClientRect(handle_, &client);
    const std::optional<Rect> box = finder_.MatchBox(
        Rect{0, 0, static_cast<float>(client.right), static_cast<float>(client.bottom)});
    POINT origin{0, 0};
    if (!box || ::ClientToScreen(handle_, &origin) == FALSE) {
      return std::nullopt;
    }
    const float left = form_.TwX(origin.x) + form_.TwX(1) * box->left;
    const float top = form_.TwY(origin.y) + form_.TwY(1) * box->top;
    return Rect{left, top, form_.TwX(1) * box->width, form_.TwY(1) * box->height};
  }
  void SetFocus() override {
    ::SetForegroundWindow(::GetAncestor(handle_, GA_ROOT));
    ::SetFocus(FocusHandle());
  }
  // ---- end of find in the page ----

 private:
  void Report(const FindOutcome& outcome) {
    Event result{.type = EventType::FindResult, .control = design_.name, .found = outcome.found,
                 .matches = outcome.matches};
    form_.Raise(result);
  }
  PageFinder finder_;
  [[nodiscard]] const OwnPageText* OwnPage() const { return host_ ? host_->OwnPage() : nullptr; }
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

std::unique_ptr<Item> MakeWebBrowser(Win32Window& form, const ControlDesign& design, HWND parent) {
  return std::make_unique<Win32WebBrowser>(form, design, parent);
}

}  // namespace corvane::win32
