// The pages the browser shows itself in the web view, from the engine's
// reasons: why a page could not be loaded, and that a page stopped working.
// Their words and markup are the core's (platform/own_page_texts.h); here the
// engine's errors are mapped to its reasons.
#pragma once

#include <gio/gio.h>
#include <webkit2/webkit2.h>

#include <optional>
#include <string>

#include "platform/own_page_texts.h"

namespace corvane::gtk {

struct OwnPage {
  std::string title;  // what the caption shows
  std::string html;
};

// Why a load failed with `error`, or nothing when the load was only
// cancelled or turned into something else (a stop, a new navigation, a
// download).
std::optional<LoadFailure> LoadFailureOf(const GError& error);

// The page for a load of `address` that failed with `error`, or nothing (see
// LoadFailureOf).
std::optional<OwnPage> LoadFailurePage(const std::string& address, const GError& error);

// The page for a load refused because of the site's certificate.
OwnPage CertificatePage(const std::string& address, GTlsCertificateFlags errors);

// The page for a page whose process has ended.
OwnPage StoppedPage(const std::string& address, WebKitWebProcessTerminationReason reason);

}  // namespace corvane::gtk
