// Which proxy an https request goes through, from the values the system
// keeps for the user: both forms of the server, the bypass list.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "net/proxy_settings.h"

namespace corvane::net {
namespace {

TEST(ProxySettings, TheProxyForEachAddress) {
  struct Case {
    bool enabled;
    const char* server;
    const char* override;
    const char* address;
    const char* expected;  // "host:port", or "" for none
  };
  const Case cases[] = {
      {true, "proxy.lan:8080", "", "https://a.test/", "proxy.lan:8080"},
      {false, "proxy.lan:8080", "", "https://a.test/", ""},
      {true, "", "", "https://a.test/", ""},
      {true, "Proxy.LAN", "", "https://a.test/", "proxy.lan:80"},  // port 80 when missing
      {true, "http://proxy.lan:3128/", "", "https://a.test/", "proxy.lan:3128"},
      {true, "[::1]:3128", "", "https://a.test/", "::1:3128"},
      {true, "http=web:80;https=secure:443;ftp=f:21", "", "https://a.test/", "secure:443"},
      {true, "HTTPS=secure:8443 http=web:80", "", "https://a.test/", "secure:8443"},
      {true, "http=web:80;ftp=f:21", "", "https://a.test/", ""},  // none for https
      {true, "socks=s:1080", "", "https://a.test/", ""},           // not spoken
      {true, "every:81;https=secure:443", "", "https://a.test/", "secure:443"},
      {true, "https=bad:99999;every:81", "", "https://a.test/", "every:81"},
      {true, "bad:port", "", "https://a.test/", ""},
      {true, "host:", "", "https://a.test/", ""},
      {true, "p:1", "<local>", "https://intranet/", ""},
      {true, "p:1", "<LOCAL>", "https://a.test/", "p:1"},
      {true, "p:1", "<local>", "https://[::1]/", "p:1"},  // an address, not a name
      {true, "p:1", "*.a.test;10.*", "https://www.A.test/", ""},
      {true, "p:1", "*.a.test;10.*", "https://a.test/", "p:1"},
      {true, "p:1", "*.a.test;10.*", "https://10.1.2.3/", ""},
      {true, "p:1", "*.a.test 10.*", "https://110.1.2.3/", "p:1"},
      {true, "p:1", "a?.test", "https://ab.test/", ""},
      {true, "p:1", "a?.test", "https://abc.test/", "p:1"},
      {true, "p:1", "https://b.test", "https://b.test/", ""},
      {true, "p:1", "b.test:8443", "https://b.test:8443/", ""},
      {true, "p:1", "b.test:8443", "https://b.test/", "p:1"},
      {true, "p:1", "*", "https://anything.test/", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " | " + c.override + " | " + c.address);
    const std::optional<Url> url = ParseUrl(c.address);
    ASSERT_TRUE(url.has_value());
    const std::optional<ProxyAddress> proxy =
        ProxyFor(ParseProxySettings(c.enabled, c.server, c.override), *url);
    EXPECT_EQ(proxy ? proxy->host + ":" + std::to_string(proxy->port) : "", c.expected);
  }
}

}  // namespace
}  // namespace corvane::net
