// Address fix-up for the web view: the engine loads only complete addresses,
// so a bare host name or a host with a port gets a scheme here.
#pragma once

#include <string>

namespace corvane::gtk {

// The address the engine is asked to load for what the user typed:
// - text that already carries a scheme ("http:", "file:", "about:", "data:"...)
//   is kept as it is;
// - "localhost", an IPv4 literal or a bracketed IPv6 literal, with or without
//   a port and path, gets "http://";
// - any other host name gets "https://";
// - empty text (or blanks only) becomes "about:blank".
// Leading and trailing blanks are dropped.
std::string FixUpAddress(const std::string& typed);

}  // namespace corvane::gtk
