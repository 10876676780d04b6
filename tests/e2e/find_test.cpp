// Find in the page in the real program: Ctrl+F, a word typed and Enter
// scroll a long page to it; Esc gives the keyboard back to the page.
#include <string>

#include "tests/e2e/e2e_fixture.h"

namespace corvane::testing {
namespace {

// A page far longer than the view, with its one "zanzibar" near the end. Its
// title tells how far it is scrolled, and the last key it saw.
std::string LongPage() {
  std::string html =
      "<!DOCTYPE html><html><head><title>Long Page</title><script>"
      "addEventListener('scroll', () => { document.title = 'Scrolled ' + Math.round(scrollY); });"
      "addEventListener('keydown', e => { document.title = 'Key ' + e.key; });"
      "</script></head><body>";
  for (int i = 0; i < 400; ++i) {
    html += "<p>Line " + std::to_string(i) + " of nothing much.</p>";
  }
  return html + "<p>Here is zanzibar at last.</p></body></html>";
}

class FindInPage : public EndToEnd {
 protected:
  void SetUp() override {
    server.Route("/long.html", [](int socket) {
      const std::string body = LongPage();
      LoopbackServer::Send(socket, "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                                   "Content-Length: " + std::to_string(body.size()) +
                                       "\r\nConnection: close\r\n\r\n" + body);
    });
  }
  // How far the page says it is scrolled, or -1.
  int Scrolled(XWindow browser) {
    const std::string title = x.Title(browser);
    return title.starts_with("Scrolled ") ? std::stoi(title.substr(9)) : -1;
  }
};

TEST_F(FindInPage, CtrlFFindsAWordFarDownAndEscGivesThePageTheKeyboardBack) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));
  Enter(*browser, Root() + "/long.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Long Page" + kSuffix));

  x.Focus(*browser);
  x.Key("f", {"Control_L"});
  const auto find = Titled("Find");
  ASSERT_TRUE(find);
  // It opens over the browser window's top-right corner.
  const ScreenRect outer = x.Geometry(*browser);
  const ScreenRect inner = x.Geometry(*find);
  EXPECT_GT(inner.x, outer.x + outer.width / 2);
  EXPECT_LT(inner.x + inner.width, outer.x + outer.width);
  EXPECT_GT(inner.y, outer.y);

  x.Focus(*find);  // as the window system would, however busy the machine is
  x.Type("zanzibar");
  x.Key("Return");
  // The page scrolls down to the word: thousands of pixels.
  EXPECT_TRUE(Eventually([&] { return Scrolled(*browser) > 3000; }))
      << x.Title(*browser);

  x.Key("Escape");
  EXPECT_TRUE(Gone(*find));
  // The engine takes the first key after the focus comes into the page for
  // its input method; a Shift alone is that key here. Keys sent before the
  // focus has arrived go nowhere: they are sent again until the page sees one.
  EXPECT_TRUE(Eventually([&] {
    x.Key("Shift_L");
    x.Key("k");
    return CaptionBecomes(*browser, "Key k" + kSuffix, 500ms);
  }, 10s)) << x.Title(*browser);
  EXPECT_TRUE(program->Running());
}

}  // namespace
}  // namespace corvane::testing
