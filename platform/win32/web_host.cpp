#include "platform/win32/web_host.h"

#include <exdisp.h>
#include <exdispid.h>

#include <utility>

#include "platform/ports/failure.h"
#include "platform/win32/in_place_site.h"

namespace corvane::win32 {

// A hidden control standing for a new window, in a window never shown.
class WebHost::Catcher {
 public:
  explicit Catcher(std::function<bool(const std::string&)> request)
      : window_(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr)) {
    if (window_) {
      host_ = std::make_unique<WebHost>(window_.get(), MakeCatcherSink(std::move(request)));
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
                 OwnPages::Later later, PolicyOf policy)
    : window_(window), policy_(std::move(policy)) {
  Create();
  if (dispatch_) {
    if (later) {
      ownPages_ = std::make_shared<OwnPages>(dispatch_, std::move(later),
                                             OwnPages::ReportTo(policy_));
    }
    Advise(MakeBrowserEventSink(
        std::move(control), std::move(raise),
        OpenIn([this](const std::string& address, bool byTheUser) {
                 return Request(address, byTheUser);
               },
               [this] { return NewCatcher(); },
               [this] {
                 if (catcherLive_) {
                   *catcherLive_ = false;
                 }
               }),
        ownPages_, policy_));
  }
}

bool WebHost::Request(const std::string& address, bool byTheUser) const {
  PageEvents* policy = policy_ ? policy_() : nullptr;
  return policy != nullptr && policy->NewWindow(address, byTheUser);
}

WebHost::WebHost(HWND window, ComPtr<IDispatch> sink) : window_(window) {
  Create();
  Advise(std::move(sink));
}

void WebHost::Create() {
  site_ = MakeInPlaceSite(window_);
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

NewWindows WebHost::OpenIn(std::function<bool(const std::string&, bool)> request,
                           std::function<ComPtr<IDispatch>()> makeCatcher,
                           std::function<void()> decided) {
  return NewWindows{
      .request = std::move(request), .catcher = std::move(makeCatcher), .decided = std::move(decided)};
}

ComPtr<IDispatch> WebHost::NewCatcher() {
  catcher_.reset();  // an earlier one that was never navigated
  catcherLive_ = std::make_shared<bool>(true);
  // Reported as the user's request (the control's pop-up manager let it
  // through), for as long as this host is there (the catcher goes before
  // the host does) and no request with an address has been decided since.
  catcher_ = std::make_unique<Catcher>([this, live = catcherLive_](const std::string& address) {
    return *live && dispatch_ && Request(address, true);
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
    ForgetActiveObject(site_);
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
  const ComPtr<IOleInPlaceActiveObject> active = ActiveObjectOf(site_);
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

}  // namespace corvane::win32
