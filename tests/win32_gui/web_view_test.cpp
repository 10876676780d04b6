// The web view's Windows side: the event sink called as the control calls
// it, the late-bound calls as the control receives them, and the real
// control hosted in a window under Wine.
#include <gtest/gtest.h>
#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <urlmon.h>
#include <wininet.h>

#include <algorithm>

#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "program/browser_program.h"
#include "browser/form1.h"
#include "platform/fake/fake_backend.h"
#include "browsing/own_page_texts.h"
#include "browsing/page_policy.h"
#include "tests/support/page_policy.h"
#include "platform/win32/browser_automation.h"
#include "platform/win32/browser_events.h"
#include "platform/win32/find_in_page.h"
#include "platform/win32/text.h"
#include "platform/win32/web_browser_ahead.h"
#include "platform/win32/web_host.h"

namespace corvane::win32 {
namespace {

// A BSTR owned for one scope.
class Bstr {
 public:
  explicit Bstr(const wchar_t* text) : value_(::SysAllocString(text)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(value_); }
  [[nodiscard]] BSTR get() const { return value_; }

 private:
  BSTR value_;
};

// Calls the sink as the control does for NavigateComplete2: two arguments,
// last first, the address as a VARIANT passed by reference.
HRESULT CallNavigateComplete2(IDispatch& sink, const wchar_t* address) {
  const Bstr url(address);
  VARIANT inner;
  ::VariantInit(&inner);
  V_VT(&inner) = VT_BSTR;
  V_BSTR(&inner) = url.get();
  VARIANT args[2];
  V_VT(&args[0]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[0]) = &inner;
  V_VT(&args[1]) = VT_DISPATCH;
  V_DISPATCH(&args[1]) = nullptr;
  DISPPARAMS params{args, nullptr, 2, 0};
  return sink.Invoke(dispid::kNavigateComplete2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                     &params, nullptr, nullptr, nullptr);
}

HRESULT CallWithoutArguments(IDispatch& sink, DISPID id) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return sink.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                     nullptr);
}

TEST(BrowserEventSink, RaisesNavigateComplete2AndDownloadCompleteAndDropsEveryOtherNotification) {
  std::vector<Event> raised;
  auto sink = MakeBrowserEventSink("brwWebBrowser", [&](Event& e) { raised.push_back(e); });
  ASSERT_TRUE(sink);

  EXPECT_EQ(CallNavigateComplete2(*sink.get(), L"http://a.example/p?q=1"), S_OK);
  ASSERT_EQ(raised.size(), 1U);
  EXPECT_EQ(raised[0].type, EventType::NavigateComplete2);
  EXPECT_EQ(raised[0].control, "brwWebBrowser");
  EXPECT_EQ(raised[0].text, "http://a.example/p?q=1");

  EXPECT_EQ(CallWithoutArguments(*sink.get(), dispid::kDownloadComplete), S_OK);
  ASSERT_EQ(raised.size(), 2U);
  EXPECT_EQ(raised[1].type, EventType::DownloadComplete);
  EXPECT_EQ(raised[1].control, "brwWebBrowser");

  // BeforeNavigate2, DocumentComplete, NavigateError, TitleChange, ProgressChange.
  for (DISPID other : {250, 259, 271, 113, 108}) {
    EXPECT_EQ(CallWithoutArguments(*sink.get(), other), S_OK) << other;
  }
  EXPECT_EQ(raised.size(), 2U);
}

TEST(BrowserEventSink, AnswersAsTheEventInterfaceAndKeepsItselfWhileReferenced) {
  auto sink = MakeBrowserEventSink("brw", [](Event&) {});
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &DIID_DWebBrowserEvents2}) {
    void* out = nullptr;
    ASSERT_EQ(sink->QueryInterface(*iid, &out), S_OK);
    ASSERT_EQ(out, static_cast<void*>(sink.get()));
    EXPECT_EQ(static_cast<IUnknown*>(out)->Release(), 1U);
  }
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(sink->QueryInterface(IID_IOleObject, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(sink->AddRef(), 2U);
  EXPECT_EQ(sink->Release(), 1U);
}

TEST(BrowserEventSink, AFailingHandlerNeverReachesTheControl) {
  auto sink = MakeBrowserEventSink("brw", [](Event&) { throw Failure("handler failed"); });
  EXPECT_EQ(CallNavigateComplete2(*sink.get(), L"x"), S_OK);
  EXPECT_EQ(CallWithoutArguments(*sink.get(), dispid::kDownloadComplete), S_OK);
}

// The browser window on the fake backend, past the splash.
struct Browsing {
  fake::FakeBackend backend;
  BrowserProgram program{Ports{backend}, BuildSettings{"start.example"}};
  Browsing() {
    program.Start();
    backend.Window("frmSplash").PressKey('x');
  }
  fake::FakeWindow& Window() { return backend.Window("Form1"); }
  fake::FakeWebBrowser& Web() { return Window().Browser("brwWebBrowser"); }
};

TEST(BrowserEventSink, DrivesTheBrowserWindowExactlyLikeTheFakeWebView) {
  Browsing throughSink;
  Browsing throughFake;
  auto sink = MakeBrowserEventSink("brwWebBrowser",
                                   [&](Event& e) { throughSink.Window().Raise(e); });

  const struct {
    const char* url;
    const char* name;
  } pages[] = {{"https://start.example/", "Start"},
               {"http://b.example/", "B"},
               {"https://start.example/", "Start again"}};
  for (const auto& page : pages) {
    SCOPED_TRACE(page.url);
    for (Browsing* b : {&throughSink, &throughFake}) {
      b->Web().locationURL = page.url;
      b->Web().locationName = page.name;
    }
    ASSERT_EQ(CallNavigateComplete2(*sink.get(), ToWide(page.url).c_str()), S_OK);
    throughFake.Web().RaiseNavigateComplete2(page.url);

    auto& boxSink = throughSink.Window().Combo("cboAddress");
    auto& boxFake = throughFake.Window().Combo("cboAddress");
    EXPECT_EQ(boxSink.Items(), boxFake.Items());
    EXPECT_EQ(boxSink.ListIndex(), boxFake.ListIndex());
    EXPECT_EQ(boxSink.Text(), boxFake.Text());
    EXPECT_EQ(throughSink.Window().Caption(), throughFake.Window().Caption());
    EXPECT_EQ(throughSink.Web().calls, throughFake.Web().calls);
    EXPECT_EQ(boxSink.Text(), page.url);
    EXPECT_EQ(throughSink.Window().Caption(),
              std::string(page.name) + " - Corvane Ombrel - Varnhollow Software");
  }
  // The history: newest first, the start address as written at the bottom.
  EXPECT_EQ(throughSink.Window().Combo("cboAddress").Items(),
            (std::vector<std::string>{"https://start.example/", "http://b.example/",
                                      "start.example"}));

  // DownloadComplete sets the page caption again, and nothing else.
  for (Browsing* b : {&throughSink, &throughFake}) {
    b->Web().locationName = "Renamed";
  }
  ASSERT_EQ(CallWithoutArguments(*sink.get(), dispid::kDownloadComplete), S_OK);
  throughFake.Web().RaiseDownloadComplete();
  EXPECT_EQ(throughSink.Window().Caption(), "Renamed - Corvane Ombrel - Varnhollow Software");
  EXPECT_EQ(throughSink.Window().Caption(), throughFake.Window().Caption());
  EXPECT_EQ(throughSink.Window().Combo("cboAddress").Items(),
            throughFake.Window().Combo("cboAddress").Items());
}

// A stand-in for the control's automation interface: records each call and
// answers the properties from a script.
class RecordingControl final : public IDispatch {
 public:
  struct Call {
    DISPID id;
    WORD flags;
    UINT arguments;
    VARTYPE firstType;
    std::string firstText;
    std::vector<VARTYPE> types{};  // every argument, last first
    std::vector<long> numbers{};   // their numbers (0 where none)
  };
  std::vector<Call> calls;
  std::wstring name = L"Page";
  std::wstring url = L"http://page.example/";
  VARIANT_BOOL busy = VARIANT_TRUE;
  long zoom = 100;  // ExecWB's answer
  DISPID failing = 0;
  ULONG refs = 1;
  IDispatch* document = nullptr;  // its Document property

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    Call call{id, flags, params->cArgs, VT_EMPTY, {}};
    if (params->cArgs > 0) {
      call.firstType = V_VT(&params->rgvarg[0]);
      if (call.firstType == VT_BSTR) {
        call.firstText = ToUtf8(V_BSTR(&params->rgvarg[0]),
                                static_cast<int>(::SysStringLen(V_BSTR(&params->rgvarg[0]))));
      }
    }
    for (UINT i = 0; i < params->cArgs; ++i) {
      VARIANT& argument = params->rgvarg[i];
      call.types.push_back(V_VT(&argument));
      call.numbers.push_back(V_VT(&argument) == VT_I4 ? V_I4(&argument) : 0);
    }
    calls.push_back(call);
    if (id == failing) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (result != nullptr && (flags & DISPATCH_PROPERTYGET) != 0) {
      if (id == dispid::kLocationName || id == dispid::kLocationURL) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ::SysAllocString((id == dispid::kLocationName ? name : url).c_str());
      } else if (id == dispid::kBusy) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = busy;
      } else if (id == kDocumentId && document != nullptr) {
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = document;
      }
    }
    if (id == dispid::kExecWB && params->cArgs == 4 &&
        V_VT(&params->rgvarg[0]) == (VT_BYREF | VT_VARIANT)) {
      V_VT(V_VARIANTREF(&params->rgvarg[0])) = VT_I4;
      V_I4(V_VARIANTREF(&params->rgvarg[0])) = zoom;
    }
    return S_OK;
  }
};

ComPtr<IDispatch> Borrow(RecordingControl& control) {
  control.AddRef();
  return ComPtr<IDispatch>::Adopt(&control);
}

TEST(BrowserAutomation, EachOperationIsOneMethodCallWithItsDispatchId) {
  const struct {
    const char* what;
    std::function<void(const BrowserAutomation&)> call;
    DISPID id;
  } operations[] = {
      {"GoBack", [](const BrowserAutomation& a) { a.GoBack(); }, 100},
      {"GoForward", [](const BrowserAutomation& a) { a.GoForward(); }, 101},
      {"GoHome", [](const BrowserAutomation& a) { a.GoHome(); }, 102},
      {"GoSearch", [](const BrowserAutomation& a) { a.GoSearch(); }, 103},
      {"Refresh", [](const BrowserAutomation& a) { a.Refresh(); }, -550},
      {"Stop", [](const BrowserAutomation& a) { a.Stop(); }, 106},
  };
  for (const auto& op : operations) {
    SCOPED_TRACE(op.what);
    RecordingControl control;
    {
      const BrowserAutomation automation(Borrow(control));
      op.call(automation);
    }
    ASSERT_EQ(control.calls.size(), 1U);
    EXPECT_EQ(control.calls[0].id, op.id);
    EXPECT_EQ(control.calls[0].flags, DISPATCH_METHOD);
    EXPECT_EQ(control.calls[0].arguments, 0U);
    EXPECT_EQ(control.refs, 1U) << "a reference was kept";
  }
}

TEST(BrowserAutomation, NavigatePassesTheAddressAsItsOnlyArgument) {
  RecordingControl control;
  const BrowserAutomation automation(Borrow(control));
  automation.Navigate("http://x.example/ä");
  automation.Navigate("");
  ASSERT_EQ(control.calls.size(), 2U);
  EXPECT_EQ(control.calls[0].id, 104);
  EXPECT_EQ(control.calls[0].arguments, 1U);
  EXPECT_EQ(control.calls[0].firstType, VT_BSTR);
  EXPECT_EQ(control.calls[0].firstText, "http://x.example/ä");
  EXPECT_EQ(control.calls[1].firstText, "");
}

TEST(BrowserAutomation, PropertiesAreReadWithPropertyGetsAndConverted) {
  RecordingControl control;
  const BrowserAutomation automation(Borrow(control));
  EXPECT_EQ(automation.LocationName(), "Page");
  EXPECT_EQ(automation.LocationURL(), "http://page.example/");
  EXPECT_TRUE(automation.Busy());
  control.busy = VARIANT_FALSE;
  control.name.clear();
  EXPECT_FALSE(automation.Busy());
  EXPECT_EQ(automation.LocationName(), "");
  std::vector<DISPID> ids;
  for (const auto& call : control.calls) {
    EXPECT_EQ(call.flags, DISPATCH_PROPERTYGET);
    ids.push_back(call.id);
  }
  EXPECT_EQ(ids, (std::vector<DISPID>{210, 211, 212, 212, 210}));
}

TEST(BrowserAutomation, ARefusedCallIsAFailure) {
  RecordingControl control;
  const BrowserAutomation automation(Borrow(control));
  control.failing = 104;
  EXPECT_THROW(automation.Navigate("x"), Failure);
  control.failing = 212;
  EXPECT_THROW((void)automation.Busy(), Failure);
  control.failing = 210;
  EXPECT_THROW((void)automation.LocationName(), Failure);
}

// The control's new-window requests, built as the control makes them: the
// arguments last first, the window and Cancel passed by reference.
struct NewWindowCall {
  IDispatch* window = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  HRESULT result = E_FAIL;
};

NewWindowCall CallNewWindow2(IDispatch& sink) {
  NewWindowCall call;
  VARIANT args[2];
  V_VT(&args[0]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&args[0]) = &call.cancel;
  V_VT(&args[1]) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&args[1]) = &call.window;
  DISPPARAMS params{args, nullptr, 2, 0};
  call.result = sink.Invoke(dispid::kNewWindow2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                            &params, nullptr, nullptr, nullptr);
  return call;
}

NewWindowCall CallNewWindow3(IDispatch& sink, const wchar_t* address, VARTYPE flagsType,
                             ULONG flags) {
  NewWindowCall call;
  const Bstr url(address);
  const Bstr context(L"http://page.example/");
  VARIANT args[5];
  V_VT(&args[0]) = VT_BSTR;
  V_BSTR(&args[0]) = url.get();
  V_VT(&args[1]) = VT_BSTR;
  V_BSTR(&args[1]) = context.get();
  V_VT(&args[2]) = flagsType;
  V_UI4(&args[2]) = flags;
  V_VT(&args[3]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&args[3]) = &call.cancel;
  V_VT(&args[4]) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&args[4]) = &call.window;
  DISPPARAMS params{args, nullptr, 5, 0};
  call.result = sink.Invoke(dispid::kNewWindow3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                            &params, nullptr, nullptr, nullptr);
  return call;
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers,
// Cancel); answers Cancel.
VARIANT_BOOL CallBeforeNavigate2(IDispatch& sink, const wchar_t* address) {
  VARIANT_BOOL cancel = VARIANT_FALSE;
  const Bstr url(address);
  VARIANT inner;
  V_VT(&inner) = VT_BSTR;
  V_BSTR(&inner) = url.get();
  VARIANT empty;
  V_VT(&empty) = VT_EMPTY;
  VARIANT args[7];
  V_VT(&args[0]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&args[0]) = &cancel;
  for (int i : {1, 2, 3, 4}) {
    V_VT(&args[i]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[i]) = &empty;
  }
  V_VT(&args[5]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[5]) = &inner;
  V_VT(&args[6]) = VT_DISPATCH;
  V_DISPATCH(&args[6]) = nullptr;
  DISPPARAMS params{args, nullptr, 7, 0};
  EXPECT_EQ(sink.Invoke(dispid::kBeforeNavigate2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                        &params, nullptr, nullptr, nullptr),
            S_OK);
  return cancel;
}

using testing::PolicyHost;

constexpr ULONG kUserInitiated = 0x2;   // a click
constexpr ULONG kUserRequested = 0x80;  // "open in new window"
constexpr ULONG kFirst = 0x4;

TEST(BrowserEventSink, NewWindowRequestsAreCancelledAndOpenInTheViewItself) {
  const struct {
    const char* what;
    DISPID event;
    const wchar_t* address;  // NewWindow3
    VARTYPE flagsType;
    ULONG flags;
    bool haveCatcher;  // NewWindow2
    bool cancelled;
    const char* navigated;  // the view's Navigate, or none
    bool caught;            // the catcher went out as the new window
  } cases[] = {
      {"a link to a new window", 273, L"http://b.example/p?q=1", VT_I4, kUserInitiated | kFirst,
       true, true, "http://b.example/p?q=1", false},
      {"open in new window", 273, L"http://c.example/", VT_UI4, kUserRequested, true, true,
       "http://c.example/", false},
      {"a popup without the user", 273, L"http://ads.example/", VT_I4, kFirst, true, true, nullptr,
       false},
      {"a blank window for a script", 273, L"about:blank", VT_I4, kUserInitiated, true, true,
       nullptr, false},
      {"no address", 273, L"", VT_I4, kUserInitiated, true, true, nullptr, false},
      {"a script address from a click", 273, L"JavaScript:alert(1)", VT_I4, kUserInitiated, true,
       true, nullptr, false},
      {"no address known yet", 251, nullptr, VT_EMPTY, 0, true, false, nullptr, true},
      {"no catcher to be had", 251, nullptr, VT_EMPTY, 0, false, true, nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingControl view;
    RecordingControl catcher;
    int catchers = 0;
    std::vector<Event> raised;
    PolicyHost page;
    page.load = [&](const std::string& uri) { BrowserAutomation(Borrow(view)).Navigate(uri); };
    {
      auto sink = MakeBrowserEventSink(
          "brwWebBrowser", [&](Event& e) { raised.push_back(e); },
          WebHost::OpenIn(page.Requests(), [&]() -> ComPtr<IDispatch> {
            ++catchers;
            return c.haveCatcher ? Borrow(catcher) : ComPtr<IDispatch>();
          }));
      const NewWindowCall call = c.event == dispid::kNewWindow3
                                     ? CallNewWindow3(*sink.get(), c.address, c.flagsType, c.flags)
                                     : CallNewWindow2(*sink.get());
      EXPECT_EQ(call.result, S_OK);
      EXPECT_EQ(call.cancel, c.cancelled ? VARIANT_TRUE : VARIANT_FALSE);
      EXPECT_EQ(call.window, c.caught ? static_cast<IDispatch*>(&catcher) : nullptr);
      if (call.window != nullptr) {
        call.window->Release();  // the control's reference
      }
    }
    EXPECT_EQ(catchers, c.event == dispid::kNewWindow2 ? 1 : 0);
    if (c.navigated != nullptr) {
      ASSERT_EQ(view.calls.size(), 1U);
      EXPECT_EQ(view.calls[0].id, dispid::kNavigate);
      EXPECT_EQ(view.calls[0].firstText, c.navigated);
    } else {
      EXPECT_TRUE(view.calls.empty());
    }
    EXPECT_TRUE(raised.empty()) << "a request for a window is no navigation of the view";
    EXPECT_EQ(view.refs, 1U);
    EXPECT_EQ(catcher.refs, 1U);
  }
}

TEST(BrowserEventSink, ANewWindowIsRefusedWhateverGoesWrong) {
  auto sink = MakeBrowserEventSink(
      "brw", [](Event&) {},
      NewWindows{.request = [](const std::string&, bool) -> bool { throw Failure("view gone"); },
                 .catcher = []() -> ComPtr<IDispatch> { throw Failure("no control"); },
                 .decided = [] { throw Failure("host gone"); }});
  EXPECT_EQ(CallNewWindow3(*sink.get(), L"http://b.example/", VT_I4, kUserInitiated).cancel,
            VARIANT_TRUE);
  const NewWindowCall two = CallNewWindow2(*sink.get());
  EXPECT_EQ(two.cancel, VARIANT_TRUE);
  EXPECT_EQ(two.window, nullptr);
  // A sink that knows nothing about new windows refuses them too.
  auto plain = MakeBrowserEventSink("brw", [](Event&) {});
  EXPECT_EQ(CallNewWindow2(*plain.get()).cancel, VARIANT_TRUE);
  EXPECT_EQ(CallNewWindow3(*plain.get(), L"http://b.example/", VT_I4, kUserInitiated).cancel,
            VARIANT_TRUE);
}

TEST(BrowserEventSink, TheControlsOwnDownloadPromptIsLeftAlone) {
  RecordingControl view;
  PolicyHost page;
  page.load = [&](const std::string& uri) { BrowserAutomation(Borrow(view)).Navigate(uri); };
  auto sink = MakeBrowserEventSink("brw", [](Event&) {},
                                   WebHost::OpenIn(page.Requests(), [] { return ComPtr<IDispatch>(); }));
  // FileDownload(ActiveDocument, Cancel), last first.
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[2];
  V_VT(&args[0]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&args[0]) = &cancel;
  V_VT(&args[1]) = VT_BOOL;
  V_BOOL(&args[1]) = VARIANT_FALSE;
  DISPPARAMS params{args, nullptr, 2, 0};
  constexpr DISPID kFileDownload = 270;
  EXPECT_EQ(sink->Invoke(kFileDownload, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                         nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(cancel, VARIANT_FALSE);
  EXPECT_TRUE(view.calls.empty());
}

TEST(CatcherSink, CancelsEveryNavigationAndOpensTheFirstRealAddressInTheView) {
  PolicyHost page;
  const std::vector<std::string>& opened = page.loads;
  auto sink = MakeCatcherSink([&](const std::string& address) { return page.policy.NewWindow(address, true); });
  const struct {
    const wchar_t* address;
    std::vector<std::string> opened;
  } steps[] = {
      {L"about:blank", {}},
      {L"http://popup.example/a", {"http://popup.example/a"}},
      {L"http://popup.example/b", {"http://popup.example/a"}},  // only the first
  };
  for (const auto& step : steps) {
    EXPECT_EQ(CallBeforeNavigate2(*sink.get(), step.address), VARIANT_TRUE);
    EXPECT_EQ(opened, step.opened);
  }
  EXPECT_EQ(CallNewWindow2(*sink.get()).cancel, VARIANT_TRUE);
  EXPECT_EQ(CallNewWindow3(*sink.get(), L"http://x.example/", VT_I4, kUserInitiated).cancel,
            VARIANT_TRUE);
  EXPECT_EQ(opened.size(), 1U);
}

TEST(BrowserAutomation, ZoomIsTheControlsOpticalZoomInPercent) {
  constexpr long kOpticalZoom = 63;
  constexpr long kDontPrompt = 2;
  const struct {
    float factor;
    long percent;
  } settings[] = {{1.0F, 100}, {1.1F, 110}, {0.333F, 33}, {0.01F, 10}, {50.0F, 1000}};
  for (const auto& setting : settings) {
    SCOPED_TRACE(setting.factor);
    RecordingControl control;
    BrowserAutomation(Borrow(control)).SetZoom(setting.factor);
    ASSERT_EQ(control.calls.size(), 1U);
    const auto& call = control.calls[0];
    EXPECT_EQ(call.id, dispid::kExecWB);
    EXPECT_EQ(call.flags, DISPATCH_METHOD);
    EXPECT_EQ(call.types, (std::vector<VARTYPE>{VT_BYREF | VT_VARIANT, VT_I4, VT_I4, VT_I4}));
    EXPECT_EQ(call.numbers, (std::vector<long>{0, setting.percent, kDontPrompt, kOpticalZoom}));
  }
  for (float wrong : {0.0F, -1.0F, std::numeric_limits<float>::quiet_NaN()}) {
    RecordingControl control;
    EXPECT_THROW(BrowserAutomation(Borrow(control)).SetZoom(wrong), Failure);
    EXPECT_TRUE(control.calls.empty());
  }

  RecordingControl control;
  control.zoom = 125;
  EXPECT_FLOAT_EQ(BrowserAutomation(Borrow(control)).Zoom(), 1.25F);
  ASSERT_EQ(control.calls.size(), 1U);
  EXPECT_EQ(control.calls[0].types,
            (std::vector<VARTYPE>{VT_BYREF | VT_VARIANT, VT_ERROR, VT_I4, VT_I4}));
  control.zoom = 0;  // no answer
  EXPECT_THROW((void)BrowserAutomation(Borrow(control)).Zoom(), Failure);
  control.failing = dispid::kExecWB;
  EXPECT_THROW(BrowserAutomation(Borrow(control)).SetZoom(2.0F), Failure);
}

// Print and save are the control's own commands, each asking the user with
// the control's dialog.
TEST(BrowserAutomation, PrintAndSaveAreTheControlsCommandsWithItsDialogs) {
  constexpr long kPromptUser = 1;
  const struct {
    const char* name;
    void (BrowserAutomation::*operation)() const;
    long command;
  } commands[] = {{"Print", &BrowserAutomation::Print, 6},  // OLECMDID_PRINT
                  {"SavePage", &BrowserAutomation::SavePage, 4}};  // OLECMDID_SAVEAS
  for (const auto& command : commands) {
    SCOPED_TRACE(command.name);
    RecordingControl control;
    (BrowserAutomation(Borrow(control)).*command.operation)();
    ASSERT_EQ(control.calls.size(), 1U);
    EXPECT_EQ(control.calls[0].id, dispid::kExecWB);
    EXPECT_EQ(control.calls[0].types,
              (std::vector<VARTYPE>{VT_BYREF | VT_VARIANT, VT_ERROR, VT_I4, VT_I4}));
    EXPECT_EQ(control.calls[0].numbers, (std::vector<long>{0, 0, kPromptUser, command.command}));
    control.failing = dispid::kExecWB;  // no engine, or the control refuses
    EXPECT_THROW((BrowserAutomation(Borrow(control)).*command.operation)(), Failure);
  }
}

// ---- our own pages ---------------------------------------------------------

const std::string kFailed = "http://a.example/p?q=<1>";

std::optional<std::string> HtmlOf(const std::optional<OwnPageText>& page) {
  return page ? std::optional<std::string>(OwnPageHtml(*page)) : std::nullopt;
}

// The page the policy orders for a navigation of kFailed that failed with
// `status`, as the control's failure is reported to it.
std::optional<std::string> PageFor(long status, const std::string& detail) {
  PolicyHost page;
  std::optional<std::string> html;
  page.show = [&](const OwnPage& shown) { html = shown.html; };
  if (const std::optional<NavigateFailure> failure = NavigateFailureOf(status)) {
    OwnPages::ReportTo(page.Of())(kFailed, *failure, detail);
  }
  return html;
}

TEST(OwnPages, EachStatusGivesTheCoresPageAndHttpStatusesAndStopsNone) {
  const auto load = [](LoadFailure why) { return LoadFailedText(kFailed, why, "words"); };
  const auto cert = [](unsigned problems) { return CertificateText(kFailed, problems); };
  const struct {
    long status;
    std::optional<OwnPageText> page;
  } cases[] = {
      {INET_E_RESOURCE_NOT_FOUND, load(LoadFailure::kServerNotFound)},
      {HRESULT_FROM_WIN32(ERROR_INTERNET_NAME_NOT_RESOLVED), load(LoadFailure::kServerNotFound)},
      {INET_E_CANNOT_CONNECT, load(LoadFailure::kConnectionRefused)},
      {INET_E_CONNECTION_TIMEOUT, load(LoadFailure::kTimedOut)},
      {INET_E_UNKNOWN_PROTOCOL, load(LoadFailure::kAddressNotUnderstood)},
      {INET_E_INVALID_CERTIFICATE, cert(0)},
      {INET_E_SECURITY_PROBLEM, cert(0)},
      {ERROR_INTERNET_SEC_CERT_CN_INVALID, cert(certificate::kOtherSite)},
      {ERROR_INTERNET_SEC_CERT_DATE_INVALID, cert(certificate::kExpired)},
      {ERROR_INTERNET_INVALID_CA, cert(certificate::kUnknownAuthority)},
      {HRESULT_FROM_WIN32(ERROR_INTERNET_SEC_CERT_REVOKED), cert(certificate::kRevoked)},
      {INET_E_DOWNLOAD_FAILURE, load(LoadFailure::kOther)},
      {404, std::nullopt},
      {E_ABORT, std::nullopt},
      {INET_E_TERMINATED_BIND, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.status);
    EXPECT_EQ(PageFor(c.status, "words"), HtmlOf(c.page));
  }
}

// The control's document: keeps the markup it is given through
// IPersistStreamInit (its other members are not called).
class StandInDocument final : public IDispatch, public IPersistStreamInit {
 public:
  std::string loaded;
  int loads = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IPersistStreamInit) ? static_cast<IPersistStreamInit*>(this)
                                                   : static_cast<IUnknown*>(static_cast<IDispatch*>(this));
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override {
    char buffer[256];
    ULONG read = 0;
    ++loads;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0) {
      loaded.append(buffer, read);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }
};

// Calls the sink as the control does: the window as an object, then
// `values` each by reference, then Cancel by reference when given; last
// first.
HRESULT Notify(IDispatch& sink, DISPID id, IDispatch* window, std::vector<VARIANT> values,
               VARIANT_BOOL* cancel = nullptr) {
  std::vector<VARIANT> args(1);
  V_VT(&args[0]) = VT_DISPATCH;
  V_DISPATCH(&args[0]) = window;
  for (VARIANT& value : values) {
    args.emplace_back();
    V_VT(&args.back()) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args.back()) = &value;
  }
  if (cancel != nullptr) {
    args.emplace_back();
    V_VT(&args.back()) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&args.back()) = cancel;
  }
  std::reverse(args.begin(), args.end());
  DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  return sink.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                     nullptr, nullptr);
}

VARIANT Value(const Bstr& text) {
  VARIANT value;
  V_VT(&value) = VT_BSTR;
  V_BSTR(&value) = text.get();
  return value;
}

VARIANT Value(long number) {
  VARIANT value;
  V_VT(&value) = VT_I4;
  V_I4(&value) = number;
  return value;
}

// The files in the temporary folder.
std::vector<std::wstring> TemporaryFiles() {
  wchar_t folder[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, folder);
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((std::wstring(folder) + L"*").c_str(), &found);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &found)) {
    names.emplace_back(found.cFileName);
  }
  ::FindClose(search);
  return names;
}

// From the error to our markup in the document: the page of the status,
// at the address that failed (without a page engine, with no document);
// none for an HTTP status nor for a frame's error; gone at the next page.
TEST(OwnPages, ANavigateErrorOfTheTopLevelBringsOurPageIntoTheControl) {
  const auto load = [](LoadFailure why) { return LoadFailedText(kFailed, why); };
  const struct {
    const char* what;
    long status;
    bool inFrame;
    std::optional<OwnPageText> page;
    bool noEngine = false;  // the control makes no document for our page
  } cases[] = {
      {"server not found", INET_E_RESOURCE_NOT_FOUND, false, load(LoadFailure::kServerNotFound)},
      {"refused", INET_E_CANNOT_CONNECT, false, load(LoadFailure::kConnectionRefused)},
      {"certificate", ERROR_INTERNET_SEC_CERT_CN_INVALID, false,
       CertificateText(kFailed, certificate::kOtherSite)},
      {"no page engine", INET_E_CONNECTION_TIMEOUT, false, load(LoadFailure::kTimedOut), true},
      {"the server's own page", 404, false, std::nullopt},
      {"a frame's error", INET_E_RESOURCE_NOT_FOUND, true, std::nullopt},
  };
  const std::vector<std::wstring> files = TemporaryFiles();
  const Bstr failed(ToWide(kFailed).c_str());
  const Bstr blank(L"about:blank");
  const Bstr next(L"http://b.example/");
  const Bstr none(L"");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingControl view;
    RecordingControl frame;
    StandInDocument document;
    view.document = &document;
    std::vector<std::function<void()>> later;
    PolicyHost page;
    const auto pages = std::make_shared<OwnPages>(
        Borrow(view), [&](auto task) { later.push_back(task); }, OwnPages::ReportTo(page.Of()));
    page.show = [&](const OwnPage& shown) { pages->Show(shown); };
    std::vector<std::string> reached;
    auto sink = MakeBrowserEventSink("brw", [&](Event& e) { reached.push_back(e.text); }, {},
                                     pages);
    const auto runLater = [&] {
      for (auto tasks = std::exchange(later, {}); auto& task : tasks) {
        task();
      }
    };
    const auto navigate = [&](const Bstr& address) {
      VARIANT_BOOL cancel = VARIANT_FALSE;
      Notify(*sink.get(), dispid::kBeforeNavigate2, &view,
             {Value(address), Value(0L), Value(none), Value(0L), Value(none)}, &cancel);
      Notify(*sink.get(), dispid::kNavigateComplete2, &view, {Value(address)});
      Notify(*sink.get(), dispid::kDocumentComplete, &view, {Value(address)});
    };

    VARIANT_BOOL cancel = VARIANT_FALSE;
    Notify(*sink.get(), dispid::kNavigateError, c.inFrame ? &frame : &view,
           {Value(failed), Value(none), Value(c.status)}, &cancel);
    EXPECT_EQ(cancel, c.page ? VARIANT_TRUE : VARIANT_FALSE);
    EXPECT_TRUE(view.calls.empty()) << "called from inside the notification";
    runLater();
    ASSERT_EQ(view.calls.size(), c.page ? 1U : 0U);
    if (!c.page) {
      EXPECT_EQ(pages->Shown(), nullptr);
      continue;
    }
    EXPECT_EQ(view.calls[0].firstText, "about:blank");
    if (c.noEngine) {
      Notify(*sink.get(), dispid::kNavigateError, &view,
             {Value(blank), Value(none), Value(INET_E_CANNOT_INSTANTIATE_OBJECT)}, &cancel);
    } else {
      navigate(blank);
      EXPECT_EQ(document.loads, 0) << "loaded from inside the notification";
      runLater();
      EXPECT_EQ(document.loaded, "\xEF\xBB\xBF" + OwnPageHtml(*c.page));
      // Our document completes once more as it is loaded: still ours.
      Notify(*sink.get(), dispid::kNavigateComplete2, &view, {Value(blank)});
      Notify(*sink.get(), dispid::kDocumentComplete, &view, {Value(blank)});
      runLater();
      EXPECT_EQ(document.loads, 1);
    }
    EXPECT_EQ(reached.back(), kFailed);
    ASSERT_NE(pages->Shown(), nullptr);
    EXPECT_EQ(pages->Shown()->html, HtmlOf(c.page));

    navigate(next);  // Back to the page before, say
    EXPECT_EQ(pages->Shown(), nullptr);
    EXPECT_EQ(reached.back(), "http://b.example/");
  }
  EXPECT_EQ(TemporaryFiles(), files) << "a file was written";
}

// A top-level window of the given size, for a host or for keys to go to.
WindowHandle TopLevel(int width, int height) {
  return WindowHandle(::CreateWindowExW(0, L"STATIC", L"window", WS_OVERLAPPEDWINDOW, 0, 0, width,
                                        height, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                        nullptr));
}

// The system's own control, hosted in place under Wine. Wine has no web
// engine here, but the control is created, takes Navigate and reports
// DownloadComplete.
TEST(WebHost, HostsTheSystemControlAndPassesItsNotificationsOn) {
  const ComApartment com;
  const WindowHandle owned = TopLevel(400, 300);
  ASSERT_TRUE(owned);
  HWND window = owned.get();
  std::vector<EventType> raised;
  {
    WebHost host(window, "brwWebBrowser", [&](Event& e) { raised.push_back(e.type); });
    ASSERT_TRUE(host.Ready()) << "the WebBrowser control could not be hosted";
    host.Fit();
    ASSERT_NO_THROW(host.Automation().Navigate("about:blank"));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end &&
           std::find(raised.begin(), raised.end(), EventType::DownloadComplete) == raised.end()) {
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_NE(std::find(raised.begin(), raised.end(), EventType::DownloadComplete), raised.end());
    EXPECT_NO_THROW((void)host.Automation().Busy());
  }
  // Gone hosts raise nothing.
  const auto count = raised.size();
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    ::DispatchMessageW(&message);
  }
  EXPECT_EQ(raised.size(), count);
}

// The file of the control's server as the system registers it, or "".
std::wstring WebBrowserServer() {
  wchar_t path[MAX_PATH] = {};
  LONG size = sizeof path - sizeof(wchar_t);
  if (::RegQueryValueW(HKEY_CLASSES_ROOT,
                       L"CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32", path,
                       &size) != ERROR_SUCCESS) {
    return {};
  }
  const std::wstring name(path);
  const auto slash = name.find_last_of(L"\\/");
  return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

BOOL CALLBACK CountWindow(HWND /*window*/, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int ThreadWindows() {
  int count = 0;
  ::EnumThreadWindows(::GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

// The control made ahead, as while the splash is shown: only from the
// message loop, after the window on screen has been drawn; its server stays
// loaded and no window is left behind.
TEST(WebHost, TheControlIsMadeAheadOnceTheWindowShownIsDrawn) {
  const ComApartment com;
  const std::wstring server = WebBrowserServer();
  ASSERT_FALSE(server.empty()) << "no WebBrowser control is registered";
  ASSERT_EQ(::GetModuleHandleW(server.c_str()), nullptr);  // nothing made yet in this process
  const WindowHandle shown = TopLevel(200, 100);
  ASSERT_TRUE(shown);
  ::ShowWindow(shown.get(), SW_SHOWNA);
  const int windows = ThreadWindows();

  MakeWebBrowserAhead();
  EXPECT_FALSE(WebBrowserMadeAhead());
  EXPECT_EQ(::GetModuleHandleW(server.c_str()), nullptr);
  bool drawnFirst = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!WebBrowserMadeAhead() && std::chrono::steady_clock::now() < end) {
    MSG message;
    if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) == FALSE) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    if (message.message == WM_PAINT && message.hwnd == shown.get() && !WebBrowserMadeAhead()) {
      drawnFirst = true;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  EXPECT_TRUE(WebBrowserMadeAhead());
  EXPECT_TRUE(drawnFirst);
  EXPECT_NE(::GetModuleHandleW(server.c_str()), nullptr);
  EXPECT_EQ(ThreadWindows(), windows);
}

// The dispatch ids this program uses are the ones the system's control
// gives its members.
TEST(WebHost, TheDispatchIdsAreTheSystemControls) {
  const ComApartment com;
  const WindowHandle owned = TopLevel(200, 100);
  ASSERT_TRUE(owned);
  WebHost host(owned.get(), "brw", [](Event&) {});
  ASSERT_TRUE(host.Ready());
  ComPtr<IDispatch> control;
  ASSERT_NO_THROW(control = host.Automation().Dispatch());
  const struct {
    const wchar_t* name;
    DISPID id;
  } members[] = {{L"GoBack", dispid::kGoBack},       {L"GoForward", dispid::kGoForward},
                 {L"GoHome", dispid::kGoHome},       {L"GoSearch", dispid::kGoSearch},
                 {L"Navigate", dispid::kNavigate},   {L"Stop", dispid::kStop},
                 {L"Refresh", dispid::kRefresh},     {L"LocationName", dispid::kLocationName},
                 {L"LocationURL", dispid::kLocationURL}, {L"Busy", dispid::kBusy},
                 {L"RegisterAsBrowser", dispid::kRegisterAsBrowser},
                 {L"ExecWB", dispid::kExecWB}};
  for (const auto& member : members) {
    std::wstring name = member.name;
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    ASSERT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK)
        << ToUtf8(name);
    EXPECT_EQ(id, member.id) << ToUtf8(name);
  }
}

// Runs the thread's messages until `done` or the time is up.
bool PumpUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) {
      return false;
    }
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The system's control hosted for real: a request for a new window with an
// address is cancelled and the control itself navigates there; one without
// gets a hidden control of the same kind as the new window, and the
// navigation that control is given goes to the view instead.
TEST(WebHost, NewWindowsOfTheSystemControlOpenInItself) {
  const ComApartment com;
  const WindowHandle owned = TopLevel(400, 300);
  ASSERT_TRUE(owned);
  std::vector<EventType> raised;
  PolicyHost page;
  WebHost host(owned.get(), "brwWebBrowser", [&](Event& e) { raised.push_back(e.type); }, {},
               page.Of());
  page.load = [&](const std::string& uri) { host.Automation().Navigate(uri); };
  ASSERT_TRUE(host.Ready()) << "the WebBrowser control could not be hosted";
  auto sink = host.Sink();
  ASSERT_TRUE(sink);

  const auto at = [&](const std::string& address) {
    return PumpUntil([&] { return host.Automation().LocationURL() == address; });
  };
  // Port 9 on loopback: nothing answers, and the address stays.
  const NewWindowCall three =
      CallNewWindow3(*sink.get(), L"http://127.0.0.1:9/three", VT_I4, kUserInitiated);
  EXPECT_EQ(three.cancel, VARIANT_TRUE);
  EXPECT_EQ(three.window, nullptr);
  EXPECT_TRUE(at("http://127.0.0.1:9/three"));

  const NewWindowCall two = CallNewWindow2(*sink.get());
  EXPECT_EQ(two.cancel, VARIANT_FALSE);
  ASSERT_NE(two.window, nullptr);
  const auto standIn = ComPtr<IDispatch>::Adopt(two.window);
  EXPECT_NE(standIn.get(), sink.get());
  // What the control does with the new window it was given.
  BrowserAutomation(standIn).Navigate("http://127.0.0.1:9/two");
  EXPECT_TRUE(at("http://127.0.0.1:9/two"));
  EXPECT_EQ(BrowserAutomation(standIn).LocationURL(), "") << "the stand-in went somewhere";

  // A stand-in handed out just before a request with an address was
  // decided (here: refused, no user's action) follows nothing.
  const NewWindowCall first = CallNewWindow2(*sink.get());
  ASSERT_NE(first.window, nullptr);
  const auto late = ComPtr<IDispatch>::Adopt(first.window);
  EXPECT_EQ(CallNewWindow3(*sink.get(), L"http://127.0.0.1:9/popup", VT_I4, kFirst).cancel,
            VARIANT_TRUE);
  // The stand-in hears of its navigation before Navigate returns.
  BrowserAutomation(late).Navigate("http://127.0.0.1:9/popup");
  EXPECT_EQ(host.Automation().LocationURL(), "http://127.0.0.1:9/two");
  EXPECT_EQ(BrowserAutomation(late).LocationURL(), "");
}

// Stands for a page's active object: takes Tab, leaves other keys, and
// counts what it is offered and how many hold it.
class PageKeys final : public IOleInPlaceActiveObject {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow) ||
        IsEqualIID(iid, IID_IOleInPlaceActiveObject)) {
      *out = static_cast<IOleInPlaceActiveObject*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = nullptr;
    return E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override {
    offered.push_back(message->wParam);
    return message->wParam == VK_TAB ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

  int refs = 1;
  std::vector<WPARAM> offered;
};

TEST(WebHost, KeysForTheControlGoFirstToTheActiveObjectItNamed) {
  const ComApartment com;
  const WindowHandle owned = TopLevel(400, 300);
  ASSERT_TRUE(owned);
  HWND window = owned.get();
  HWND inside = ::CreateWindowExW(0, L"STATIC", L"page", WS_CHILD, 0, 0, 10, 10, window,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
  const WindowHandle other = TopLevel(10, 10);
  HWND elsewhere = other.get();
  PageKeys page;
  {
    WebHost host(window, "brwWebBrowser", [](Event&) {});
    ASSERT_TRUE(host.Ready()) << "the WebBrowser control could not be hosted";
    auto frame = host.Frame();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->SetActiveObject(&page, nullptr), S_OK);

    struct Case {
      HWND to;
      UINT message;
      WPARAM key;
      bool taken;
      bool offered;
    };
    for (const Case& c : {Case{inside, WM_KEYDOWN, VK_TAB, true, true},
                          Case{window, WM_KEYUP, VK_TAB, true, true},
                          Case{inside, WM_KEYDOWN, 'A', false, true},
                          Case{elsewhere, WM_KEYDOWN, VK_TAB, false, false},
                          Case{inside, WM_CHAR, L'\t', false, false},
                          Case{inside, WM_SYSKEYDOWN, 'A', false, false}}) {
      SCOPED_TRACE(::testing::Message() << "message " << c.message << " key " << c.key);
      page.offered.clear();
      MSG message{c.to, c.message, c.key, 0, 0, {0, 0}};
      EXPECT_EQ(host.TranslateKey(message), c.taken);
      EXPECT_EQ(page.offered, c.offered ? std::vector<WPARAM>{c.key} : std::vector<WPARAM>{});
    }

    // Once the control names none, keys take their usual way.
    ASSERT_EQ(frame->SetActiveObject(nullptr, nullptr), S_OK);
    EXPECT_EQ(page.refs, 1);
    page.offered.clear();
    MSG tab{inside, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_FALSE(host.TranslateKey(tab));
    EXPECT_TRUE(page.offered.empty());
    ASSERT_EQ(frame->SetActiveObject(&page, nullptr), S_OK);
    EXPECT_EQ(page.refs, 2);
  }
  EXPECT_EQ(page.refs, 1);  // the gone host holds it no more
}

// The system's control (under Wine): nothing answers on port 9 of
// loopback, and the view is at our page for that address. Without a page
// engine the control makes no document for it: the page stays blank.
TEST(WebHost, TheSystemControlShowsOurPageForAnAddressThatRefuses) {
  const ComApartment com;
  const WindowHandle owned = TopLevel(400, 300);
  ASSERT_TRUE(owned);
  std::vector<std::function<void()>> later;
  std::vector<std::string> reached;
  PolicyHost page;
  WebHost host(
      owned.get(), "brw", [&](Event& e) { reached.push_back(e.text); },
      [&](std::function<void()> task) { later.push_back(std::move(task)); }, page.Of());
  page.show = [&](const OwnPage& shown) { host.Show(shown); };
  ASSERT_TRUE(host.Ready()) << "the WebBrowser control could not be hosted";
  const std::string address = "http://127.0.0.1:9/refused";
  host.Automation().Navigate(address);
  ASSERT_TRUE(PumpUntil([&] {
    for (auto tasks = std::exchange(later, {}); auto& task : tasks) {
      task();
    }
    return host.Shown() != nullptr;
  }));
  // The system's control says it cannot connect; Wine's that the download failed.
  const std::string title = host.Shown()->title;
  EXPECT_TRUE(title == LoadFailedText(address, LoadFailure::kConnectionRefused).title ||
              title == LoadFailedText(address, LoadFailure::kOther).title)
      << title;
  EXPECT_EQ(host.Shown()->address, address);
  EXPECT_NE(std::find(reached.begin(), reached.end(), address), reached.end());
}

TEST(WebHost, WithoutAControlEveryCallFails) {
  // No apartment: the control cannot be created, and the host stays empty.
  const WindowHandle owned = TopLevel(100, 100);
  ASSERT_TRUE(owned);
  HWND window = owned.get();
  WebHost host(window, "brw", [](Event&) {});
  EXPECT_FALSE(host.Ready());
  EXPECT_THROW((void)host.Automation(), Failure);
  host.Fit();
}

}  // namespace
}  // namespace corvane::win32
