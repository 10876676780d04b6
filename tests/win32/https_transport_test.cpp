// What the https handler fetches with, against the local servers of
// tls_servers.sh (ports in CORVANE_TLS_<SERVER>): connections kept and
// shared per origin, failures as the exchange sees them, the proxy as the
// user's settings name it, cookies in the system's store.
#include "platform/win32/https/connections.h"
#include "platform/win32/https/proxy.h"
#include "platform/win32/https/wininet_cookies.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "platform/fake/memory_registry.h"

namespace corvane::win32::https {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using net::FetchError;
using tls::TlsError;

std::string Port(const char* server) {
  const char* port = std::getenv((std::string("CORVANE_TLS_") + server).c_str());
  return port != nullptr ? port : "";
}

net::Url At(const std::string& address) {
  const std::optional<net::Url> url = net::ParseUrl(address);
  EXPECT_TRUE(url.has_value()) << address;
  return url.value_or(net::Url{});
}

struct Collect final : net::ExchangeEvents {
  void Redirected(const net::Url&, const std::string&) override {}
  void Head(const net::Url&, const net::ResponseParser& response) override {
    status = response.StatusCode();
  }
  void Body(std::string_view bytes) override { body += bytes; }
  int status = 0;
  std::string body;
};

// GET of `url` through `connections`: the body, or the error's name.
std::string Get(TlsConnections& connections, const net::Url& url) {
  net::Request request;
  request.url = url;
  Collect events;
  const net::ExchangeResult result = net::Exchange(request, connections, nullptr, events, nullptr);
  return result.error == FetchError::kNone ? events.body
                                           : std::string(net::FetchErrorName(result.error));
}

TEST(TlsConnections, CarriesExchangesOnOneKeptConnectionPerOrigin) {
  ASSERT_FALSE(Port("KEEPALIVE").empty()) << "run through tls_servers.sh";
  const net::Url url = At("https://localhost:" + Port("KEEPALIVE") + "/connection");
  std::string first;
  {
    TlsConnections connections;
    first = Get(connections, url);
    ASSERT_FALSE(first.empty());
    ASSERT_EQ(first.find_first_not_of("0123456789"), std::string::npos) << first;
    EXPECT_EQ(Get(connections, url), first);
    EXPECT_EQ(connections.Idle(url), 1U);
    EXPECT_EQ(connections.InUse(url), 0U);
    connections.CloseIdle();
    EXPECT_EQ(connections.Idle(url), 0U);
    EXPECT_NE(Get(connections, url), first);
  }
  TlsConnections others;
  EXPECT_NE(Get(others, url), first);
}

// With one place per origin, a second taker waits until the first gives
// the connection back and then carries on over it; one whose flag turns
// while it waits gives up soon.
TEST(TlsConnections, WaitsForAPlaceAndGivesUpWaitingWhenCancelled) {
  const net::Url url = At("https://localhost:" + Port("KEEPALIVE") + "/");
  TlsConnections connections({}, {}, 1);
  bool reused = true;
  net::TransportStatus status;
  std::unique_ptr<net::Connection> first = connections.Take(url, nullptr, reused, status);
  ASSERT_NE(first, nullptr) << net::FetchErrorName(status.error);
  EXPECT_FALSE(reused);
  const net::Connection* const taken = first.get();

  std::atomic<bool> cancelled{false};
  const auto start = Clock::now();
  std::thread canceller([&cancelled] {
    std::this_thread::sleep_for(300ms);
    cancelled = true;
  });
  bool cancelledReused = true;
  net::TransportStatus cancelledStatus;
  EXPECT_EQ(connections.Take(url, &cancelled, cancelledReused, cancelledStatus), nullptr);
  const auto waited = Clock::now() - start;
  canceller.join();
  EXPECT_EQ(cancelledStatus.error, FetchError::kCancelled);
  EXPECT_GE(waited, 300ms);
  EXPECT_LT(waited, 800ms);

  const net::Connection* second = nullptr;
  bool secondReused = false;
  std::thread taker([&] {
    net::TransportStatus secondStatus;
    std::unique_ptr<net::Connection> connection = connections.Take(url, nullptr, secondReused, secondStatus);
    second = connection.get();
    connections.Give(url, std::move(connection), false);
  });
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(second, nullptr);
  connections.Give(url, std::move(first), true);
  taker.join();
  EXPECT_EQ(second, taken);
  EXPECT_TRUE(secondReused);
  EXPECT_EQ(connections.InUse(url), 0U);
  EXPECT_EQ(connections.Idle(url), 0U);
}

struct Failure {
  const char* name;
  const char* address;  // "{SERVER}" stands for that server's port
  FetchError error;
  TlsError detail;
  const char* proxy = nullptr;  // the https proxy, by server
  const char* bypass = "";      // ProxyOverride's patterns
};

void PrintTo(const Failure& f, std::ostream* out) { *out << f.name; }

const Failure kFailures[] = {
    {"Expired", "https://localhost:{EXPIRED}/", FetchError::kCertificate, TlsError::Expired},
    {"UnknownRoot", "https://localhost:{UNKNOWN_ROOT}/", FetchError::kCertificate,
     TlsError::UnknownRoot},
    {"Sha1", "https://localhost:{SHA1}/", FetchError::kCertificate, TlsError::WeakSignature},
    {"Tls10", "https://localhost:{TLS10}/", FetchError::kSecureChannel, TlsError::ProtocolTooOld},
    {"NothingListens", "https://127.0.0.1:{CLOSED}/", FetchError::kConnectionRefused,
     TlsError::ConnectionRefused},
    {"NoAnswer", "https://127.0.0.1:{SILENT}/", FetchError::kTimedOut, TlsError::Timeout},
    {"PlainHttp", "http://localhost:{KEEPALIVE}/", FetchError::kSecureChannel, TlsError::None},
    {"NameOnlyTheProxyKnows", "https://other.invalid:{WRONG_NAME}/", FetchError::kNone,
     TlsError::None, "PROXY"},
    {"ProxyBypassed", "https://other.invalid:{WRONG_NAME}/", FetchError::kHostNotFound,
     TlsError::HostNotFound, "PROXY", "*.INVALID"},
    {"ProxyCannotReach", "https://127.0.0.1:{CLOSED}/", FetchError::kProxyRefused,
     TlsError::ProxyRefused, "PROXY"},
};

class TlsConnectionsFailing : public ::testing::TestWithParam<Failure> {};

TEST_P(TlsConnectionsFailing, ReportsTheErrorWithTheTlsDetail) {
  const Failure& f = GetParam();
  std::string address = f.address;
  const std::size_t open = address.find('{');
  const std::size_t close = address.find('}');
  address.replace(open, close - open + 1, Port(address.substr(open + 1, close - open - 1).c_str()));
  const net::Url url = At(address);
  const std::string proxy = f.proxy != nullptr ? "127.0.0.1:" + Port(f.proxy) : "";
  TlsConnections connections(net::ParseProxySettings(f.proxy != nullptr, proxy, f.bypass),
                             {1000, 1000});
  bool reused = true;
  net::TransportStatus status;
  std::unique_ptr<net::Connection> connection = connections.Take(url, nullptr, reused, status);
  EXPECT_EQ(status.error, f.error) << net::FetchErrorName(status.error);
  EXPECT_EQ(status.detail, static_cast<int>(f.detail)) << tls::Describe(static_cast<TlsError>(status.detail));
  EXPECT_EQ(connection != nullptr, f.error == FetchError::kNone);
  EXPECT_FALSE(reused);
  connections.Give(url, std::move(connection), false);
  EXPECT_EQ(connections.InUse(url), 0U);
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsConnectionsFailing, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<Failure>& info) { return info.param.name; });

// A read waits as long as the read timeout, not the connect timeout.
TEST(TlsConnections, ReadGivesUpAfterTheReadTimeout) {
  const net::Url url = At("https://localhost:" + Port("GOOD") + "/");
  TlsConnections connections({}, {20000, 500});
  bool reused = false;
  net::TransportStatus status;
  std::unique_ptr<net::Connection> connection = connections.Take(url, nullptr, reused, status);
  ASSERT_NE(connection, nullptr) << net::FetchErrorName(status.error);
  const auto start = Clock::now();
  char byte = 0;
  std::size_t got = 0;
  EXPECT_EQ(connection->Read(&byte, 1, got).error, FetchError::kTimedOut);
  EXPECT_LT(Clock::now() - start, 3s);
  connections.Give(url, std::move(connection), false);
}

TEST(UserProxySettings, ReadsTheValuesAsTheSystemKeepsThem) {
  constexpr const char* kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  struct Case {
    const char* name;
    std::uint32_t enableType;  // reg::kNone: no ProxyEnable
    std::string enable;        // its bytes
    const char* server;        // null: no ProxyServer
    bool terminated;           // the strings stored with their zero
    std::string override;
    const char* expected;  // the proxy for https://www.a.test/, "" for none
  };
  const std::string one("\1\0\0\0", 4), zero(4, '\0');
  const std::string longList = std::string(300, 'x') + ";*.a.test";
  const Case cases[] = {
      {"Dword", reg::kDword, one, "p.lan:3128", true, "", "p.lan:3128"},
      {"Off", reg::kDword, zero, "p.lan:3128", true, "", ""},
      {"Binary", reg::kBinary, one, "http=w:80;https=s:8443", false, "", "s:8443"},
      {"NoEnable", reg::kNone, "", "p.lan:3128", true, "", ""},
      {"NoServer", reg::kDword, one, nullptr, true, "", ""},
      {"LongOverride", reg::kDword, one, "p:1", true, longList, ""},
      {"NoKey", reg::kNone, "", nullptr, true, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryRegistry registry;
    if (std::string(c.name) != "NoKey") {
      registry.CreateKey(Registry::kCurrentUser, kKey);
    }
    if (c.enableType != reg::kNone) {
      registry.SetValue(Registry::kCurrentUser, kKey, "ProxyEnable", c.enableType, c.enable);
    }
    if (c.server != nullptr) {
      registry.SetString(Registry::kCurrentUser, kKey, "ProxyServer", c.server, c.terminated);
    }
    if (!c.override.empty()) {
      registry.SetString(Registry::kCurrentUser, kKey, "ProxyOverride", c.override, c.terminated);
    }
    const std::optional<net::ProxyAddress> proxy =
        net::ProxyFor(UserProxySettings(registry), At("https://www.a.test/"));
    EXPECT_EQ(proxy ? proxy->host + ":" + std::to_string(proxy->port) : "", c.expected);
    EXPECT_EQ(registry.OpenHandles(), 0);
  }
}

// What the system's own view (a page's document.cookie) shows for `url`.
std::wstring SystemCookies(const std::wstring& url) {
  wchar_t data[4096] = {};
  DWORD size = sizeof data / sizeof data[0];
  return ::InternetGetCookieW(url.c_str(), nullptr, data, &size) ? data : L"";
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }
bool Has(const std::wstring& text, const wchar_t* part) {
  return text.find(part) != std::wstring::npos;
}

// A cookie the server sets is seen by the system and sent back; an HttpOnly
// one is sent back but never shown to the page: through the store's flag
// where the system has it, else kept in memory.
TEST(WinInetCookies, KeepsCookiesWhereTheSystemAndThePageSeeThem) {
  // Names of this run only: the prefix's store outlives it.
  const std::string run = "run" + std::to_string(::GetTickCount()) + "-" + std::to_string(::GetCurrentProcessId());
  for (const auto flag : {WinInetCookies::HttpOnlyFlag::kDetect, WinInetCookies::HttpOnlyFlag::kNever}) {
    const bool detect = flag == WinInetCookies::HttpOnlyFlag::kDetect;
    SCOPED_TRACE(detect ? "detect" : "never");
    const std::string host = (detect ? "detect." : "never.") + run + ".cookies.test";
    const net::Url page = At("https://" + host + "/dir/page");
    const std::wstring site = L"https://" + std::wstring(host.begin(), host.end()) + L"/dir/";
    WinInetCookies cookies(flag);
    // Wine's store has the flag, as Internet Explorer 8 and later.
    EXPECT_EQ(cookies.StoresHttpOnly(), detect);

    cookies.Store(page, "plain=1; Path=/");
    cookies.Store(page, "secret=2; Path=/; HttpOnly");
    cookies.Store(page, "\xFF\xFE=3; Path=/");  // no text: not kept, no harm
    const std::string header = cookies.CookieHeader(page);
    EXPECT_TRUE(Has(header, "plain=1")) << header;
    EXPECT_TRUE(Has(header, "secret=2")) << header;
    EXPECT_FALSE(Has(header, "=3")) << header;
    const std::wstring seen = SystemCookies(site);
    EXPECT_TRUE(Has(seen, L"plain=1"));
    EXPECT_FALSE(Has(seen, L"secret"));

    // The same name again, now not HttpOnly: one cookie, the new one.
    cookies.Store(page, "secret=4; Path=/");
    const std::string replaced = cookies.CookieHeader(page);
    EXPECT_TRUE(Has(replaced, "secret=4")) << replaced;
    EXPECT_FALSE(Has(replaced, "secret=2")) << replaced;
    EXPECT_TRUE(Has(SystemCookies(site), L"secret=4"));

    // Another store of the run (a new handler) sees what the system keeps.
    WinInetCookies again(flag);
    EXPECT_TRUE(Has(again.CookieHeader(page), "plain=1"));
    EXPECT_FALSE(Has(again.CookieHeader(At("https://other" + host + "/")), "plain=1"));
  }
}

}  // namespace
}  // namespace corvane::win32::https
