// Cookies kept in memory for the run: where the system's store cannot keep
// a cookie as the server asked (an HttpOnly cookie on a system without
// HttpOnly flags), the Windows handler keeps it here instead, never on disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/http_exchange.h"

namespace corvane::net {

// Whether a Set-Cookie value carries the HttpOnly attribute (any case).
bool IsHttpOnly(std::string_view setCookie);

class MemoryCookieJar : public CookieStore {
 public:
  // `nowSeconds` gives the time (seconds since 1970, UTC) for Expires and
  // Max-Age; tests give their own clock.
  using Clock = std::int64_t (*)();
  explicit MemoryCookieJar(Clock nowSeconds);

  // Cookies whose domain (host-only, or the Domain attribute and its
  // subdomains; never a domain that is not the host's own or a parent of
  // it), path (the Path attribute or the default path) and Secure flag
  // match `url`, unexpired, longest path first.
  std::string CookieHeader(const Url& url) override;
  // Keeps, replaces (same name, domain and path) or, for an expiry in the
  // past, removes one cookie. A value without "name=" or with a control
  // byte is ignored. At most 50 cookies per domain and 4096 bytes each.
  void Store(const Url& url, std::string_view setCookie) override;

  std::size_t Count() const { return cookies_.size(); }

 private:
  struct Cookie {
    std::string name, value, domain, path;
    bool hostOnly = true, secure = false, httpOnly = false;
    std::int64_t expires = INT64_MAX;  // seconds since 1970; INT64_MAX for the run
  };
  Clock now_;
  std::vector<Cookie> cookies_;
};

}  // namespace corvane::net
