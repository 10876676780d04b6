// What the https handler fetches with, against the local servers of
// tls_servers.sh (ports in CORVANE_TLS_<SERVER>): connections kept and
// shared per origin, failures as the exchange sees them, the proxy.
#include "platform/win32/https/connections.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

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

}  // namespace
}  // namespace corvane::win32::https
