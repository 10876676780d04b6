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

// True when what the user typed is words to search for rather than an
// address: it has blanks inside (unless it starts with a web scheme such as
// "http:" or "file:"), or it is a single word with no dot, no scheme and no
// port or path that is neither "localhost" nor an IP literal ("weather",
// "why?"). "intranet/", "printer:631", "example.com", "127.0.0.1" and
// "about:blank" are addresses.
bool IsSearchWords(const std::string& typed);

// The search address for `words`: `queryForm` with its "%s" replaced by the
// words, trimmed and percent-escaped as UTF-8 (every byte but letters, digits
// and "-._~"); a form without "%s" gets the words appended.
std::string SearchAddress(const std::string& words, const std::string& queryForm);

// What the engine is asked to load for what the user typed: the search
// address for words, else the fixed-up address.
std::string AddressToLoad(const std::string& typed, const std::string& queryForm);

}  // namespace corvane::gtk
