// The WebBrowser control's event sinks: its notifications raised as the
// program's events, and its requests for new windows kept in the view.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/own_pages.h"
#include "platform/ports/page.h"
#include "platform/ports/window.h"

namespace corvane::win32 {

// Dispatch ids of the control's notifications (DWebBrowserEvents2).
namespace dispid {
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
  // The page asks for a window at `address`, `byTheUser` or not: reported
  // (to the page policy); true when the address was opened in this view.
  // None: requests are only refused.
  std::function<bool(const std::string& address, bool byTheUser)> request;
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
// with the address and whether the user's action is behind it; NewWindow2:
// given the catcher); navigations, their errors and complete documents go
// to `ownPages` (while it is there), whose page comes in place of the
// control's error page; the top level's navigations starting, reaching
// their page and ending are reported to `policy`; every other notification
// is accepted and dropped.
ComPtr<IDispatch> MakeBrowserEventSink(std::string control, std::function<void(Event&)> raise,
                                       NewWindows newWindows = {},
                                       std::weak_ptr<OwnPages> ownPages = {},
                                       PolicyOf policy = {});

// The sink of a catcher: cancels each of its navigations and new windows,
// and reports the address of each navigation to `request` (as asked for by
// the user: the control's pop-up manager let it through) until one is
// opened in the view.
ComPtr<IDispatch> MakeCatcherSink(std::function<bool(const std::string& address)> request);

}  // namespace corvane::win32
