// The in-place host of one WebBrowser control in a window: it makes and
// activates the control, connects its event sink, fits it to the window and
// keeps the hidden catcher that a page's new window without an address is
// given.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <oleidl.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/browser_automation.h"
#include "platform/win32/browser_events.h"
#include "platform/win32/handles.h"
#include "platform/win32/own_pages.h"
#include "platform/ports/window.h"

namespace corvane::win32 {

// The in-place host of one WebBrowser control inside `window`. When the
// system has no such control the host stays empty and every call fails.
class WebHost {
 public:
  // Raises the control's notifications as events of `control`, and reports
  // the page's to `policy`: its new-window requests, its failures (with
  // `later`, see OwnPages, a page of ours the policy orders comes in place
  // of the control's error page), its navigations starting, reaching their
  // page and ending.
  WebHost(HWND window, std::string control, std::function<void(Event&)> raise,
          OwnPages::Later later = {}, PolicyOf policy = {});
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
  [[nodiscard]] const OwnPage* Shown() const { return ownPages_ ? ownPages_->Shown() : nullptr; }
  // Shows a page of ours (a host made without `later` shows none).
  void Show(const OwnPage& page) {
    if (ownPages_) {
      ownPages_->Show(page);
    }
  }
  // What this host does with new-window requests: each is reported to
  // `request`; one without an address gets a fresh catcher made by
  // `makeCatcher`.
  static NewWindows OpenIn(std::function<bool(const std::string&, bool)> request,
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
  // Reports a new window the page asks for to the policy.
  bool Request(const std::string& address, bool byTheUser) const;

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
  PolicyOf policy_;
};

}  // namespace corvane::win32
