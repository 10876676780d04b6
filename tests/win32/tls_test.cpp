// The program's own TLS client against local servers that tls_servers.sh
// starts: their ports come in CORVANE_TLS_<SERVER>, the token the good
// server answers with in CORVANE_TLS_TOKEN. Wine's own TLS does not trust
// the test root, so a connection that succeeds was made by our client.
#include "platform/win32/tls/tls_connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ostream>
#include <string>
#include <thread>

namespace corvane::win32::tls {

void PrintTo(TlsError error, std::ostream* out) { *out << Describe(error); }

namespace {

std::string Env(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? value : "";
}

std::uint16_t Port(const std::string& server) {
  const std::string port = Env("CORVANE_TLS_" + server);
  return port.empty() ? 0 : static_cast<std::uint16_t>(std::stoi(port));
}

struct Case {
  const char* name;
  const char* server;  // CORVANE_TLS_<server> holds its port
  const char* host;
  TlsError expected;
  const char* proxy = nullptr;  // through the proxy server of that name
};

const Case kCases[] = {
    {"GoodByName", "GOOD", "localhost", TlsError::None},
    {"GoodByAddress", "GOOD", "127.0.0.1", TlsError::None},
    {"WrongName", "WRONG_NAME", "localhost", TlsError::WrongHostName},
    // The address appears only as a DNS name: that names no address.
    {"AddressAsDnsName", "WRONG_NAME", "127.0.0.1", TlsError::WrongHostName},
    {"Expired", "EXPIRED", "localhost", TlsError::Expired},
    {"UnknownRoot", "UNKNOWN_ROOT", "localhost", TlsError::UnknownRoot},
    {"Sha1Signature", "SHA1", "localhost", TlsError::WeakSignature},
    {"Tls10Only", "TLS10", "localhost", TlsError::ProtocolTooOld},
    {"NeverAnswers", "SILENT", "127.0.0.1", TlsError::Timeout},
    {"NothingListens", "CLOSED", "127.0.0.1", TlsError::ConnectionRefused},
    {"GoodViaProxy", "GOOD", "localhost", TlsError::None, "PROXY"},
    // A name only the proxy knows: it is sent and checked all the same.
    {"NameOnlyTheProxyKnows", "WRONG_NAME", "other.invalid", TlsError::None, "PROXY"},
    {"WrongNameViaProxy", "WRONG_NAME", "localhost", TlsError::WrongHostName, "PROXY"},
    {"ProxyCannotReach", "CLOSED", "127.0.0.1", TlsError::ProxyRefused, "PROXY"},
    {"NoProxyListens", "GOOD", "localhost", TlsError::ConnectionRefused, "CLOSED"},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class TlsClient : public ::testing::TestWithParam<Case> {};

TEST_P(TlsClient, ConnectsOrFailsWithItsError) {
  const Case& c = GetParam();
  const std::uint16_t port = Port(c.server);
  ASSERT_NE(port, 0) << "run through tls_servers.sh";
  ProxyServer proxy{"127.0.0.1", c.proxy != nullptr ? Port(c.proxy) : std::uint16_t{0}};
  TlsConnection connection;
  const TlsError result = connection.Connect(c.host, port, 3000, c.proxy != nullptr ? &proxy : nullptr);
  ASSERT_EQ(result, c.expected);
  if (c.expected != TlsError::None) {
    char byte = 0;
    std::size_t got = 0;
    EXPECT_EQ(connection.Read(&byte, 1, got), TlsError::NotConnected);
    return;
  }
  const std::string request = "GET /token.txt HTTP/1.0\r\nHost: " + std::string(c.host) + "\r\n\r\n";
  ASSERT_EQ(connection.Write(request.data(), request.size()), TlsError::None);
  std::string answer;
  char buffer[1000];
  for (;;) {
    std::size_t got = 0;
    const TlsError read = connection.Read(buffer, sizeof buffer, got);
    ASSERT_EQ(read, TlsError::None) << Describe(read);
    if (got == 0) {
      break;
    }
    answer.append(buffer, got);
  }
  EXPECT_EQ(answer.rfind("HTTP/1.0 200", 0), 0U) << answer;
  EXPECT_NE(answer.find(Env("CORVANE_TLS_TOKEN")), std::string::npos) << answer;
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsClient, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// A wait with a long timeout ends soon after the watched flag turns true:
// while the handshake waits for a server that never answers, and while a
// read waits for an answer to a request never sent.
TEST(TlsCancel, EndsSoonAfterTheFlagTurns) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kDelay = std::chrono::milliseconds(300);
  for (const bool reading : {false, true}) {
    SCOPED_TRACE(reading ? "reading" : "connecting");
    std::atomic<bool> cancelled{false};
    TlsConnection connection;
    connection.Watch(&cancelled);
    if (reading) {
      ASSERT_EQ(connection.Connect("localhost", Port("GOOD"), 20000), TlsError::None);
    }
    const auto start = Clock::now();
    std::thread canceller([&cancelled, kDelay] {
      std::this_thread::sleep_for(kDelay);
      cancelled = true;
    });
    char byte = 0;
    std::size_t got = 0;
    const TlsError result = reading ? connection.Read(&byte, 1, got)
                                    : connection.Connect("127.0.0.1", Port("SILENT"), 20000);
    const auto took = Clock::now() - start;
    canceller.join();
    EXPECT_EQ(result, TlsError::Cancelled);
    EXPECT_GE(took, kDelay);
    EXPECT_LT(took, kDelay + std::chrono::milliseconds(500));
    // Once cancelled, it does not start again.
    EXPECT_EQ(connection.Connect("localhost", Port("GOOD"), 20000), TlsError::Cancelled);
  }
}

}  // namespace
}  // namespace corvane::win32::tls
