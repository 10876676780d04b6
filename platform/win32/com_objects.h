// Pieces shared by the COM objects this program implements for the web
// view: reference counting, an owned VARIANT, text out of a VARIANT.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace corvane::win32 {

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

inline std::string TextOf(const VARIANT& value) {
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

}  // namespace corvane::win32
