// The pages the browser shows itself, from the engine's reasons: which
// failures get one, and which of the page policy's texts each gets.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "browsing/own_page_texts.h"
#include "platform/gtk/own_pages.h"

namespace corvane::gtk {
namespace {

struct OwnPage {
  std::string title;
  std::string html;
};

OwnPage Page(const OwnPageText& text) { return {text.title, OwnPageHtml(text)}; }

std::optional<OwnPage> LoadFailurePage(const std::string& address, const GError& error) {
  const std::optional<LoadFailure> why = LoadFailureOf(error);
  if (!why) {
    return std::nullopt;
  }
  return Page(LoadFailedText(address, *why, error.message != nullptr ? error.message : ""));
}

OwnPage CertificatePage(const std::string& address, GTlsCertificateFlags errors) {
  return Page(CertificateText(address, CertificateProblemsOf(errors)));
}

OwnPage StoppedPage(const std::string& address, WebKitWebProcessTerminationReason reason) {
  return Page(StoppedText(address, PageEndOf(reason)));
}

TEST(OwnPages, EachFailureGetsItsReasonAndCancellationsNone) {
  struct Case {
    GQuark domain;
    int code;
    const char* title;  // nullptr: no page of our own
  };
  for (const Case& c : {
           Case{G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, "Server Not Found"},
           Case{G_RESOLVER_ERROR, G_RESOLVER_ERROR_TEMPORARY_FAILURE, "Server Not Found"},
           Case{G_IO_ERROR, G_IO_ERROR_HOST_NOT_FOUND, "Server Not Found"},
           Case{G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED, "Connection Refused"},
           Case{G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "Connection Timed Out"},
           Case{G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE, "Server Unreachable"},
           Case{G_TLS_ERROR, G_TLS_ERROR_BAD_CERTIFICATE, "Secure Connection Failed"},
           Case{WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_CANNOT_SHOW_URI, "Address Not Understood"},
           Case{WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_CANNOT_USE_RESTRICTED_PORT,
                "Port Not Allowed"},
           Case{WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_TRANSPORT, "Page Not Loaded"},
           // What a load gets when the engine's network process ends under it.
           Case{g_quark_from_static_string("WebKitErrorDomain"), 300, "Page Stopped Working"},
           Case{WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED, nullptr},
           Case{G_IO_ERROR, G_IO_ERROR_CANCELLED, nullptr},
           Case{WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE,
                nullptr},
           Case{WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_NETWORK, nullptr},
       }) {
    SCOPED_TRACE(std::string(g_quark_to_string(c.domain)) + " " + std::to_string(c.code));
    const GError error{c.domain, c.code, const_cast<gchar*>("engine's words")};
    const std::optional<OwnPage> page = LoadFailurePage("http://a.test/", error);
    ASSERT_EQ(page.has_value(), c.title != nullptr);
    if (page) {
      EXPECT_EQ(page->title, c.title);
      EXPECT_NE(page->html.find("<title>" + page->title + "</title>"), std::string::npos);
      EXPECT_NE(page->html.find("http://a.test/"), std::string::npos);
    }
  }
}

TEST(OwnPages, CertificateAndStoppedPagesSayWhy) {
  struct Case {
    OwnPage page;
    const char* title;
    const char* says;
  };
  for (const Case& c : {
           Case{CertificatePage("https://a.test/", G_TLS_CERTIFICATE_UNKNOWN_CA),
                "Certificate Not Trusted", "not signed by a known authority"},
           Case{CertificatePage("https://a.test/", static_cast<GTlsCertificateFlags>(
                                                       G_TLS_CERTIFICATE_BAD_IDENTITY |
                                                       G_TLS_CERTIFICATE_EXPIRED)),
                "Certificate Not Trusted", "made for another site; it has expired"},
           Case{StoppedPage("http://a.test/", WEBKIT_WEB_PROCESS_CRASHED), "Page Stopped Working",
                "ended unexpectedly"},
           Case{StoppedPage("http://a.test/", WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT),
                "Page Stopped Working", "too much memory"},
           Case{StoppedPage("http://a.test/", WEBKIT_WEB_PROCESS_TERMINATED_BY_API),
                "Page Stopped Working", "was stopped"},
       }) {
    SCOPED_TRACE(c.says);
    EXPECT_EQ(c.page.title, c.title);
    EXPECT_NE(c.page.html.find(c.says), std::string::npos);
  }
}

}  // namespace
}  // namespace corvane::gtk
