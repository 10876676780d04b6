// The pages the browser shows itself in the web view: why a page could not
// be loaded, and that a page stopped working.
#pragma once

#include <gio/gio.h>
#include <webkit2/webkit2.h>

#include <optional>
#include <string>
#include <string_view>

namespace corvane::gtk {

struct OwnPage {
  std::string title;  // what the caption shows
  std::string html;
};

// `text` with &, <, >, " and ' written as character references.
std::string EscapeHtml(std::string_view text);

// The page for a load of `address` that failed with `error`, or nothing when
// the load was only cancelled or turned into something else (a stop, a new
// navigation, a download).
std::optional<OwnPage> LoadFailurePage(const std::string& address, const GError& error);

// The page for a load refused because of the site's certificate.
OwnPage CertificatePage(const std::string& address, GTlsCertificateFlags errors);

// The page for a page whose process has ended.
OwnPage StoppedPage(const std::string& address, WebKitWebProcessTerminationReason reason);

}  // namespace corvane::gtk
