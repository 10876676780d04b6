// The web view: the system's WebBrowser ActiveX control hosted in place in a
// child window, driven late-bound through IDispatch, and its event sink.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <oleidl.h>
#include <docobj.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/own_pages.h"
#include "platform/window.h"

namespace corvane::win32 {

// Dispatch ids of the control's automation interface.
namespace dispid {
inline constexpr DISPID kGoBack = 100;
inline constexpr DISPID kGoForward = 101;
inline constexpr DISPID kGoHome = 102;
inline constexpr DISPID kGoSearch = 103;
inline constexpr DISPID kNavigate = 104;
inline constexpr DISPID kStop = 106;
inline constexpr DISPID kRefresh = -550;
inline constexpr DISPID kLocationName = 210;
inline constexpr DISPID kLocationURL = 211;
inline constexpr DISPID kBusy = 212;
inline constexpr DISPID kRegisterAsBrowser = 552;
inline constexpr DISPID kExecWB = 502;
// Notifications (DWebBrowserEvents2).
inline constexpr DISPID kDownloadComplete = 104;
inline constexpr DISPID kNavigateComplete2 = 252;
inline constexpr DISPID kBeforeNavigate2 = 250;
inline constexpr DISPID kNewWindow2 = 251;
inline constexpr DISPID kNewWindow3 = 273;
inline constexpr DISPID kDocumentComplete = 259;
inline constexpr DISPID kNavigateError = 271;
}  // namespace dispid

// What the view does when a page asks for a new window: this is a
// single-window browser, so no other window ever opens.
struct NewWindows {
  // Opens `address` in this view instead. None: requests are only refused.
  std::function<void(const std::string& address)> openHere;
  // For a request that names no address (NewWindow2): a hidden stand-in for
  // the new window, whose first navigation is caught and opened here (see
  // MakeCatcherSink). None: the request is refused.
  std::function<ComPtr<IDispatch>()> catcher;
  // A request with an address (NewWindow3) was decided: a catcher handed
  // out for it just before must follow nothing any more.
  std::function<void()> decided;
};

// Receives the control's notifications and raises them as events of the
// control `control`. NavigateComplete2 and DownloadComplete are passed on;
// new-window requests are cancelled and handed to `newWindows` (NewWindow3,
// with the address and a user's action behind it: opened here; NewWindow2:
// given the catcher); navigations, their errors and complete documents go
// to `ownPages` (while it is there), whose page comes in place of the
// control's error page; every other notification is accepted and dropped.
ComPtr<IDispatch> MakeBrowserEventSink(std::string control, std::function<void(Event&)> raise,
                                       NewWindows newWindows = {},
                                       std::weak_ptr<OwnPages> ownPages = {});

// The sink of a catcher: cancels each of its navigations and new windows,
// and passes the address of its first real navigation to `openHere`.
ComPtr<IDispatch> MakeCatcherSink(std::function<void(const std::string& address)> openHere);

// Calls on the control's automation interface; each call throws Failure
// when the control refuses it.
class LateBound {
 public:
  explicit LateBound(ComPtr<IDispatch> object) : object_(std::move(object)) {}
  void Method(DISPID id) const;
  void Method(DISPID id, const std::string& text) const;
  [[nodiscard]] std::string TextProperty(DISPID id) const;
  [[nodiscard]] bool BoolProperty(DISPID id) const;
  void PutBool(DISPID id, bool value) const;
  // ExecWB(command, `option`, `in`, out): answers the number it gives out
  // (0 when it gives none). `in` < 0: nothing goes in. The option is
  // OLECMDEXECOPT_DONTPROMPTUSER unless the command is to ask the user.
  long Exec(long command, long in, long option = OLECMDEXECOPT_DONTPROMPTUSER) const;
  [[nodiscard]] const ComPtr<IDispatch>& Object() const { return object_; }

 private:
  void Invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) const;
  ComPtr<IDispatch> object_;
};

// The web view's operations and properties as late-bound calls on its
// automation interface, each through the dispatch id the control defines.
class BrowserAutomation {
 public:
  explicit BrowserAutomation(ComPtr<IDispatch> control) : calls_(std::move(control)) {}
  void Navigate(const std::string& address) const { calls_.Method(dispid::kNavigate, address); }
  void GoBack() const { calls_.Method(dispid::kGoBack); }
  void GoForward() const { calls_.Method(dispid::kGoForward); }
  void GoHome() const { calls_.Method(dispid::kGoHome); }
  void GoSearch() const { calls_.Method(dispid::kGoSearch); }
  void Refresh() const { calls_.Method(dispid::kRefresh); }
  void Stop() const { calls_.Method(dispid::kStop); }
  [[nodiscard]] std::string LocationName() const {
    return calls_.TextProperty(dispid::kLocationName);
  }
  [[nodiscard]] std::string LocationURL() const {
    return calls_.TextProperty(dispid::kLocationURL);
  }
  [[nodiscard]] bool Busy() const { return calls_.BoolProperty(dispid::kBusy); }
  // The page's zoom as a factor (1 = 100 %).
  [[nodiscard]] float Zoom() const;
  // Zooms the page by `factor`, within what the control allows (10 % to
  // 1000 %).
  void SetZoom(float factor) const;
  // ---- print and save ----
  // The control's own print command, with its print dialog.
  void Print() const;
  // The control's own save command, with its save dialog.
  void SavePage() const;
  // The control's automation interface itself.
  [[nodiscard]] const ComPtr<IDispatch>& Dispatch() const { return calls_.Object(); }

 private:
  LateBound calls_;
};

// Makes the system's WebBrowser control once ahead, while the first window is
// on screen, and lets it go at once: not sited, not shown, never navigated.
// COM keeps the control's server loaded, so the browser window's own control
// is then made without loading it. It happens from the thread's message loop
// (a timer, whose message comes after input, posted tasks and painting: the
// window shown first is drawn first). Without such a control nothing happens.
void MakeWebBrowserAhead() noexcept;
// The control was made ahead.
[[nodiscard]] bool WebBrowserMadeAhead() noexcept;

// The in-place host of one WebBrowser control inside `window`. When the
// system has no such control the host stays empty and every call fails.
class WebHost {
 public:
  // Raises the control's notifications as events of `control`; opens its
  // new-window requests in itself. With `later` (see OwnPages), our own
  // pages come in place of the control's error pages.
  WebHost(HWND window, std::string control, std::function<void(Event&)> raise,
          OwnPages::Later later = {});
  // A host whose notifications go to `sink`.
  WebHost(HWND window, ComPtr<IDispatch> sink);
  WebHost(const WebHost&) = delete;
  WebHost& operator=(const WebHost&) = delete;
  ~WebHost();

  // Fits the control to the host window's client area.
  void Fit();
  [[nodiscard]] bool Ready() const { return static_cast<bool>(dispatch_); }
  // Throws Failure when there is no control.
  [[nodiscard]] BrowserAutomation Automation() const;
  // Offers a key going to the control's windows to the control first, as
  // the active object it last named (the page's own keys: Tab through its
  // links, copy, and so on). True when the control took the key.
  bool TranslateKey(MSG& message) const;
  // The in-place frame: where the control names its active object.
  [[nodiscard]] ComPtr<IOleInPlaceFrame> Frame() const;
  // The sink this host gave the control (none without a control).
  [[nodiscard]] ComPtr<IDispatch> Sink() const { return sink_; }
  // The page of ours the control shows, or none.
  [[nodiscard]] const OwnPageText* OwnPage() const {
    return ownPages_ ? ownPages_->Shown() : nullptr;
  }
  // What this host does with new-window requests: they open in `view`
  // (the control's automation interface); a request without an address
  // gets a fresh catcher made by `makeCatcher`.
  static NewWindows OpenIn(ComPtr<IDispatch> view,
                           std::function<ComPtr<IDispatch>()> makeCatcher,
                           std::function<void()> decided = {});

 private:
  class Catcher;
  // Makes and activates the control; the host stays empty without one.
  void Create();
  void Advise(ComPtr<IDispatch> sink);
  // A new hidden catcher in place of the last one; its automation
  // interface, or none.
  ComPtr<IDispatch> NewCatcher();

  HWND window_;
  ComPtr<IDispatch> sink_;
  std::unique_ptr<Catcher> catcher_;
  std::shared_ptr<bool> catcherLive_;  // false: the catcher opens nothing
  ComPtr<IOleClientSite> site_;  // also the in-place site and the frame
  ComPtr<IOleObject> object_;
  ComPtr<IDispatch> dispatch_;
  ComPtr<IConnectionPoint> events_;
  DWORD cookie_ = 0;
  std::shared_ptr<OwnPages> ownPages_;
};

}  // namespace corvane::win32
