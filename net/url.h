// Addresses as the program's own HTTP client needs them: http and https only,
// split into what a request and a connection use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::net {

struct Url {
  std::string scheme;       // "http" or "https", lower case
  std::string host;         // lower case; an IPv6 address without its brackets
  std::uint16_t port = 0;   // as given, else the scheme's own (80, 443)
  std::string target = "/";  // path and query as given, starting with '/'; never the fragment
};

// An absolute http or https address, or nothing: another scheme, no host, a
// port outside 1-65535, user name or password (refused: a page could dress
// one site as another), blanks or control bytes anywhere.
std::optional<Url> ParseUrl(std::string_view text);

// The address again: "scheme://host[:port]/target", the port only where it
// is not the scheme's own, an IPv6 host in brackets.
std::string ToString(const Url& url);

// The Host header's value: the host (IPv6 in brackets), ":port" where it is
// not the scheme's own.
std::string HostHeader(const Url& url);

// "scheme://host:port", always with the port: the key of a connection.
std::string OriginKey(const Url& url);

// A Location header's reference (absolute, scheme-relative "//host/...",
// absolute path, or relative path with "." and ".." segments) against the
// address it came from; the fragment dropped. Nothing when the result is
// not an http or https address.
std::optional<Url> Resolve(const Url& base, std::string_view reference);

}  // namespace corvane::net
