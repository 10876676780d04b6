// The web view's event sinks: the control's notifications raised as the
// program's events, and its requests for new windows kept in the view.
#include "platform/win32/browser_events.h"

#include <exdisp.h>
#include <exdispid.h>

#include <optional>
#include <utility>

#include "platform/win32/com_objects.h"
#include "platform/win32/own_pages.h"

namespace corvane::win32 {

namespace {

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

// The value an argument passed by reference stands for.
const VARIANT* Value(const VARIANT* argument) {
  if (argument != nullptr && V_VT(argument) == (VT_BYREF | VT_VARIANT)) {
    return V_VARIANTREF(argument);
  }
  return argument;
}

// The object an argument names (no reference taken), or none.
IDispatch* ObjectOf(const VARIANT* argument) {
  argument = Value(argument);
  return argument != nullptr && V_VT(argument) == VT_DISPATCH ? V_DISPATCH(argument) : nullptr;
}

// A status code: a signed 32-bit number, as an HRESULT is (0 when none).
long StatusOf(const VARIANT* argument) {
  argument = Value(argument);
  if (argument == nullptr) {
    return 0;
  }
  if (V_VT(argument) == VT_I4 || V_VT(argument) == VT_UI4) {
    return V_I4(argument);
  }
  VARIANT copy;
  ::VariantInit(&copy);
  long status = 0;
  if (SUCCEEDED(::VariantChangeType(&copy, const_cast<VARIANT*>(argument), 0, VT_I4))) {
    status = V_I4(&copy);
  }
  ::VariantClear(&copy);
  return status;
}

std::string AddressOf(const VARIANT* argument) {
  return argument != nullptr ? TextOf(*argument) : std::string();
}

// NewWindow3's flags: the window is asked for by the user's action (a click,
// the "open in new window" menu item, a popup the user allowed).
constexpr ULONG kUserInitiated = 0x2;   // NWMF_USERINITED
constexpr ULONG kUserRequested = 0x80;  // NWMF_USERREQUESTED
constexpr ULONG kUserAllowed = 0x100;   // NWMF_USERALLOWED

// The part every sink of the control's events shares: it answers as the
// control's event interface, and its type information is not needed.
template <class Derived>
class EventsSink : public IDispatch, public SelfOwned<Derived> {
 public:
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
  ULONG STDMETHODCALLTYPE AddRef() override { return this->AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return this->ReleaseImpl(); }
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
};

class BrowserEventSink final : public EventsSink<BrowserEventSink> {
 public:
  BrowserEventSink(std::string control, std::function<void(Event&)> raise, NewWindows newWindows,
                   std::weak_ptr<OwnPages> ownPages, PolicyOf policy)
      : control_(std::move(control)),
        raise_(std::move(raise)),
        newWindows_(std::move(newWindows)),
        ownPages_(std::move(ownPages)),
        policy_(std::move(policy)) {}
  virtual ~BrowserEventSink() = default;
  BrowserEventSink(const BrowserEventSink&) = delete;
  BrowserEventSink& operator=(const BrowserEventSink&) = delete;

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
        if (newWindows_.request) {
          newWindows_.request(url, (flags & (kUserInitiated | kUserRequested | kUserAllowed)) != 0);
        }
      } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may cross back into the control
      }
      return S_OK;
    }
    try {
      const auto pages = ownPages_.lock();
      if (id == dispid::kNavigateError) {
        // NavigateError(pDisp, URL, TargetFrameName, StatusCode, Cancel)
        const OwnPages::Answer answer =
            pages ? pages->Failed(ObjectOf(Argument(params, 5, 0)),
                                  AddressOf(Argument(params, 5, 1)),
                                  StatusOf(Argument(params, 5, 3)))
                  : OwnPages::Answer::kLeave;
        if (answer != OwnPages::Answer::kLeave) {
          SetTrue(Argument(params, 5, 4));
        }
        if (answer == OwnPages::Answer::kOursBlank && pages->Shown() != nullptr) {
          // No document comes, nor its notifications: the view is at our page.
          Event event{.type = EventType::NavigateComplete2, .control = control_,
                      .text = pages->Shown()->address};
          if (PageEvents* policy = Policy()) {
            policy->Committed(event.text, true);
          }
          raise_(event);
        }
      } else if (id == dispid::kBeforeNavigate2) {
        if (pages && pages->IsTop(ObjectOf(Argument(params, 7, 0)))) {
          pages->Starting(ObjectOf(Argument(params, 7, 0)));
          if (PageEvents* policy = Policy()) {
            policy->LoadStarted();
          }
        }
      } else if (id == dispid::kDocumentComplete) {
        // DocumentComplete(pDisp, URL)
        if (pages) {
          pages->Completed(ObjectOf(Argument(params, 2, 0)));
        }
      } else if (id == dispid::kNavigateComplete2) {
        // Arguments arrive last first: [0] the address, [1] the window.
        Event event{.type = EventType::NavigateComplete2, .control = control_};
        if (params != nullptr && params->cArgs >= 1 && params->rgvarg != nullptr) {
          event.text = TextOf(params->rgvarg[0]);
        }
        if (pages) {
          IDispatch* frame = ObjectOf(Argument(params, 2, 0));
          // Where our page comes in, the address it stands for.
          event.text = pages->Committed(frame, event.text);
          PageEvents* policy = Policy();
          if (policy != nullptr && pages->IsTop(frame)) {
            policy->Committed(event.text, pages->Shown() != nullptr);
          }
        }
        raise_(event);
      } else if (id == dispid::kDownloadComplete) {
        if (PageEvents* policy = Policy()) {
          policy->LoadFinished();
        }
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

  [[nodiscard]] PageEvents* Policy() const { return policy_ ? policy_() : nullptr; }

  std::string control_;
  std::function<void(Event&)> raise_;
  NewWindows newWindows_;
  std::weak_ptr<OwnPages> ownPages_;
  PolicyOf policy_;
};

// The sink of a hidden control that stands for a new window: nothing is
// ever shown in it; its first navigation goes to the real view instead.
class CatcherSink final : public EventsSink<CatcherSink> {
 public:
  explicit CatcherSink(std::function<bool(const std::string&)> request)
      : request_(std::move(request)) {}
  virtual ~CatcherSink() = default;
  CatcherSink(const CatcherSink&) = delete;
  CatcherSink& operator=(const CatcherSink&) = delete;

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
        // A catcher still follows only where the control told no more than
        // NewWindow2 (a NewWindow3 after it decides instead, and stops it);
        // there the control's pop-up manager, switched on for this process,
        // has let through only the windows the user asked for.
        if (!spent_ && request_ && request_(url)) {
          spent_ = true;
        }
      } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may cross back into the control
      }
    }
    return S_OK;
  }

 private:
  std::function<bool(const std::string&)> request_;
  bool spent_ = false;
};

}  // namespace

ComPtr<IDispatch> MakeBrowserEventSink(std::string control, std::function<void(Event&)> raise,
                                       NewWindows newWindows, std::weak_ptr<OwnPages> ownPages,
                                       PolicyOf policy) {
  return BrowserEventSink::Create<IDispatch>(std::move(control), std::move(raise),
                                             std::move(newWindows), std::move(ownPages),
                                             std::move(policy));
}

ComPtr<IDispatch> MakeCatcherSink(std::function<bool(const std::string&)> request) {
  return CatcherSink::Create<IDispatch>(std::move(request));
}

}  // namespace corvane::win32
