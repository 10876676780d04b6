// What the text typed into the address box means: an address to go to, or
// words to search for. One rule for every web view; what differs is who
// completes an address (the engine of Linux loads only complete addresses,
// the control of Windows completes them itself).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Who completes an address the user typed before it is loaded.
enum class AddressCompletion {
  kHere,          // FixUpAddress below (the engine loads complete addresses only)
  kByTheControl,  // the web control completes it (Windows): it goes as typed
};

// The complete address for what the user typed:
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

// True for a Windows file path: a drive letter and a colon followed by a
// slash or backslash ("C:\My Pages\a.html"), or a share ("\\server\share").
// Blanks inside do not make it words for a control that opens such paths.
bool IsWindowsPath(const std::string& typed);

// The search address for `words`: `queryForm` with its "%s" replaced by the
// words, trimmed and percent-escaped as UTF-8 (every byte but letters, digits
// and "-._~"); a form without "%s" gets the words appended; the result is
// completed like a typed address.
std::string SearchAddress(const std::string& words, const std::string& queryForm);

// True for a script address ("javascript:...", "vbscript:...", in any
// case, blanks around it or not): it would run inside the page shown rather
// than go anywhere, and it is no place to navigate to.
bool IsScriptAddress(std::string_view address);

// What the web view is asked to load for what the user typed: the search
// address for words, else the address, completed here or left to the
// control; nothing for a script address, which is refused. With an empty
// `queryForm` nothing is searched: words go as an address. For a control
// that completes addresses itself, a Windows path is never words.
std::optional<std::string> AddressToLoad(const std::string& typed, const std::string& queryForm,
                                         AddressCompletion completion);

}  // namespace corvane
