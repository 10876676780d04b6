// The real program, started under a private X server against a loopback
// server, driven with real keys and clicks, watched through its windows.
#include <cstdlib>
#include <filesystem>

#include "tests/e2e/e2e_fixture.h"

namespace corvane::testing {
namespace {

// ---- splash ------------------------------------------------------------------

using Splash = EndToEnd;

TEST_F(Splash, ComesFirstCentredWithoutATitleBarAtItsDesignedSize) {
  const auto splash = SplashWindow();
  ASSERT_TRUE(splash);
  EXPECT_EQ(x.TopLevels(program->Pid()).size(), 1U);
  const ScreenRect r = x.Geometry(*splash);
  const ScreenRect screen = x.Screen();
  EXPECT_EQ(r.width, 7380 / kTwipsPerPixel);
  EXPECT_EQ(r.height, 4245 / kTwipsPerPixel);
  EXPECT_NEAR(r.x, (screen.width - r.width) / 2, 1);
  EXPECT_NEAR(r.y, (screen.height - r.height) / 2, 1);
}

TEST_F(Splash, ALetterEnterEscOrAClickOnTheFrameOpensTheBrowser) {
  struct Case {
    const char* what;
    std::function<void(XDriver&, XWindow)> act;
  };
  const std::vector<Case> cases = {
      {"letter", [](XDriver& d, XWindow) { d.Key("q"); }},
      {"Enter", [](XDriver& d, XWindow) { d.Key("Return"); }},
      {"Esc", [](XDriver& d, XWindow) { d.Key("Escape"); }},
      {"frame's empty area",
       [](XDriver& d, XWindow w) {
         const ScreenRect r = d.Geometry(w);
         d.Click(r.x + (150 + 6500) / kTwipsPerPixel, r.y + (60 + 300) / kTwipsPerPixel);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    const auto splash = SplashWindow();
    ASSERT_TRUE(splash);
    x.Focus(*splash);
    c.act(x, *splash);
    const auto browser = Window([](const std::string& t) { return !t.empty(); });
    ASSERT_TRUE(browser);
    EXPECT_TRUE(Gone(*splash));
    x.Close(*browser);
    EXPECT_EQ(program->Exit(), 0);
  }
}

// ---- browsing ------------------------------------------------------------------

using Browsing = EndToEnd;

TEST_F(Browsing, TheCaptionFollowsThePagesTypedIntoTheAddressBox) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));

  Enter(*browser, Root() + "/second.html");
  EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));

  // A bare host with a port and path loads too.
  Enter(*browser, "localhost:" + std::to_string(server.Port()) + "/third.html");
  EXPECT_TRUE(CaptionBecomes(*browser, "Third Page" + kSuffix));

  // A slow page shows the busy caption until it has arrived.
  Enter(*browser, Root() + "/slow.html");
  EXPECT_TRUE(CaptionBecomes(*browser, "Working..." + kSuffix));
  EXPECT_TRUE(CaptionBecomes(*browser, "Slow Page" + kSuffix));

  // Nobody listens on port 1: the engine's error page, and the busy caption goes.
  Enter(*browser, "127.0.0.1:1/nothing.html");
  EXPECT_TRUE(Eventually([&] {
    const std::string t = x.Title(*browser);
    return t != "Slow Page" + kSuffix && t.ends_with(kSuffix) && !t.starts_with("Working...");
  }));
  EXPECT_TRUE(program->Running());
}

TEST_F(Browsing, TheToolbarButtonsDoTheirActions) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));
  Enter(*browser, Root() + "/second.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));

  Toolbar(*browser, 0);  // Back
  EXPECT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));
  Toolbar(*browser, 1);  // Forward
  EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  const int before = server.Requests("/second.html");
  Toolbar(*browser, 3);  // Refresh
  EXPECT_TRUE(Eventually([&] { return server.Requests("/second.html") > before; }));
  EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  Toolbar(*browser, 4);  // Home
  EXPECT_TRUE(CaptionBecomes(*browser, "Home Page" + kSuffix));
  Toolbar(*browser, 5);  // Search
  EXPECT_TRUE(CaptionBecomes(*browser, "Search Page" + kSuffix));

  // Stop during a slow load: the caption names the page still shown.
  Enter(*browser, Root() + "/slow.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Working..." + kSuffix));
  ASSERT_TRUE(Eventually([&] { return server.Requests("/slow.html") > 0; }));
  Toolbar(*browser, 2);  // Stop
  EXPECT_TRUE(CaptionBecomes(*browser, "Search Page" + kSuffix));
}

TEST_F(Browsing, ResizingToAlmostNothingAndBackKeepsTheProgramWorking) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));
  const ScreenRect designed = x.Geometry(*browser);
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{40, 20}, std::pair{5, 300}}) {
    x.Resize(*browser, w, h);
    ASSERT_TRUE(Eventually([&] { return x.Geometry(*browser).width == w; }));
  }
  x.Resize(*browser, designed.width, designed.height);
  ASSERT_TRUE(Eventually([&] { return x.Geometry(*browser).width == designed.width; }));
  Enter(*browser, Root() + "/second.html");
  EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  EXPECT_TRUE(program->Running());
}

// ---- shortcuts -------------------------------------------------------------------

using Shortcuts = EndToEnd;

TEST_F(Shortcuts, NavigationKeysWorkFromThePageAndFromTheAddressBox) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));
  Enter(*browser, Root() + "/second.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  const ScreenRect r = x.Geometry(*browser);
  const auto inPage = [&] { x.Click(r.x + r.width / 2, r.y + r.height / 2); };
  struct Case {
    const char* what;
    std::function<void()> focus;
    const char* keysym;
    std::vector<std::string> held;
    const char* caption;
  };
  const std::vector<Case> cases = {
      {"Alt+Left in the page", inPage, "Left", {"Alt_L"}, "First Page"},
      {"Alt+Right in the page", inPage, "Right", {"Alt_L"}, "Second Page"},
      {"Alt+Home in the box", [&] { x.Key("a", {"Alt_L"}); }, "Home", {"Alt_L"}, "Home Page"},
      {"Alt+Left in the box", [&] { x.Key("a", {"Alt_L"}); }, "Left", {"Alt_L"}, "Second Page"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.focus();
    x.Key(c.keysym, c.held);
    EXPECT_TRUE(CaptionBecomes(*browser, c.caption + kSuffix));
  }
  for (const auto& [keysym, held] : std::vector<std::pair<const char*, std::vector<std::string>>>{
           {"F5", {}}, {"r", {"Control_L"}}}) {
    SCOPED_TRACE(keysym);
    const int before = server.Requests("/second.html");
    inPage();
    x.Key(keysym, held);
    EXPECT_TRUE(Eventually([&] { return server.Requests("/second.html") > before; }));
    EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  }
  // Esc during a slow load stops it, as the Stop button does.
  Enter(*browser, Root() + "/slow.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Working..." + kSuffix));
  ASSERT_TRUE(Eventually([&] { return server.Requests("/slow.html") > 0; }));
  x.Key("Escape");
  EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
}

TEST_F(Shortcuts, AddressKeysSelectTheBoxSoTypingReplacesItsText) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));
  const ScreenRect r = x.Geometry(*browser);
  struct Case {
    const char* keysym;
    std::vector<std::string> held;
    const char* page;
    const char* caption;
  };
  const std::vector<Case> cases = {{"l", {"Control_L"}, "/second.html", "Second Page"},
                                   {"d", {"Alt_L"}, "/third.html", "Third Page"},
                                   {"F6", {}, "/home.html", "Home Page"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keysym);
    x.Click(r.x + r.width / 2, r.y + r.height / 2);  // the focus in the page
    x.Key(c.keysym, c.held);
    x.Type(Root() + c.page);
    x.Key("Return");
    EXPECT_TRUE(CaptionBecomes(*browser, c.caption + kSuffix));
  }
}

TEST_F(Shortcuts, ThePageKeepsItsOwnKeysAndZoomChangesItsWidth) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));
  Enter(*browser, Root() + "/keys.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Keys Page" + kSuffix));
  const ScreenRect r = x.Geometry(*browser);
  x.Click(r.x + r.width / 2, r.y + r.height / 2);
  // The engine takes the first key after the focus comes into the page from
  // the address box for its input method; a Shift alone is that key here.
  x.Key("Shift_L");
  x.Key("k");
  EXPECT_TRUE(CaptionBecomes(*browser, "key k" + kSuffix));
  x.Key("Escape");  // no load to stop: the page has it
  EXPECT_TRUE(CaptionBecomes(*browser, "key Escape" + kSuffix));

  // Zoomed to 2x, the page is half as wide in its own pixels.
  const auto width = [&]() -> int {
    const std::string t = x.Title(*browser);
    return t.starts_with("width ") ? std::atoi(t.c_str() + 6) : 0;
  };
  x.Key("equal", {"Control_L"});
  ASSERT_TRUE(Eventually([&] { return width() > 0; }));
  const int at110 = width();
  for (int i = 0; i < 5; ++i) {
    x.Key("equal", {"Control_L"});  // 1.25, 1.5, 1.75, 2, 2.5
  }
  x.Key("minus", {"Control_L"});  // back to 2
  // Past 2.5 and back: at 2.5 the page is 0.44 of its width at 1.1, at 2 it
  // is 0.55; a title from before the last key must not pass for it.
  ASSERT_TRUE(Eventually([&] { return width() > at110 / 2 && width() < at110 * 6 / 10; }));
  const int at200 = width();
  x.Key("0", {"Control_L"});
  ASSERT_TRUE(Eventually([&] { return width() > at200 * 19 / 10; }));
  EXPECT_NEAR(width(), at200 * 2, 4);
}

// ---- About box ---------------------------------------------------------------

using AboutBox = EndToEnd;

TEST_F(AboutBox, OpensAtItsFixedPlaceAndClosesWithEscOrEnter) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  for (const char* closer : {"Escape", "Return"}) {
    SCOPED_TRACE(closer);
    Toolbar(*browser, 6);
    const auto about = Titled("About Corvane Ombrel");
    ASSERT_TRUE(about);
    const ScreenRect r = x.Geometry(*about);
    EXPECT_EQ(r.x, 2340 / kTwipsPerPixel);
    EXPECT_EQ(r.y, 1935 / kTwipsPerPixel);
    EXPECT_EQ(r.width, 5730 / kTwipsPerPixel);
    x.Focus(*about);
    x.Key(closer);  // OK has the focus: Enter presses it too
    EXPECT_TRUE(Gone(*about));
  }
  EXPECT_TRUE(program->Running());
}

// The program's PATH for as long as this lives.
class ProgramPath {
 public:
  explicit ProgramPath(const char* path) : old_(std::getenv("PATH") ? std::getenv("PATH") : "") {
    setenv("PATH", path, 1);
  }
  ~ProgramPath() { setenv("PATH", old_.c_str(), 1); }
  ProgramPath(const ProgramPath&) = delete;
  ProgramPath& operator=(const ProgramPath&) = delete;

 private:
  std::string old_;
};

TEST_F(AboutBox, SystemInfoReportsItIsUnavailableAndTheBoxStaysUsable) {
  // Started where no system-information tool can be found, whatever this
  // machine has installed.
  const ProgramPath noTools("/nonexistent");
  Restart();
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  Toolbar(*browser, 6);
  const auto about = Titled("About Corvane Ombrel");
  ASSERT_TRUE(about);
  x.Focus(*about);
  x.Key("s", {"Alt_L"});
  const auto message = Titled("Corvane Ombrel");
  ASSERT_TRUE(message);
  x.Focus(*message);
  x.Key("Return");
  EXPECT_TRUE(Gone(*message));
  x.Focus(*about);
  x.Key("Escape");
  EXPECT_TRUE(Gone(*about));
}

// ---- under a window manager ------------------------------------------------------

// A window manager that frames windows on the test's X server, for as long as
// this lives; the program is started afresh once it runs, so its windows are
// framed from the start.
using WindowManager = EndToEnd;

TEST_F(WindowManager, TheAboutBoxIsPlacedByItsClientAreaAndTheSplashCentredWithItsFrame) {
  const char* const manager = "/usr/bin/openbox";
  if (access(manager, X_OK) != 0) {
    GTEST_SKIP() << manager << " is not installed (package openbox): no window manager to frame "
                 << "the windows";
  }
  Process openbox(std::vector<std::string>{manager, "--sm-disable"});
  ASSERT_TRUE(Eventually([&] { return x.WindowManaged(); })) << "the window manager did not start";
  Restart();

  // The splash has no title bar: its whole window is centred.
  const auto splash = SplashWindow();
  ASSERT_TRUE(splash);
  const ScreenRect screen = x.Screen();
  ScreenRect whole;
  Eventually([&] {
    whole = x.Frame(*splash);
    return std::abs(whole.x - (screen.width - whole.width) / 2) <= 1 &&
           std::abs(whole.y - (screen.height - whole.height) / 2) <= 1;
  }, 5s);
  EXPECT_NEAR(whole.x, (screen.width - whole.width) / 2, 1);
  EXPECT_NEAR(whole.y, (screen.height - whole.height) / 2, 1);

  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(Eventually([&] { return x.Frame(*browser).y < x.Geometry(*browser).y; }))
      << "the window manager put no title bar on the browser window";
  Toolbar(*browser, 6);
  const auto about = Titled("About Corvane Ombrel");
  ASSERT_TRUE(about);
  // Framed, then moved by the program until its client area is in place.
  const int left = 2340 / kTwipsPerPixel;
  const int top = 1935 / kTwipsPerPixel;
  ScreenRect client;
  ScreenRect frame;
  Eventually([&] {
    client = x.Geometry(*about);
    frame = x.Frame(*about);
    return frame.y < client.y && std::abs(client.x - left) <= 1 && std::abs(client.y - top) <= 1;
  }, 5s);
  EXPECT_NEAR(client.x, left, 1);
  EXPECT_NEAR(client.y, top, 1);
  EXPECT_LT(frame.y, client.y) << "the About box has no title bar";
  EXPECT_FALSE(std::abs(frame.x - left) <= 1 && std::abs(frame.y - top) <= 1)
      << "the frame, not the client area, is at the About box's place";
  x.Focus(*about);
  x.Key("Escape");
  EXPECT_TRUE(Gone(*about));
  EXPECT_TRUE(program->Running());
}

// ---- end of the program --------------------------------------------------------

using Lifetime = EndToEnd;

TEST_F(Lifetime, ClosingTheBrowserEndsTheProgramWithZero) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  x.Close(*browser);
  EXPECT_EQ(program->Exit(), 0);
}

TEST_F(Lifetime, AnOpenAboutBoxKeepsTheProgramUntilItIsClosed) {
  const auto browser = BrowserWindow();
  ASSERT_TRUE(browser);
  Toolbar(*browser, 6);
  const auto about = Titled("About Corvane Ombrel");
  ASSERT_TRUE(about);
  x.Close(*browser);
  ASSERT_TRUE(Gone(*browser));
  EXPECT_TRUE(program->Running());
  x.Focus(*about);
  x.Key("Escape");
  EXPECT_EQ(program->Exit(), 0);
}

// ---- the headless demo ---------------------------------------------------------

TEST(Demo, ProducesAScreenshotOfEachStepThatIsNotBlank) {
  const std::filesystem::path out =
      std::filesystem::temp_directory_path() / ("corvane-demo-" + std::to_string(getpid()));
  std::filesystem::remove_all(out);
  const std::string command = std::string("CORVANE_DEMO_PROGRAM='") + CORVANE_E2E_PROGRAM +
                              "' CORVANE_DEMO_SERVE_PORT=" + std::to_string(CORVANE_E2E_PORT) +
                              " bash '" + CORVANE_DEMO_SCRIPT + "' '" + out.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const char* shot : {"1-splash.png", "2-browser.png", "3-about.png"}) {
    SCOPED_TRACE(shot);
    const std::filesystem::path file = out / shot;
    ASSERT_TRUE(std::filesystem::exists(file));
    // More than one colour: something was drawn.
    const std::string colours = "identify -format %k '" + file.string() + "' > '" +
                                (out / "colours.txt").string() + "'";
    ASSERT_EQ(std::system(colours.c_str()), 0);
    std::FILE* f = std::fopen((out / "colours.txt").c_str(), "r");
    ASSERT_NE(f, nullptr);
    int count = 0;
    EXPECT_EQ(std::fscanf(f, "%d", &count), 1);
    std::fclose(f);
    EXPECT_GT(count, 16);
  }
  std::filesystem::remove_all(out);
}

}  // namespace
}  // namespace corvane::testing
