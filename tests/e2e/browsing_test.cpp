// Everyday browsing in the real program: new-window requests, words typed
// into the address box, failed loads, and pages that crash, hang or open
// dialogs for good.
#include "tests/e2e/e2e_fixture.h"

namespace corvane::testing {
namespace {

// ---- words search ----------------------------------------------------------------

using WordsSearch = EndToEnd;

TEST_F(WordsSearch, WordsGoToTheSearchPageAndAddressesWhereTheySay) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));

  Enter(*browser, "weather in paris");
  EXPECT_TRUE(CaptionBecomes(*browser, "Results" + kSuffix));
  EXPECT_EQ(server.LastTarget("/find.html"), "/find.html?q=weather%20in%20paris");

  Enter(*browser, "localhost:" + std::to_string(server.Port()) + "/second.html");
  EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  Enter(*browser, "fish&chips?");
  EXPECT_TRUE(CaptionBecomes(*browser, "Results" + kSuffix));
  EXPECT_EQ(server.LastTarget("/find.html"), "/find.html?q=fish%26chips%3F");
  EXPECT_EQ(server.Requests("/find.html"), 2);
}

}  // namespace
}  // namespace corvane::testing
