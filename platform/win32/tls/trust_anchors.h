// The roots the program's own TLS trusts, made at build time from Debian's
// ca-certificates (make_trust_anchors.py); a test build may add one root.
#pragma once

#include <cstddef>

#include "bearssl.h"

namespace corvane::win32::tls {

extern const br_x509_trust_anchor kTrustAnchors[];
extern const std::size_t kTrustAnchorCount;
// Where they came from: "ca-certificates <Debian package version>".
extern const char kTrustAnchorsSource[];

}  // namespace corvane::win32::tls
