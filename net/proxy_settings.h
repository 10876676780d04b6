// The proxy settings as the system keeps them for the user (WinINet's
// ProxyEnable, ProxyServer and ProxyOverride values), read into which proxy
// an https request goes through. Standard C++ only: the Windows handler
// reads the values, this part is tested on every system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/url.h"

namespace corvane::net {

struct ProxyAddress {
  std::string host;  // lower case; an IPv6 address without its brackets
  std::uint16_t port = 0;

  bool operator==(const ProxyAddress&) const = default;
};

struct ProxySettings {
  // The proxy https requests go through; nothing: they go straight.
  std::optional<ProxyAddress> https;
  // The hosts that go straight all the same: patterns in lower case, where
  // '*' stands for any run of characters and '?' for one, each matched
  // against the host and against "host:port".
  std::vector<std::string> bypass;
  // "<local>": names without a dot (the intranet's) go straight.
  bool bypassLocal = false;
};

// The settings from the three values: `enabled` (ProxyEnable not 0),
// `server` either "host[:port]" for every protocol or a list such as
// "http=host:port;https=host:port" (';' or blanks between entries; a
// "scheme://" before the host is dropped; the port is 80 when missing), of
// which only the one for every protocol or the https one counts (a SOCKS
// proxy is not spoken: its entry is ignored); `override` a list of patterns
// separated by ';' (or blanks), with "<local>". An entry that makes no sense
// is skipped.
ProxySettings ParseProxySettings(bool enabled, std::string_view server, std::string_view override);

// The proxy for a request to `url`, or nothing when it goes straight.
std::optional<ProxyAddress> ProxyFor(const ProxySettings& settings, const Url& url);

}  // namespace corvane::net
