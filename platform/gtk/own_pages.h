// The engine's reasons, in the page policy's words: why a load failed, what
// is wrong with a certificate, why a page's process ended. The policy
// (through the page port) decides what is shown for them.
#pragma once

#include <gio/gio.h>
#include <webkit2/webkit2.h>

#include <optional>

#include "platform/ports/page.h"

namespace corvane::gtk {

// Why a load failed with `error`, or nothing when the load was only
// cancelled or turned into something else (a stop, a new navigation, a
// download).
std::optional<LoadFailure> LoadFailureOf(const GError& error);

// The certificate:: flags for the engine's.
unsigned CertificateProblemsOf(GTlsCertificateFlags errors);

PageEnd PageEndOf(WebKitWebProcessTerminationReason reason);

}  // namespace corvane::gtk
