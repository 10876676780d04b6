// Our own pages in place of the control's error pages: the status codes'
// pages, and the whole way from NavigateError to our markup in the
// document, against a stand-in control called as the system's control calls
// the event sink.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "platform/own_page_texts.h"
#include "platform/win32/find_in_page.h"
#include "platform/win32/own_pages.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_com.h"
#include "platform/win32/web_view.h"

namespace corvane::winui {
namespace {

const std::string kAddress = "http://a.example/p?q=<1>";

std::optional<std::string> HtmlOf(const std::optional<OwnPageText>& page) {
  return page ? std::optional<std::string>(OwnPageHtml(*page)) : std::nullopt;
}

TEST(OwnPages, EachStatusGivesTheCoresPageAndHttpStatusesAndStopsNone) {
  const auto load = [](LoadFailure why) { return LoadFailedText(kAddress, why, "words"); };
  const auto cert = [](unsigned problems) { return CertificateText(kAddress, problems); };
  const struct {
    long status;
    std::optional<OwnPageText> page;
  } cases[] = {
      {INET_E_RESOURCE_NOT_FOUND, load(LoadFailure::kServerNotFound)},
      {ERROR_INTERNET_NAME_NOT_RESOLVED, load(LoadFailure::kServerNotFound)},
      {HRESULT_FROM_WIN32(ERROR_INTERNET_NAME_NOT_RESOLVED), load(LoadFailure::kServerNotFound)},
      {INET_E_CANNOT_CONNECT, load(LoadFailure::kConnectionRefused)},
      {INET_E_CONNECTION_TIMEOUT, load(LoadFailure::kTimedOut)},
      {INET_E_INVALID_URL, load(LoadFailure::kAddressNotUnderstood)},
      {INET_E_UNKNOWN_PROTOCOL, load(LoadFailure::kAddressNotUnderstood)},
      {INET_E_INVALID_CERTIFICATE, cert(0)},
      {INET_E_SECURITY_PROBLEM, cert(0)},
      {ERROR_INTERNET_SEC_CERT_CN_INVALID, cert(certificate::kOtherSite)},
      {ERROR_INTERNET_SEC_CERT_DATE_INVALID, cert(certificate::kExpired)},
      {ERROR_INTERNET_INVALID_CA, cert(certificate::kUnknownAuthority)},
      {HRESULT_FROM_WIN32(ERROR_INTERNET_SEC_CERT_REVOKED), cert(certificate::kRevoked)},
      {INET_E_DOWNLOAD_FAILURE, load(LoadFailure::kOther)},
      {E_ACCESSDENIED, load(LoadFailure::kOther)},
      {ERROR_INTERNET_CONNECTION_RESET, load(LoadFailure::kOther)},
      {404, std::nullopt},
      {500, std::nullopt},
      {E_ABORT, std::nullopt},
      {INET_E_TERMINATED_BIND, std::nullopt},
      {INET_E_RESULT_DISPATCHED, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.status);
    EXPECT_EQ(HtmlOf(NavigateErrorText(kAddress, c.status, "words")), HtmlOf(c.page));
  }
}

// The control's document: takes markup through IPersistStreamInit, and
// keeps what it was given.
class StandInDocument final : public IDispatch, public IPersistStreamInit {
 public:
  std::string loaded;
  int initialised = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IPersistStreamInit)) {
      *out = static_cast<IPersistStreamInit*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
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
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override {
    char buffer[256];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0) {
      loaded.append(buffer, read);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitNew() override {
    ++initialised;
    return S_OK;
  }
};

// The control: Navigate and its Document, as the control answers them.
class StandInControl final : public IDispatch {
 public:
  std::vector<std::string> navigated;
  StandInDocument document;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? this : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id == dispid::kNavigate && params->cArgs == 1) {
      navigated.push_back(TextOf(params->rgvarg[0]));
      return S_OK;
    }
    if (id == kDocumentId && flags == DISPATCH_PROPERTYGET && result != nullptr) {
      V_VT(result) = VT_DISPATCH;
      V_DISPATCH(result) = &document;
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }
};

// A notification as the control makes it: the arguments (named here first
// first) arrive last first; the window goes as an object, the address and
// the status as values passed by reference, Cancel as a flag by reference.
struct Notification {
  std::vector<VARIANT> args;
  std::vector<VARIANT> values = std::vector<VARIANT>(8);
  std::vector<BSTR> texts;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  Notification() = default;
  ~Notification() {
    for (BSTR text : texts) {
      ::SysFreeString(text);
    }
  }
  Notification& Window(IDispatch* window) {
    args.push_back({});
    V_VT(&args.back()) = VT_DISPATCH;
    V_DISPATCH(&args.back()) = window;
    return *this;
  }
  Notification& Text(const std::string& text) {
    VARIANT& value = values[args.size()];
    texts.push_back(::SysAllocString(ToWide(text).c_str()));
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = texts.back();
    return ByReference(value);
  }
  Notification& Status(long status) {
    VARIANT& value = values[args.size()];
    V_VT(&value) = VT_I4;
    V_I4(&value) = status;
    return ByReference(value);
  }
  Notification& Cancel() {
    args.push_back({});
    V_VT(&args.back()) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&args.back()) = &cancel;
    return *this;
  }
  HRESULT To(IDispatch& sink, DISPID id) {
    std::vector<VARIANT> lastFirst(args.rbegin(), args.rend());
    DISPPARAMS params{lastFirst.data(), nullptr, static_cast<UINT>(lastFirst.size()), 0};
    return sink.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                       nullptr, nullptr);
  }

 private:
  Notification& ByReference(VARIANT& value) {
    args.push_back({});
    V_VT(&args.back()) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args.back()) = &value;
    return *this;
  }
};

// The files in the temporary folder.
std::set<std::wstring> TemporaryFiles() {
  wchar_t folder[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, folder);
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((std::wstring(folder) + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      names.insert(found.cFileName);
    } while (::FindNextFileW(search, &found) != FALSE);
    ::FindClose(search);
  }
  return names;
}

// From the error to our markup in the document and on: the page of the
// status stands for the address that failed; nothing of ours for an HTTP
// status nor for a frame in the page; and a later navigation leaves it.
TEST(OwnPages, ANavigateErrorOfTheTopLevelBringsOurPageIntoTheControl) {
  const auto load = [](LoadFailure why) { return LoadFailedText(kAddress, why); };
  const struct {
    const char* what;
    long status;
    bool inFrame;
    std::optional<OwnPageText> page;
    bool noEngine = false;  // the control can make no document for our page
  } cases[] = {
      {"server not found", INET_E_RESOURCE_NOT_FOUND, false, load(LoadFailure::kServerNotFound)},
      {"refused", INET_E_CANNOT_CONNECT, false, load(LoadFailure::kConnectionRefused)},
      {"timed out", INET_E_CONNECTION_TIMEOUT, false, load(LoadFailure::kTimedOut)},
      {"unknown kind", INET_E_UNKNOWN_PROTOCOL, false, load(LoadFailure::kAddressNotUnderstood)},
      {"certificate", ERROR_INTERNET_SEC_CERT_CN_INVALID, false,
       CertificateText(kAddress, certificate::kOtherSite)},
      {"the server's own page", 404, false, std::nullopt},
      {"a frame's error", INET_E_RESOURCE_NOT_FOUND, true, std::nullopt},
      {"no page engine", INET_E_CANNOT_CONNECT, false, load(LoadFailure::kConnectionRefused),
       true},
  };
  const std::set<std::wstring> filesBefore = TemporaryFiles();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StandInControl view;
    StandInControl frame;
    std::vector<std::function<void()>> later;
    const auto pages = std::make_shared<OwnPages>(ComPtr<IDispatch>::Adopt(&view),
                                                  [&](auto task) { later.push_back(task); });
    std::vector<std::string> raised;
    auto sink = MakeBrowserEventSink("brwWebBrowser", [&](Event& e) { raised.push_back(e.text); },
                                     {}, pages);
    const auto runLater = [&] {
      for (auto tasks = std::exchange(later, {}); auto& task : tasks) {
        task();
      }
    };

    Notification error;
    error.Window(c.inFrame ? &frame : &view).Text(kAddress).Text("").Status(c.status).Cancel();
    ASSERT_EQ(error.To(*sink.get(), dispid::kNavigateError), S_OK);
    EXPECT_EQ(error.cancel, c.page ? VARIANT_TRUE : VARIANT_FALSE);
    EXPECT_TRUE(view.navigated.empty()) << "navigated from inside the notification";
    runLater();
    if (!c.page) {
      EXPECT_TRUE(view.navigated.empty());
      EXPECT_EQ(pages->Shown(), nullptr);
      continue;
    }
    EXPECT_EQ(view.navigated, std::vector<std::string>{"about:blank"});
    if (c.noEngine) {
      Notification blank;
      blank.Window(&view).Text("about:blank").Text("").Status(INET_E_CANNOT_INSTANTIATE_OBJECT)
          .Cancel();
      ASSERT_EQ(blank.To(*sink.get(), dispid::kNavigateError), S_OK);
      EXPECT_EQ(blank.cancel, VARIANT_TRUE);
      EXPECT_EQ(raised, std::vector<std::string>{kAddress});
      ASSERT_NE(pages->Shown(), nullptr);
      EXPECT_EQ(pages->Shown()->title, c.page->title);
      continue;
    }
    Notification()
        .Window(&view).Text("about:blank").Text("").Text("").Text("").Text("").Cancel()
        .To(*sink.get(), dispid::kBeforeNavigate2);
    Notification().Window(&view).Text("about:blank").To(*sink.get(), dispid::kNavigateComplete2);
    EXPECT_EQ(raised, std::vector<std::string>{kAddress});
    ASSERT_NE(pages->Shown(), nullptr);
    EXPECT_EQ(pages->Shown()->title, c.page->title);
    EXPECT_EQ(pages->Shown()->address, kAddress);

    Notification().Window(&view).Text("about:blank").To(*sink.get(), dispid::kDocumentComplete);
    EXPECT_TRUE(view.document.loaded.empty()) << "loaded from inside the notification";
    runLater();
    EXPECT_EQ(view.document.initialised, 1);
    EXPECT_EQ(view.document.loaded, "\xEF\xBB\xBF" + OwnPageHtml(*c.page));
    // The document loaded from our markup completes once more: still ours.
    Notification().Window(&view).Text("about:blank").To(*sink.get(), dispid::kNavigateComplete2);
    Notification().Window(&view).Text("about:blank").To(*sink.get(), dispid::kDocumentComplete);
    runLater();
    EXPECT_EQ(view.document.initialised, 1);
    ASSERT_NE(pages->Shown(), nullptr);

    // Back to the page before, say: ours is gone.
    Notification()
        .Window(&view).Text("http://b.example/").Text("").Text("").Text("").Text("").Cancel()
        .To(*sink.get(), dispid::kBeforeNavigate2);
    Notification().Window(&view).Text("http://b.example/").To(*sink.get(),
                                                               dispid::kNavigateComplete2);
    EXPECT_EQ(pages->Shown(), nullptr);
    EXPECT_EQ(raised.back(), "http://b.example/");
  }
  EXPECT_EQ(TemporaryFiles(), filesBefore) << "a file was written";
}

// The system's control (under Wine): nothing answers on port 9 of
// loopback, and the view is at our page for that address. Without a page
// engine the control can make no document for it: the page stays blank.
TEST(OwnPages, TheSystemControlShowsOursForAnAddressThatRefuses) {
  const ComApartment com;
  const WindowHandle owned(::CreateWindowExW(0, L"STATIC", L"window", WS_OVERLAPPEDWINDOW, 0, 0,
                                             400, 300, nullptr, nullptr,
                                             ::GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(owned);
  std::vector<std::function<void()>> later;
  std::vector<std::string> reached;
  WebHost host(
      owned.get(), "brwWebBrowser",
      [&](Event& e) {
        if (e.type == EventType::NavigateComplete2) {
          reached.push_back(e.text);
        }
      },
      [&](std::function<void()> task) { later.push_back(std::move(task)); });
  ASSERT_TRUE(host.Ready()) << "the WebBrowser control could not be hosted";
  const std::string address = "http://127.0.0.1:9/refused";
  host.Automation().Navigate(address);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (host.OwnPage() == nullptr && std::chrono::steady_clock::now() < end) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      ::DispatchMessageW(&message);
    }
    for (auto tasks = std::exchange(later, {}); auto& task : tasks) {
      task();
    }
    ::Sleep(20);
  }
  ASSERT_NE(host.OwnPage(), nullptr);
  // The system's control says it cannot connect; Wine's only that the
  // download failed.
  const std::string title = host.OwnPage()->title;
  EXPECT_TRUE(title == LoadFailedText(address, LoadFailure::kConnectionRefused).title ||
              title == LoadFailedText(address, LoadFailure::kOther).title)
      << title;
  EXPECT_EQ(host.OwnPage()->address, address);
  EXPECT_EQ(reached, std::vector<std::string>{address});
}

}  // namespace
}  // namespace corvane::winui
