// The web view's late-bound calls: methods and properties of the control's
// automation interface through IDispatch::Invoke, and its zoom.
#include "platform/win32/browser_automation.h"

#include <exdisp.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/ports/failure.h"
#include "platform/win32/com_objects.h"
#include "platform/win32/text.h"

namespace corvane::win32 {

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

long LateBound::Exec(long command, long in, long option) const {
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
  V_I4(&args[2]) = option;
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

// ---- print and save ----------------------------------------------------------

void BrowserAutomation::Print() const { calls_.Exec(OLECMDID_PRINT, -1, OLECMDEXECOPT_PROMPTUSER); }

void BrowserAutomation::SavePage() const {
  calls_.Exec(OLECMDID_SAVEAS, -1, OLECMDEXECOPT_PROMPTUSER);
}

}  // namespace corvane::win32
