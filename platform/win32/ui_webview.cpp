#include "platform/win32/ui_webview.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <oleidl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>

#include "platform/win32/ui_text.h"

namespace corvane::winui {

namespace {

// Reference counting for the COM objects this program implements. The
// object owns itself while references are held and goes with the last one.
template <class Derived>
class SelfOwned {
 public:
  template <class Interface, class... Args>
  static ComPtr<Interface> Create(Args&&... args) {
    auto object = std::make_shared<Derived>(std::forward<Args>(args)...);
    object->self_ = object;
    object->refs_ = 1;
    return ComPtr<Interface>::Adopt(static_cast<Interface*>(object.get()));
  }

 protected:
  ULONG AddRefImpl() { return ++refs_; }
  ULONG ReleaseImpl() {
    const ULONG left = --refs_;
    if (left == 0) {
      auto last = std::move(self_);  // the object goes at the end of this scope
    }
    return left;
  }

 private:
  std::shared_ptr<Derived> self_;
  std::atomic<ULONG> refs_{0};
};

// A VARIANT that is cleared when it goes.
class Variant {
 public:
  Variant() { ::VariantInit(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { ::VariantClear(&value_); }
  VARIANT* get() { return &value_; }

 private:
  VARIANT value_;
};

std::string TextOf(const VARIANT& value) {
  const VARIANT* v = &value;
  if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v) != nullptr) {
    v = V_VARIANTREF(v);
  }
  if (V_VT(v) == VT_BSTR) {
    return ToUtf8(V_BSTR(v), static_cast<int>(::SysStringLen(V_BSTR(v))));
  }
  if (V_VT(v) == (VT_BYREF | VT_BSTR) && V_BSTRREF(v) != nullptr) {
    return ToUtf8(*V_BSTRREF(v), static_cast<int>(::SysStringLen(*V_BSTRREF(v))));
  }
  return {};
}

// The argument `index` of `params` counted as declared (they arrive last
// first), or none.
VARIANT* Argument(DISPPARAMS* params, UINT count, UINT index) {
  if (params == nullptr || params->rgvarg == nullptr || params->cArgs != count ||
      index >= count) {
    return nullptr;
  }
  return &params->rgvarg[count - 1 - index];
}

// Sets an [in, out] VARIANT_BOOL argument (Cancel) to true.
void SetTrue(VARIANT* argument) {
  if (argument == nullptr) {
    return;
  }
  if (V_VT(argument) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(argument) != nullptr) {
    argument = V_VARIANTREF(argument);
  }
  if (V_VT(argument) == (VT_BYREF | VT_BOOL) && V_BOOLREF(argument) != nullptr) {
    *V_BOOLREF(argument) = VARIANT_TRUE;
  } else if (V_VT(argument) == VT_BOOL) {
    V_BOOL(argument) = VARIANT_TRUE;
  }
}

// Hands `object` out through an [in, out] IDispatch** argument; the caller
// owns the reference. False when the argument takes none.
bool HandOut(VARIANT* argument, const ComPtr<IDispatch>& object) {
  if (argument == nullptr || V_VT(argument) != (VT_BYREF | VT_DISPATCH) ||
      V_DISPATCHREF(argument) == nullptr || !object) {
    return false;
  }
  object->AddRef();
  *V_DISPATCHREF(argument) = object.get();
  return true;
}

ULONG NumberOf(VARIANT* argument) {
  if (argument == nullptr) {
    return 0;
  }
  VARIANT copy;
  ::VariantInit(&copy);
  ULONG number = 0;
  if (SUCCEEDED(::VariantChangeType(&copy, argument, 0, VT_UI4))) {
    number = V_UI4(&copy);
  }
  ::VariantClear(&copy);
  return number;
}

// An address worth leaving the page for: not empty, not the blank page a
// script opens to write into.
bool Followed(const std::string& address) {
  return !address.empty() && address != "about:blank";
}

// NewWindow3's flags: the window is asked for by the user's action (a click,
// the "open in new window" menu item, a popup the user allowed).
constexpr ULONG kUserInitiated = 0x2;   // NWMF_USERINITED
constexpr ULONG kUserRequested = 0x80;  // NWMF_USERREQUESTED
constexpr ULONG kUserAllowed = 0x100;   // NWMF_USERALLOWED

class BrowserEventSink final : public IDispatch, public SelfOwned<BrowserEventSink> {
 public:
  BrowserEventSink(std::string control, std::function<void(Event&)> raise, NewWindows newWindows)
      : control_(std::move(control)),
        raise_(std::move(raise)),
        newWindows_(std::move(newWindows)) {}
  virtual ~BrowserEventSink() = default;
  BrowserEventSink(const BrowserEventSink&) = delete;
  BrowserEventSink& operator=(const BrowserEventSink&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) {
      *count = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    // NewWindow2(ppDisp, Cancel)
    if (id == dispid::kNewWindow2) {
      // Cancelled first: whatever goes wrong below, no window opens.
      SetTrue(Argument(params, 2, 1));
      try {
        if (newWindows_.catcher && HandOut(Argument(params, 2, 0), newWindows_.catcher())) {
          Uncancel(Argument(params, 2, 1));
        }
      } catch (...) {  // NOLINT(bugprone-empty-catch): refused, as set
      }
      return S_OK;
    }
    // NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
    if (id == dispid::kNewWindow3) {
      SetTrue(Argument(params, 5, 1));
      try {
        if (newWindows_.decided) {
          newWindows_.decided();
        }
        const VARIANT* address = Argument(params, 5, 4);
        const std::string url = address != nullptr ? TextOf(*address) : std::string();
        const ULONG flags = NumberOf(Argument(params, 5, 2));
        if (newWindows_.openHere && Followed(url) &&
            (flags & (kUserInitiated | kUserRequested | kUserAllowed)) != 0) {
          newWindows_.openHere(url);
        }
      } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may cross back into the control
      }
      return S_OK;
    }
    try {
      if (id == dispid::kNavigateComplete2) {
        // Arguments arrive last first: [0] the address, [1] the window.
        Event event{.type = EventType::NavigateComplete2, .control = control_};
        if (params != nullptr && params->cArgs >= 1 && params->rgvarg != nullptr) {
          event.text = TextOf(params->rgvarg[0]);
        }
        raise_(event);
      } else if (id == dispid::kDownloadComplete) {
        Event event{.type = EventType::DownloadComplete, .control = control_};
        raise_(event);
      }
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may cross back into the control
    }
    return S_OK;
  }

 private:
  // Lets the control go on with the catcher as the new window.
  static void Uncancel(VARIANT* argument) {
    if (argument != nullptr && V_VT(argument) == (VT_BYREF | VT_VARIANT) &&
        V_VARIANTREF(argument) != nullptr) {
      argument = V_VARIANTREF(argument);
    }
    if (argument != nullptr && V_VT(argument) == (VT_BYREF | VT_BOOL) &&
        V_BOOLREF(argument) != nullptr) {
      *V_BOOLREF(argument) = VARIANT_FALSE;
    }
  }

  std::string control_;
  std::function<void(Event&)> raise_;
  NewWindows newWindows_;
};

// The sink of a hidden control that stands for a new window: nothing is
// ever shown in it; its first navigation goes to the real view instead.
class CatcherSink final : public IDispatch, public SelfOwned<CatcherSink> {
 public:
  explicit CatcherSink(std::function<void(const std::string&)> openHere)
      : openHere_(std::move(openHere)) {}
  virtual ~CatcherSink() = default;
  CatcherSink(const CatcherSink&) = delete;
  CatcherSink& operator=(const CatcherSink&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) {
      *count = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (id == dispid::kNewWindow2) {
      SetTrue(Argument(params, 2, 1));
    } else if (id == dispid::kNewWindow3) {
      SetTrue(Argument(params, 5, 1));
    } else if (id == dispid::kBeforeNavigate2) {
      // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
      SetTrue(Argument(params, 7, 6));
      try {
        const VARIANT* address = Argument(params, 7, 1);
        const std::string url = address != nullptr ? TextOf(*address) : std::string();
        if (!spent_ && Followed(url) && openHere_) {
          spent_ = true;
          openHere_(url);
        }
      } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may cross back into the control
      }
    }
    return S_OK;
  }

 private:
  std::function<void(const std::string&)> openHere_;
  bool spent_ = false;
};

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

ComPtr<IDispatch> MakeBrowserEventSink(std::string control, std::function<void(Event&)> raise,
                                       NewWindows newWindows) {
  return BrowserEventSink::Create<IDispatch>(std::move(control), std::move(raise),
                                             std::move(newWindows));
}

ComPtr<IDispatch> MakeCatcherSink(std::function<void(const std::string&)> openHere) {
  return CatcherSink::Create<IDispatch>(std::move(openHere));
}

// ---- late-bound calls ------------------------------------------------------

void LateBound::Invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) const {
  if (!object_) {
    throw Failure("the web view is not available");
  }
  EXCEPINFO exception{};
  UINT badArgument = 0;
  const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                     &exception, &badArgument);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  if (FAILED(hr)) {
    throw Failure("the web view refused the call");
  }
}

void LateBound::Method(DISPID id) const {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Invoke(id, DISPATCH_METHOD, none, nullptr);
}

void LateBound::Method(DISPID id, const std::string& text) const {
  const std::wstring wide = ToWide(text);
  Variant argument;
  V_VT(argument.get()) = VT_BSTR;
  V_BSTR(argument.get()) = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (V_BSTR(argument.get()) == nullptr) {
    throw Failure("out of memory");
  }
  DISPPARAMS params{argument.get(), nullptr, 1, 0};
  Invoke(id, DISPATCH_METHOD, params, nullptr);
}

std::string LateBound::TextProperty(DISPID id) const {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Variant result;
  Invoke(id, DISPATCH_PROPERTYGET, none, result.get());
  if (V_VT(result.get()) != VT_BSTR &&
      FAILED(::VariantChangeType(result.get(), result.get(), 0, VT_BSTR))) {
    throw Failure("the web view answered no text");
  }
  return TextOf(*result.get());
}

void LateBound::PutBool(DISPID id, bool value) const {
  VARIANT argument;
  ::VariantInit(&argument);
  V_VT(&argument) = VT_BOOL;
  V_BOOL(&argument) = value ? VARIANT_TRUE : VARIANT_FALSE;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&argument, &named, 1, 1};
  Invoke(id, DISPATCH_PROPERTYPUT, params, nullptr);
}

long LateBound::Exec(long command, long in) const {
  // Arguments last first: [0] out, [1] in, [2] the option, [3] the command.
  Variant out;
  VARIANT args[4];
  V_VT(&args[0]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[0]) = out.get();
  if (in < 0) {
    V_VT(&args[1]) = VT_ERROR;
    V_ERROR(&args[1]) = DISP_E_PARAMNOTFOUND;
  } else {
    V_VT(&args[1]) = VT_I4;
    V_I4(&args[1]) = in;
  }
  V_VT(&args[2]) = VT_I4;
  V_I4(&args[2]) = OLECMDEXECOPT_DONTPROMPTUSER;
  V_VT(&args[3]) = VT_I4;
  V_I4(&args[3]) = command;
  DISPPARAMS params{args, nullptr, 4, 0};
  Invoke(dispid::kExecWB, DISPATCH_METHOD, params, nullptr);
  if (V_VT(out.get()) == VT_EMPTY ||
      FAILED(::VariantChangeType(out.get(), out.get(), 0, VT_I4))) {
    return 0;
  }
  return V_I4(out.get());
}

bool LateBound::BoolProperty(DISPID id) const {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Variant result;
  Invoke(id, DISPATCH_PROPERTYGET, none, result.get());
  if (V_VT(result.get()) != VT_BOOL &&
      FAILED(::VariantChangeType(result.get(), result.get(), 0, VT_BOOL))) {
    throw Failure("the web view answered no boolean");
  }
  return V_BOOL(result.get()) != VARIANT_FALSE;
}

// ---- zoom ------------------------------------------------------------------

namespace {
constexpr long kOpticalZoom = 63;  // OLECMDID_OPTICAL_ZOOM, in percent
constexpr long kLeastZoom = 10;
constexpr long kMostZoom = 1000;
}  // namespace

float BrowserAutomation::Zoom() const {
  const long percent = calls_.Exec(kOpticalZoom, -1);
  if (percent <= 0) {
    throw Failure("the web view answered no zoom");
  }
  return static_cast<float>(percent) / 100.0F;
}

void BrowserAutomation::SetZoom(float factor) const {
  if (!(factor > 0.0F) || factor > 1.0e6F) {  // also not a number
    throw Failure("invalid zoom");
  }
  const long percent = std::clamp(std::lround(factor * 100.0F), kLeastZoom, kMostZoom);
  calls_.Exec(kOpticalZoom, percent);
}

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

WebHost::WebHost(HWND window, std::string control, std::function<void(Event&)> raise)
    : window_(window) {
  Create();
  if (dispatch_) {
    Advise(MakeBrowserEventSink(std::move(control), std::move(raise),
                                OpenIn(
                                    dispatch_, [this] { return NewCatcher(); },
                                    [this] {
                                      if (catcherLive_) {
                                        *catcherLive_ = false;
                                      }
                                    })));
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

}  // namespace corvane::winui
