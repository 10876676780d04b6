#include "browsing/own_page_texts.h"

namespace corvane {

namespace {

constexpr const char* kTryAgain = "Refresh, or press Enter in the address box, to try again.";
constexpr const char* kLoadAgain = "Refresh, or press Enter in the address box, to load it again.";
constexpr const char* kCheckAddress = "Check the address for a typing error.";
constexpr const char* kStoppedTitle = "Page Stopped Working";

}  // namespace

OwnPageText LoadFailedText(const std::string& address, LoadFailure why,
                           const std::string& detail) {
  switch (why) {
    case LoadFailure::kNetworkServiceFailed:
      return {kStoppedTitle, address,
              "The browser's network service failed while the page was loading.", kLoadAgain};
    case LoadFailure::kServerNotFound:
      return {"Server Not Found", address,
              "No server of this name could be found. Check the address for a typing error, "
              "and the network connection.",
              kTryAgain};
    case LoadFailure::kConnectionRefused:
      return {"Connection Refused", address,
              "The server refused the connection: nothing answers at this address.", kTryAgain};
    case LoadFailure::kTimedOut:
      return {"Connection Timed Out", address, "The server took too long to answer.", kTryAgain};
    case LoadFailure::kUnreachable:
      return {"Server Unreachable", address,
              "The server cannot be reached. Check the network connection.", kTryAgain};
    case LoadFailure::kSecureConnectionFailed:
      return {"Secure Connection Failed", address,
              "A secure connection to the server could not be made.", kTryAgain};
    case LoadFailure::kAddressNotUnderstood:
      return {"Address Not Understood", address, "This kind of address cannot be opened.",
              kCheckAddress};
    case LoadFailure::kPortNotAllowed:
      return {"Port Not Allowed", address,
              "This address uses a port that is kept for other services than the web, so it is "
              "not opened.",
              kCheckAddress};
    case LoadFailure::kCannotShow:
      return {"Page Not Shown", address, "This content is of a kind that cannot be shown.",
              kTryAgain};
    case LoadFailure::kOther:
      break;
  }
  return {"Page Not Loaded", address,
          detail.empty() ? "The page could not be loaded."
                         : "The page could not be loaded: " + detail,
          kTryAgain};
}

OwnPageText CertificateText(const std::string& address, unsigned problems) {
  static constexpr struct {
    unsigned flag;
    const char* text;
  } kProblems[] = {
      {certificate::kUnknownAuthority, "it is not signed by a known authority"},
      {certificate::kOtherSite, "it was made for another site"},
      {certificate::kNotYetValid, "it is not valid yet"},
      {certificate::kExpired, "it has expired"},
      {certificate::kRevoked, "it has been revoked"},
      {certificate::kInsecure, "it uses an insecure algorithm"},
  };
  std::string why;
  for (const auto& problem : kProblems) {
    if ((problems & problem.flag) != 0) {
      why += why.empty() ? "" : "; ";
      why += problem.text;
    }
  }
  if (why.empty()) {
    why = "it could not be checked";
  }
  return {"Certificate Not Trusted", address,
          "The site's certificate is not trusted (" + why +
              "), so the page was not loaded: someone may be posing as the site.",
          "Check the address, or try again later."};
}

OwnPageText StoppedText(const std::string& address, PageEnd why) {
  const char* reason = "The page's process ended unexpectedly.";
  if (why == PageEnd::kTooMuchMemory) {
    reason = "The page used too much memory and was ended.";
  } else if (why == PageEnd::kStopped) {
    reason = "The page was stopped.";
  }
  return {kStoppedTitle, address, reason, kLoadAgain};
}

std::string EscapeHtml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c; break;
    }
  }
  return escaped;
}

// A plain page: the headline, the address, what happened, what to do.
std::string OwnPageHtml(const OwnPageText& text) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
         "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
         "style-src 'unsafe-inline'\"><title>" +
         EscapeHtml(text.title) +
         "</title><style>body{font-family:sans-serif;margin:3em;color:#222}"
         "h1{font-size:1.4em}.address{font-family:monospace;word-break:break-all}</style>"
         "</head><body><h1>" +
         EscapeHtml(text.title) + "</h1><p class=\"address\">" + EscapeHtml(text.address) +
         "</p><p>" + EscapeHtml(text.reason) + "</p><p>" + EscapeHtml(text.hint) +
         "</p></body></html>";
}

PageQuestion NotRespondingQuestion(const std::string& address) {
  return {"Page Not Responding", "The page is not responding.",
          address + "\n\nYou can wait for it to answer, or stop it.", "&Wait", "&Stop Page"};
}

PageQuestion TooManyDialogsQuestion(const std::string& message, const std::string& address) {
  return {"Page Keeps Opening Dialogs", "This page keeps opening dialogs.",
          message + "\n\n" + address, "&OK", "&Stop Page"};
}

}  // namespace corvane
