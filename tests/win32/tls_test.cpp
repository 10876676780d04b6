// The program's own TLS client against local servers that tls_servers.sh
// starts: their ports come in CORVANE_TLS_<SERVER>, the token the good
// server answers with in CORVANE_TLS_TOKEN. Wine's own TLS does not trust
// the test root, so a connection that succeeds was made by our client.
#include "platform/win32/tls/tls_connection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

namespace corvane::win32::tls {

void PrintTo(TlsError error, std::ostream* out) { *out << Describe(error); }

namespace {

std::string Env(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? value : "";
}

struct Case {
  const char* name;
  const char* server;  // CORVANE_TLS_<server> holds its port
  const char* host;
  TlsError expected;
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
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class TlsClient : public ::testing::TestWithParam<Case> {};

TEST_P(TlsClient, ConnectsOrFailsWithItsError) {
  const Case& c = GetParam();
  const std::string port = Env(std::string("CORVANE_TLS_") + c.server);
  ASSERT_FALSE(port.empty()) << "run through tls_servers.sh";
  TlsConnection connection;
  const TlsError result =
      connection.Connect(c.host, static_cast<std::uint16_t>(std::stoi(port)), 3000);
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

}  // namespace
}  // namespace corvane::win32::tls
