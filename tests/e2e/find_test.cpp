// Find in the page in the real program: Ctrl+F, a word typed and Enter
// scroll a long page to it; Esc gives the keyboard back to the page.
#include <cstdio>
#include <string>

#include "tests/e2e/e2e_fixture.h"

namespace corvane::testing {
namespace {

// A page far longer than the view, with a "zanzibar" near the end (and what
// `top` adds at its top). Its title tells how far it is scrolled, and the
// last key it saw.
std::string LongPage(const std::string& title = "Long Page", const std::string& top = "") {
  std::string html =
      "<!DOCTYPE html><html><head><title>" + title + "</title><script>"
      "addEventListener('scroll', () => { document.title = 'Scrolled ' + Math.round(scrollY); });"
      "addEventListener('keydown', e => { document.title = 'Key ' + e.key; });"
      "</script></head><body>" + top;
  for (int i = 0; i < 400; ++i) {
    html += "<p>Line " + std::to_string(i) + " of nothing much.</p>";
  }
  return html + "<p>Here is zanzibar at last.</p></body></html>";
}

// The long page with its one "quagga" at the top right, where the Find
// window opens. A click's title tells where it landed in the view and where
// the word is.
std::string CornerPage() {
  return LongPage("Corner Page",
                  "<script>addEventListener('click', e => {"
                  " const r = document.getElementById('w').getBoundingClientRect();"
                  " document.title = 'At ' + [e.clientX, e.clientY, r.left, r.top, r.width,"
                  " r.height].map(Math.round).join(' '); });</script>"
                  "<span id=w style='position:absolute; top:60px; right:120px'>quagga</span>");
}

bool Overlap(const ScreenRect& a, const ScreenRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
         b.y < a.y + a.height;
}

class FindInPage : public EndToEnd {
 protected:
  void SetUp() override {
    Serve("/long.html", LongPage());
    Serve("/corner.html", CornerPage());
  }
  void Serve(const std::string& path, const std::string& body) {
    server.Route(path, [body](int socket) {
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

// Find Next moves the window off a match it covers.
TEST_F(FindInPage, TheFindWindowMovesOffTheMatchItOpensOver) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  Enter(*browser, Root() + "/corner.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Corner Page" + kSuffix));
  // A click low in the view tells where the word is on the screen.
  const ScreenRect outer = x.Geometry(*browser);
  const int clickX = outer.x + 100;
  const int clickY = outer.y + outer.height - 100;
  x.Click(clickX, clickY);
  int at[6] = {};  // the click in the view, and the word's box
  ASSERT_TRUE(Eventually([&] {
    return std::sscanf(x.Title(*browser).c_str(), "At %d %d %d %d %d %d", &at[0], &at[1], &at[2],
                       &at[3], &at[4], &at[5]) == 6;
  })) << x.Title(*browser);
  const ScreenRect word{clickX - at[0] + at[2], clickY - at[1] + at[3], at[4], at[5]};
  x.Focus(*browser);
  x.Key("f", {"Control_L"});
  const auto find = Titled("Find");
  ASSERT_TRUE(find);
  ASSERT_TRUE(Overlap(x.Geometry(*find), word));  // it opens over the word
  x.Focus(*find);
  x.Type("quagga");
  x.Key("Return");
  EXPECT_TRUE(Eventually([&] { return !Overlap(x.Geometry(*find), word); }));
}

}  // namespace
}  // namespace corvane::testing
