// A site's identity: the scheme, host and port an address belongs to (what
// a permission answer is kept for), and the registrable domain that the
// sites of one owner share. One function for every decision that needs it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

struct Site {
  std::string scheme;  // lower case
  std::string host;    // lower case; an IPv6 address in brackets
  int port = 0;        // as named, else the scheme's own (80, 443); 0 where it has none

  // "scheme://host", with ":port" where the port is not the scheme's own.
  [[nodiscard]] std::string Origin() const;
  bool operator==(const Site&) const = default;
};

// The site of `address`, or none for an address without a host (about:,
// data:, file:, javascript:) or one that cannot be read (a bad port).
std::optional<Site> SiteOf(std::string_view address);

// The part of `host` its owner registered: the last two labels, or three
// under a country's common second-level names ("example.co.uk",
// "example.com.au"); an IP address, a single label and a name that is all
// suffix are their own.
std::string RegistrableDomain(std::string_view host);

}  // namespace corvane
