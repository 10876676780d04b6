#include "platform/gtk/own_pages.h"

namespace corvane::gtk {

namespace {

// The engine's own failures ("internal error"): seen when its network
// process ends in the middle of a load.
constexpr const char* kEngineDomain = "WebKitErrorDomain";
constexpr int kEngineInternalError = 300;

}  // namespace

std::optional<LoadFailure> LoadFailureOf(const GError& error) {
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
    return LoadFailure::kNetworkServiceFailed;
  }
  if (domain == G_RESOLVER_ERROR || (domain == G_IO_ERROR && code == G_IO_ERROR_HOST_NOT_FOUND)) {
    return LoadFailure::kServerNotFound;
  }
  if (domain == G_IO_ERROR && code == G_IO_ERROR_CONNECTION_REFUSED) {
    return LoadFailure::kConnectionRefused;
  }
  if (domain == G_IO_ERROR && code == G_IO_ERROR_TIMED_OUT) {
    return LoadFailure::kTimedOut;
  }
  if (domain == G_IO_ERROR &&
      (code == G_IO_ERROR_NETWORK_UNREACHABLE || code == G_IO_ERROR_HOST_UNREACHABLE)) {
    return LoadFailure::kUnreachable;
  }
  if (domain == G_TLS_ERROR) {
    return LoadFailure::kSecureConnectionFailed;
  }
  if (domain == WEBKIT_POLICY_ERROR && code == WEBKIT_POLICY_ERROR_CANNOT_SHOW_URI) {
    return LoadFailure::kAddressNotUnderstood;
  }
  if (domain == WEBKIT_POLICY_ERROR && code == WEBKIT_POLICY_ERROR_CANNOT_USE_RESTRICTED_PORT) {
    return LoadFailure::kPortNotAllowed;
  }
  if (domain == WEBKIT_POLICY_ERROR && code == WEBKIT_POLICY_ERROR_CANNOT_SHOW_MIME_TYPE) {
    return LoadFailure::kCannotShow;
  }
  return LoadFailure::kOther;
}

unsigned CertificateProblemsOf(GTlsCertificateFlags errors) {
  static constexpr struct {
    GTlsCertificateFlags engine;
    unsigned ours;
  } kProblems[] = {
      {G_TLS_CERTIFICATE_UNKNOWN_CA, certificate::kUnknownAuthority},
      {G_TLS_CERTIFICATE_BAD_IDENTITY, certificate::kOtherSite},
      {G_TLS_CERTIFICATE_NOT_ACTIVATED, certificate::kNotYetValid},
      {G_TLS_CERTIFICATE_EXPIRED, certificate::kExpired},
      {G_TLS_CERTIFICATE_REVOKED, certificate::kRevoked},
      {G_TLS_CERTIFICATE_INSECURE, certificate::kInsecure},
  };
  unsigned problems = 0;
  for (const auto& problem : kProblems) {
    if ((errors & problem.engine) != 0) {
      problems |= problem.ours;
    }
  }
  return problems;
}

PageEnd PageEndOf(WebKitWebProcessTerminationReason reason) {
  PageEnd why = PageEnd::kCrashed;
  if (reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT) {
    why = PageEnd::kTooMuchMemory;
  } else if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API) {
    why = PageEnd::kStopped;
  }
  return why;
}

}  // namespace corvane::gtk
