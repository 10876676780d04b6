// What the browser says itself about the page shown: the pages it shows in
// the web view (why a page could not be loaded, an untrusted certificate, a
// page that stopped working) and its questions about a page that stops
// answering. The same words on every platform; each backend maps its
// engine's reasons to the ones here.
#pragma once

#include <string>
#include <string_view>

#include "platform/ports/page.h"

namespace corvane {

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

// The page at `address` does not answer.
PageQuestion NotRespondingQuestion(const std::string& address);
// The page at `address` opens dialog after dialog; `message` is the one it
// opens now.
PageQuestion TooManyDialogsQuestion(const std::string& message, const std::string& address);

}  // namespace corvane
