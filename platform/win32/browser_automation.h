// The WebBrowser control's automation interface, driven late-bound through
// IDispatch: its methods and properties by the dispatch ids it defines.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <docobj.h>

#include <string>
#include <utility>

#include "platform/win32/handles.h"

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
}  // namespace dispid

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

}  // namespace corvane::win32
