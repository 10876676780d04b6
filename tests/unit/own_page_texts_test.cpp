// What the browser says itself about the page shown, on every platform: each
// reason its words, and nothing from the page or its address as markup.
#include <gtest/gtest.h>

#include <string>

#include "browsing/own_page_texts.h"

namespace corvane {
namespace {

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(OwnPageTexts, EachReasonHasItsTitleAndWords) {
  struct Case {
    OwnPageText text;
    const char* title;
    const char* says;
  };
  const std::string a = "http://a.test/";
  for (const Case& c : {
           Case{LoadFailedText(a, LoadFailure::kNetworkServiceFailed), "Page Stopped Working",
                "network service failed"},
           Case{LoadFailedText(a, LoadFailure::kServerNotFound), "Server Not Found",
                "No server of this name"},
           Case{LoadFailedText(a, LoadFailure::kConnectionRefused), "Connection Refused",
                "refused the connection"},
           Case{LoadFailedText(a, LoadFailure::kTimedOut), "Connection Timed Out", "too long"},
           Case{LoadFailedText(a, LoadFailure::kUnreachable), "Server Unreachable",
                "cannot be reached"},
           Case{LoadFailedText(a, LoadFailure::kSecureConnectionFailed),
                "Secure Connection Failed", "secure connection"},
           Case{LoadFailedText(a, LoadFailure::kAddressNotUnderstood), "Address Not Understood",
                "cannot be opened"},
           Case{LoadFailedText(a, LoadFailure::kPortNotAllowed), "Port Not Allowed",
                "kept for other services"},
           Case{LoadFailedText(a, LoadFailure::kCannotShow), "Page Not Shown", "cannot be shown"},
           Case{LoadFailedText(a, LoadFailure::kOther, "engine's words"), "Page Not Loaded",
                "could not be loaded: engine's words"},
           Case{LoadFailedText(a, LoadFailure::kOther), "Page Not Loaded",
                "The page could not be loaded."},
           Case{CertificateText(a, certificate::kUnknownAuthority), "Certificate Not Trusted",
                "(it is not signed by a known authority)"},
           Case{CertificateText(a, certificate::kExpired | certificate::kOtherSite),
                "Certificate Not Trusted", "(it was made for another site; it has expired)"},
           Case{CertificateText(a, 0), "Certificate Not Trusted", "(it could not be checked)"},
           Case{StoppedText(a, PageEnd::kCrashed), "Page Stopped Working", "ended unexpectedly"},
           Case{StoppedText(a, PageEnd::kTooMuchMemory), "Page Stopped Working",
                "too much memory"},
           Case{StoppedText(a, PageEnd::kStopped), "Page Stopped Working", "was stopped"},
       }) {
    SCOPED_TRACE(c.says);
    EXPECT_EQ(c.text.title, c.title);
    EXPECT_EQ(c.text.address, a);
    EXPECT_TRUE(Holds(c.text.reason, c.says)) << c.text.reason;
    EXPECT_TRUE(Holds(c.text.hint, "Refresh") || Holds(c.text.hint, "Check the address"))
        << c.text.hint;
    const std::string html = OwnPageHtml(c.text);
    EXPECT_TRUE(Holds(html, "<title>" + c.text.title + "</title>"));
    EXPECT_TRUE(Holds(html, "<h1>" + c.text.title + "</h1>"));
  }
}

TEST(OwnPageTexts, TheAddressAndTheReasonAreTextNotMarkup) {
  const std::string address = "http://a.test/<script>alert('x')</script>?a=\"b\"&c";
  for (const OwnPageText& text :
       {LoadFailedText(address, LoadFailure::kOther, "<img src=x onerror=alert(1)>"),
        CertificateText(address, certificate::kExpired),
        StoppedText(address, PageEnd::kCrashed)}) {
    SCOPED_TRACE(text.title);
    const std::string html = OwnPageHtml(text);
    EXPECT_FALSE(Holds(html, "<script"));
    EXPECT_FALSE(Holds(html, "<img"));
    EXPECT_TRUE(Holds(html,
                      "http://a.test/&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"
                      "?a=&quot;b&quot;&amp;c"));
    // The page loads nothing.
    EXPECT_TRUE(Holds(html, "default-src 'none'"));
  }
  EXPECT_EQ(EscapeHtml("a<b>&\"'c"), "a&lt;b&gt;&amp;&quot;&#39;c");
}

TEST(OwnPageTexts, QuestionsNameThePageAndOfferToStopIt) {
  const PageQuestion hung = NotRespondingQuestion("http://a.test/");
  EXPECT_EQ(hung.title, "Page Not Responding");
  EXPECT_EQ(hung.text, "The page is not responding.");
  EXPECT_TRUE(Holds(hung.detail, "http://a.test/"));
  EXPECT_EQ(hung.goOn, "&Wait");
  EXPECT_EQ(hung.stop, "&Stop Page");

  const PageQuestion dialogs = TooManyDialogsQuestion("Again!", "http://a.test/");
  EXPECT_EQ(dialogs.title, "Page Keeps Opening Dialogs");
  EXPECT_EQ(dialogs.detail, "Again!\n\nhttp://a.test/");
  EXPECT_EQ(dialogs.goOn, "&OK");
  EXPECT_EQ(dialogs.stop, "&Stop Page");
}

}  // namespace
}  // namespace corvane
