// What the browser says itself about the page shown: the pages it shows in
// the web view (why a page could not be loaded, an untrusted certificate, a
// page that stopped working) and its questions about a page that stops
// answering. The same words on every platform; each backend maps its
// engine's reasons to the ones here.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Why a page could not be loaded.
enum class LoadFailure {
  kNetworkServiceFailed,  // the engine's own network service ended under the load
  kServerNotFound,
  kConnectionRefused,
  kTimedOut,
  kUnreachable,
  kSecureConnectionFailed,
  kAddressNotUnderstood,  // a kind of address that cannot be opened
  kPortNotAllowed,        // a port kept for other services than the web
  kCannotShow,            // content of a kind that cannot be shown
  kOther,                 // the engine's own words say why
};

// What is wrong with a site's certificate: any of these together.
namespace certificate {
inline constexpr unsigned kUnknownAuthority = 1U << 0U;
inline constexpr unsigned kOtherSite = 1U << 1U;
inline constexpr unsigned kNotYetValid = 1U << 2U;
inline constexpr unsigned kExpired = 1U << 3U;
inline constexpr unsigned kRevoked = 1U << 4U;
inline constexpr unsigned kInsecure = 1U << 5U;
}  // namespace certificate

// Why a page's process ended.
enum class PageEnd { kCrashed, kTooMuchMemory, kStopped };

// A page of ours: its headline (also the caption), the address it stands
// for, what happened and what the user can do.
struct OwnPageText {
  std::string title;
  std::string address;
  std::string reason;
  std::string hint;
};

// `detail`: the engine's own words, said for kOther.
OwnPageText LoadFailedText(const std::string& address, LoadFailure why,
                           const std::string& detail = {});
// `problems`: certificate::k... flags.
OwnPageText CertificateText(const std::string& address, unsigned problems);
OwnPageText StoppedText(const std::string& address, PageEnd why);

// `text` with &, <, >, " and ' written as character references.
std::string EscapeHtml(std::string_view text);
// The page as HTML: nothing of the text is markup, and the page may load
// nothing (no script, picture or other file).
std::string OwnPageHtml(const OwnPageText& text);

// A question about the page shown: the box's caption, its text, the detail
// under it, and its two buttons ("&" marks the access key). The first button
// lets the page go on; the second stops it.
struct PageQuestion {
  std::string title;
  std::string text;
  std::string detail;
  std::string goOn;
  std::string stop;
};

// The page at `address` does not answer.
PageQuestion NotRespondingQuestion(const std::string& address);
// The page at `address` opens dialog after dialog; `message` is the one it
// opens now.
PageQuestion TooManyDialogsQuestion(const std::string& message, const std::string& address);

}  // namespace corvane
