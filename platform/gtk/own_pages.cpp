#include "platform/gtk/own_pages.h"

namespace corvane::gtk {

namespace {

// A plain page: the headline, the address, what happened, what to do.
OwnPage Page(const std::string& title, const std::string& address, const std::string& reason,
             const std::string& hint) {
  std::string html =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'\"><title>" +
      EscapeHtml(title) +
      "</title><style>body{font-family:sans-serif;margin:3em;color:#222}"
      "h1{font-size:1.4em}.address{font-family:monospace;word-break:break-all}</style>"
      "</head><body><h1>" +
      EscapeHtml(title) + "</h1><p class=\"address\">" + EscapeHtml(address) + "</p><p>" +
      EscapeHtml(reason) + "</p><p>" + EscapeHtml(hint) + "</p></body></html>";
  return {title, std::move(html)};
}

constexpr const char* kTryAgain = "Refresh, or press Enter in the address box, to try again.";
constexpr const char* kLoadAgain = "Refresh, or press Enter in the address box, to load it again.";

// The engine's own failures ("internal error"): seen when its network
// process ends in the middle of a load.
constexpr const char* kEngineDomain = "WebKitErrorDomain";
constexpr int kEngineInternalError = 300;

}  // namespace

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

std::optional<OwnPage> LoadFailurePage(const std::string& address, const GError& error) {
  const GQuark domain = error.domain;
  const int code = error.code;
  // Ended on purpose, or handed on (a download): nothing to tell.
  if ((domain == WEBKIT_NETWORK_ERROR && code == WEBKIT_NETWORK_ERROR_CANCELLED) ||
      (domain == G_IO_ERROR && code == G_IO_ERROR_CANCELLED) ||
      (domain == WEBKIT_POLICY_ERROR &&
       code == WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
      domain == WEBKIT_PLUGIN_ERROR || domain == WEBKIT_DOWNLOAD_ERROR) {
    return std::nullopt;
  }
  if (domain == g_quark_from_static_string(kEngineDomain) && code == kEngineInternalError) {
    return Page("Page Stopped Working", address,
                "The browser's network service failed while the page was loading.", kLoadAgain);
  }
  if (domain == G_RESOLVER_ERROR ||
      (domain == G_IO_ERROR && code == G_IO_ERROR_HOST_NOT_FOUND)) {
    return Page("Server Not Found", address,
                "No server of this name could be found. Check the address for a typing error, "
                "and the network connection.",
                kTryAgain);
  }
  if (domain == G_IO_ERROR && code == G_IO_ERROR_CONNECTION_REFUSED) {
    return Page("Connection Refused", address,
                "The server refused the connection: nothing answers at this address.", kTryAgain);
  }
  if (domain == G_IO_ERROR && code == G_IO_ERROR_TIMED_OUT) {
    return Page("Connection Timed Out", address, "The server took too long to answer.",
                kTryAgain);
  }
  if (domain == G_IO_ERROR &&
      (code == G_IO_ERROR_NETWORK_UNREACHABLE || code == G_IO_ERROR_HOST_UNREACHABLE)) {
    return Page("Server Unreachable", address,
                "The server cannot be reached. Check the network connection.", kTryAgain);
  }
  if (domain == G_TLS_ERROR) {
    return Page("Secure Connection Failed", address,
                "A secure connection to the server could not be made.", kTryAgain);
  }
  if (domain == WEBKIT_POLICY_ERROR && code == WEBKIT_POLICY_ERROR_CANNOT_SHOW_URI) {
    return Page("Address Not Understood", address, "This kind of address cannot be opened.",
                "Check the address for a typing error.");
  }
  if (domain == WEBKIT_POLICY_ERROR && code == WEBKIT_POLICY_ERROR_CANNOT_USE_RESTRICTED_PORT) {
    return Page("Port Not Allowed", address,
                "This address uses a port that is kept for other services than the web, so "
                "it is not opened.",
                "Check the address for a typing error.");
  }
  if (domain == WEBKIT_POLICY_ERROR && code == WEBKIT_POLICY_ERROR_CANNOT_SHOW_MIME_TYPE) {
    return Page("Page Not Shown", address, "This content is of a kind that cannot be shown.",
                kTryAgain);
  }
  const std::string detail = error.message != nullptr ? error.message : "";
  return Page("Page Not Loaded", address,
              detail.empty() ? "The page could not be loaded."
                             : "The page could not be loaded: " + detail,
              kTryAgain);
}

OwnPage CertificatePage(const std::string& address, GTlsCertificateFlags errors) {
  std::string why;
  const auto add = [&](GTlsCertificateFlags flag, const char* text) {
    if ((errors & flag) != 0) {
      why += why.empty() ? "" : "; ";
      why += text;
    }
  };
  add(G_TLS_CERTIFICATE_UNKNOWN_CA, "it is not signed by a known authority");
  add(G_TLS_CERTIFICATE_BAD_IDENTITY, "it was made for another site");
  add(G_TLS_CERTIFICATE_NOT_ACTIVATED, "it is not valid yet");
  add(G_TLS_CERTIFICATE_EXPIRED, "it has expired");
  add(G_TLS_CERTIFICATE_REVOKED, "it has been revoked");
  add(G_TLS_CERTIFICATE_INSECURE, "it uses an insecure algorithm");
  if (why.empty()) {
    why = "it could not be checked";
  }
  return Page("Certificate Not Trusted", address,
              "The site's certificate is not trusted (" + why +
                  "), so the page was not loaded: someone may be posing as the site.",
              "Check the address, or try again later.");
}

OwnPage StoppedPage(const std::string& address, WebKitWebProcessTerminationReason reason) {
  const char* why = "The page's process ended unexpectedly.";
  if (reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT) {
    why = "The page used too much memory and was ended.";
  } else if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API) {
    why = "The page was stopped.";
  }
  return Page("Page Stopped Working", address, why, kLoadAgain);
}

}  // namespace corvane::gtk
