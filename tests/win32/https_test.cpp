// The program's own https handler through the real urlmon binding, against
// the local servers https_test.sh starts (ports in CORVANE_HTTPS_PORT and
// CORVANE_TLS_<SERVER>). Wine's own TLS does not trust the test root, so a
// fetch that succeeds was made by our handler.
#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/com_objects.h"
#include "platform/win32/https/registration.h"
#include "platform/win32/own_pages.h"
#include "platform/win32/text.h"

namespace corvane::win32::https {
namespace {

using namespace std::chrono_literals;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string Address(const char* server, const std::string& path, const char* host = "localhost") {
  const std::string port = Env(server);
  return port.empty() ? "" : std::string("https://") + host + ":" + port + path;
}

// What one bind saw.
struct Fetched {
  HRESULT result = E_FAIL;
  std::string body;
  std::vector<std::string> redirects;
  std::string mime;
  DWORD status = 0;           // IWinInetHttpInfo, as a number
  std::string contentType;    // IWinInetHttpInfo, as text
  std::string customField;    // IWinInetHttpInfo, HTTP_QUERY_CUSTOM "Content-Length"
  std::string disposition;    // IWinInetHttpInfo, HTTP_QUERY_CONTENT_DISPOSITION
  DWORD security = 0;         // IWinInetInfo, INTERNET_OPTION_SECURITY_FLAGS
};

// A bind status callback that asks for `method` with `body`, adds a field of
// its own, and reads everything.
class Callback : public SelfOwned<Callback>, public IBindStatusCallback, public IHttpNegotiate {
 public:
  Callback(std::string method, std::string body)
      : method_(std::move(method)), body_(std::move(body)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
      *out = static_cast<IBindStatusCallback*>(this);
    } else if (IsEqualIID(iid, IID_IHttpNegotiate)) {
      *out = static_cast<IHttpNegotiate*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
    binding_ = ComPtr<IBinding>::Adopt((binding->AddRef(), binding));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG status, LPCWSTR text) override {
    const std::string words = text != nullptr ? ToUtf8(text) : "";
    if (status == BINDSTATUS_REDIRECTING) {
      fetched_.redirects.push_back(words);
    } else if (status == BINDSTATUS_MIMETYPEAVAILABLE) {
      fetched_.mime = words;
    } else if (status == BINDSTATUS_BEGINDOWNLOADDATA && binding_) {
      AskHttpInfo();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR) override {
    fetched_.result = result;
    binding_.reset();
    done_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
    *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_GETNEWESTVERSION |
             BINDF_NOWRITECACHE;
    const DWORD size = info->cbSize;
    ZeroMemory(info, size);
    info->cbSize = size;
    info->dwBindVerb = method_ == "POST" ? BINDVERB_POST : BINDVERB_GET;
    if (!body_.empty()) {
      HGLOBAL memory = ::GlobalAlloc(GMEM_FIXED, body_.size());
      std::memcpy(memory, body_.data(), body_.size());
      info->stgmedData.tymed = TYMED_HGLOBAL;
      info->stgmedData.hGlobal = memory;
      info->cbstgmedData = static_cast<DWORD>(body_.size());
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    gotData_ = true;
    if (medium != nullptr && medium->tymed == TYMED_ISTREAM && medium->pstm != nullptr) {
      for (;;) {
        char chunk[4096];
        ULONG got = 0;
        const HRESULT read = medium->pstm->Read(chunk, sizeof chunk, &got);
        fetched_.body.append(chunk, got);
        if (read != S_OK || got == 0) {
          break;
        }
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                 LPWSTR* additional) override {
    const wchar_t fields[] =
        L"X-Corvane-Test: from the control\r\nContent-Type: application/x-www-form-urlencoded\r\n";
    *additional = static_cast<LPWSTR>(::CoTaskMemAlloc(sizeof fields));
    std::memcpy(*additional, fields, sizeof fields);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD, LPCWSTR, LPCWSTR, LPWSTR* more) override {
    if (more != nullptr) {
      *more = nullptr;
    }
    return S_OK;
  }

  bool Done() const { return done_; }
  bool GotData() const { return gotData_; }
  IBinding* Binding() const { return binding_.get(); }
  const Fetched& Result() const { return fetched_; }

 private:
  void AskHttpInfo() {
    const auto info = binding_.As<IWinInetHttpInfo>(IID_IWinInetHttpInfo);
    if (!info) {
      return;
    }
    DWORD size = sizeof fetched_.security;
    info->QueryOption(INTERNET_OPTION_SECURITY_FLAGS, &fetched_.security, &size);
    DWORD status = 0;
    size = sizeof status;
    if (info->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr,
                        nullptr) == S_OK) {
      fetched_.status = status;
    }
    char text[256] = {};
    size = sizeof text;
    if (info->QueryInfo(HTTP_QUERY_CONTENT_TYPE, text, &size, nullptr, nullptr) == S_OK) {
      fetched_.contentType.assign(text, size);
    }
    size = sizeof text;
    if (info->QueryInfo(HTTP_QUERY_CONTENT_DISPOSITION, text, &size, nullptr, nullptr) == S_OK) {
      fetched_.disposition.assign(text, size);
    }
    char custom[256] = "Content-Length";
    size = sizeof custom;
    if (info->QueryInfo(HTTP_QUERY_CUSTOM, custom, &size, nullptr, nullptr) == S_OK) {
      fetched_.customField.assign(custom, size);
    }
  }

  std::string method_;
  std::string body_;
  bool gotData_ = false;
  ComPtr<IBinding> binding_;
  Fetched fetched_;
  bool done_ = false;
};

// Binds `address` to a stream, asynchronously, pumping messages until the
// binding ends (20 s at most). Once the first bytes came, `then` runs
// (between messages) with the binding.
Fetched Bind(const std::string& address, const std::string& method = "GET",
             const std::string& body = "", const std::function<void(IBinding*)>& then = {}) {
  const auto callback = Callback::Create<IBindStatusCallback>(method, body);
  auto* self = static_cast<Callback*>(callback.get());
  ComPtr<IMoniker> moniker;
  ComPtr<IBindCtx> context;
  if (FAILED(::CreateURLMoniker(nullptr, ToWide(address).c_str(), moniker.Out())) ||
      FAILED(::CreateAsyncBindCtx(0, callback.get(), nullptr, context.Out()))) {
    return {};
  }
  ComPtr<IStream> stream;
  const HRESULT started =
      moniker->BindToStorage(context.get(), nullptr, IID_IStream, reinterpret_cast<void**>(stream.Out()));
  if (FAILED(started) && !self->Done()) {
    Fetched failed;
    failed.result = started;
    return failed;
  }
  const auto end = std::chrono::steady_clock::now() + 20s;
  bool ran = !then;
  while (!self->Done() && std::chrono::steady_clock::now() < end) {
    if (!ran && self->GotData() && self->Binding() != nullptr) {
      ran = true;
      then(self->Binding());
    }
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return self->Result();
}

// URLOpenBlockingStreamW: the simplest way the system fetches an address.
Fetched OpenBlocking(const std::string& address) {
  Fetched fetched;
  ComPtr<IStream> stream;
  fetched.result = ::URLOpenBlockingStreamW(nullptr, ToWide(address).c_str(), stream.Out(), 0, nullptr);
  if (SUCCEEDED(fetched.result) && stream) {
    char chunk[4096];
    ULONG got = 0;
    while (SUCCEEDED(stream->Read(chunk, sizeof chunk, &got)) && got > 0) {
      fetched.body.append(chunk, got);
    }
  }
  return fetched;
}

class HttpsHandler : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env("CORVANE_HTTPS_PORT").empty()) << "run through https_test.sh";
    ASSERT_FALSE(Env("CORVANE_HTTP_PORT").empty()) << "run through https_test.sh";
    ASSERT_TRUE(handler_->Registered());
  }
  ComApartment apartment_;
  // Short timeouts: the slow server outlasts them.
  std::optional<HttpsRegistration> handler_{
      std::in_place, HandlerSettings{.connectTimeoutMs = 3000, .readTimeoutMs = 1500,
                                     .evenOnNewerSystems = true}};
};

struct Case {
  const char* name;
  const char* server;  // the environment variable with its port
  const char* path;
  const char* method;
  const char* body;
  // Success: a part of the body; failure: the page our error pages show.
  const char* bodyHas;
  std::optional<NavigateFailure> failure;
  std::size_t redirects;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

NavigateFailure Certificate(unsigned problems) { return {true, LoadFailure::kOther, problems}; }
NavigateFailure Load(LoadFailure why) { return {false, why, 0}; }

const Case kCases[] = {
    {"Get", "CORVANE_HTTPS_PORT", "/", "GET", "", "Corvane https test page", {}, 0},
    {"Post", "CORVANE_HTTPS_PORT", "/echo", "POST", "name=value&x=1", "POST name=value&x=1", {}, 0},
    {"ControlFieldsSent", "CORVANE_HTTPS_PORT", "/headers", "GET", "",
     "X-Corvane-Test: from the control", {}, 0},
    {"IdentityOnly", "CORVANE_HTTPS_PORT", "/headers", "GET", "", "Accept-Encoding: identity", {}, 0},
    // 308, 307 keep the POST; 303 turns it into a GET; then a 302.
    {"RedirectChain", "CORVANE_HTTPS_PORT", "/chain/4", "POST", "kept", "end of the chain GET", {}, 4},
    {"LongChain", "CORVANE_HTTPS_PORT", "/chain/12", "GET", "", "end of the chain GET", {}, 12},
    {"WrongName", "CORVANE_TLS_WRONG_NAME", "/token.txt", "GET", "", "",
     Certificate(certificate::kOtherSite), 0},
    {"Expired", "CORVANE_TLS_EXPIRED", "/token.txt", "GET", "", "",
     Certificate(certificate::kExpired), 0},
    {"UnknownRoot", "CORVANE_TLS_UNKNOWN_ROOT", "/token.txt", "GET", "", "",
     Certificate(certificate::kUnknownAuthority), 0},
    {"Tls10Only", "CORVANE_TLS_TLS10", "/token.txt", "GET", "", "",
     Load(LoadFailure::kSecureConnectionFailed), 0},
    {"SlowServer", "CORVANE_HTTPS_PORT", "/slow?s=6", "GET", "", "", Load(LoadFailure::kTimedOut), 0},
    {"NothingListens", "CORVANE_TLS_CLOSED", "/", "GET", "", "",
     Load(LoadFailure::kConnectionRefused), 0},
};

class HttpsBind : public HttpsHandler, public ::testing::WithParamInterface<Case> {};

TEST_P(HttpsBind, FetchesOrShowsOurPage) {
  const Case& c = GetParam();
  const std::string address = Address(c.server, c.path);
  ASSERT_FALSE(address.empty()) << c.server << " is not set";
  const Fetched fetched = Bind(address, c.method, c.body);
  if (!c.failure) {
    ASSERT_EQ(fetched.result, S_OK) << SystemWords(fetched.result);
    EXPECT_NE(fetched.body.find(c.bodyHas), std::string::npos) << fetched.body;
    EXPECT_EQ(fetched.redirects.size(), c.redirects);
    EXPECT_EQ(fetched.status, 200U);
    EXPECT_NE(fetched.contentType.find("text/"), std::string::npos);
    EXPECT_EQ(fetched.customField, std::to_string(fetched.body.size()));
    EXPECT_NE(fetched.security & SECURITY_FLAG_SECURE, 0U);
    return;
  }
  ASSERT_TRUE(FAILED(fetched.result));
  const std::optional<NavigateFailure> shown = NavigateFailureOf(fetched.result);
  ASSERT_TRUE(shown.has_value()) << std::hex << fetched.result;
  EXPECT_EQ(shown->certificate, c.failure->certificate) << std::hex << fetched.result;
  EXPECT_EQ(shown->why, c.failure->why) << std::hex << fetched.result;
  EXPECT_EQ(shown->problems, c.failure->problems) << std::hex << fetched.result;
}

INSTANTIATE_TEST_SUITE_P(Cases, HttpsBind, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpsHandler, BlockingGetSucceedsOnlyWithTheHandler) {
  const std::string address = Address("CORVANE_HTTPS_PORT", "/");
  const Fetched with = OpenBlocking(address);
  ASSERT_EQ(with.result, S_OK);
  EXPECT_NE(with.body.find("Corvane https test page"), std::string::npos);

  handler_.reset();  // the system's own https from here
  EXPECT_TRUE(FAILED(OpenBlocking(address).result));
}

TEST_F(HttpsHandler, RedirectToPlainHttpIsTheSystemsToFollow) {
  const Fetched fetched = Bind(Address("CORVANE_HTTPS_PORT", "/to-http"));
  ASSERT_EQ(fetched.result, S_OK) << SystemWords(fetched.result);
  EXPECT_NE(fetched.body.find("Corvane https test page"), std::string::npos);
}

TEST_F(HttpsHandler, CookiesGoToTheSystemsStoreAndBack) {
  const std::string base = Address("CORVANE_HTTPS_PORT", "/");
  ASSERT_EQ(Bind(base + "set-cookie").result, S_OK);
  wchar_t visible[1024] = {};
  DWORD size = 1024;
  ASSERT_TRUE(::InternetGetCookieW(ToWide(base).c_str(), nullptr, visible, &size));
  const std::string seen = ToUtf8(visible);
  EXPECT_NE(seen.find("plain=1"), std::string::npos) << seen;
  EXPECT_EQ(seen.find("hidden"), std::string::npos) << seen;  // HttpOnly: not for pages

  const Fetched back = Bind(base + "cookies");
  ASSERT_EQ(back.result, S_OK);
  EXPECT_NE(back.body.find("plain=1"), std::string::npos) << back.body;
  EXPECT_NE(back.body.find("hidden=2"), std::string::npos) << back.body;
}

TEST_F(HttpsHandler, AttachmentIsToldAsTheControlAsks) {
  const Fetched fetched = Bind(Address("CORVANE_HTTPS_PORT", "/attachment"));
  ASSERT_EQ(fetched.result, S_OK);
  EXPECT_EQ(fetched.disposition, "attachment; filename=\"report.txt\"");
  EXPECT_EQ(fetched.body, "kept as a file");
}

// Whether the server saw the connection of /hang?id=`id` closed, within 5 s.
bool HangingConnectionClosed(const std::string& id) {
  std::string state;
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (state != "closed" && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(100ms);
    state = OpenBlocking(std::string("http://127.0.0.1:") + Env("CORVANE_HTTP_PORT") +
                         "/closed?id=" + id + "&at=" + std::to_string(::GetTickCount()))
                .body;
  }
  return state == "closed";
}

TEST_F(HttpsHandler, AbortedBindClosesItsConnection) {
  // A long read timeout: only the abort can close the connection in time.
  handler_.emplace(HandlerSettings{.readTimeoutMs = 60000, .evenOnNewerSystems = true});
  const std::string id = "abort-" + std::to_string(::GetTickCount());
  const Fetched fetched = Bind(Address("CORVANE_HTTPS_PORT", "/hang?id=" + id), "GET", "",
                               [](IBinding* binding) { binding->Abort(); });
  EXPECT_TRUE(FAILED(fetched.result));
  EXPECT_TRUE(HangingConnectionClosed(id));
  EXPECT_TRUE([&] {
    for (int i = 0; i < 50 && handler_->Running() > 0; ++i) {
      std::this_thread::sleep_for(100ms);
    }
    return handler_->Running() == 0;
  }());
}

// The end of the run with a request in flight: cancelled, its thread waited
// for (well within the bound), its connection closed, the binding told.
TEST_F(HttpsHandler, RegistrationEndCancelsRequestsInFlight) {
  handler_.emplace(HandlerSettings{.readTimeoutMs = 60000, .evenOnNewerSystems = true});
  const std::string id = "end-" + std::to_string(::GetTickCount());
  DWORD took = 0;
  const Fetched fetched = Bind(Address("CORVANE_HTTPS_PORT", "/hang?id=" + id), "GET", "",
                               [&](IBinding*) {
                                 const DWORD start = ::GetTickCount();
                                 handler_.reset();
                                 took = ::GetTickCount() - start;
                               });
  EXPECT_FALSE(handler_.has_value());
  EXPECT_LT(took, 2000U);
  EXPECT_TRUE(FAILED(fetched.result));
  EXPECT_TRUE(HangingConnectionClosed(id));
}

TEST(HttpsVersions, OurTlsWhereTheSystemsIsTooOld) {
  const struct {
    unsigned major, minor;
    bool ours;
  } kVersions[] = {{5, 1, true}, {5, 2, true}, {6, 0, true}, {6, 1, true},
                   {6, 2, false}, {6, 3, false}, {10, 0, false}};
  for (const auto& v : kVersions) {
    EXPECT_EQ(SystemTlsTooOld(v.major, v.minor), v.ours) << v.major << "." << v.minor;
  }
}

}  // namespace
}  // namespace corvane::win32::https
