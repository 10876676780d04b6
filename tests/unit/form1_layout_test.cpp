// The browser window as designed, its load, the resize rule and Alt+A.
#include <string>
#include <vector>

#include "form1_fixture.h"

namespace corvane::testing {
namespace {

using fake::FakeWindow;

struct Placement {
  float left;
  float top;
  float width;
  float height;
};

Placement PlaceOf(const Control& c) { return {c.Left(), c.Top(), c.Width(), c.Height()}; }

void ExpectPlacement(const Control& c, Placement want) {
  EXPECT_FLOAT_EQ(c.Left(), want.left);
  EXPECT_FLOAT_EQ(c.Top(), want.top);
  EXPECT_FLOAT_EQ(c.Width(), want.width);
  EXPECT_FLOAT_EQ(c.Height(), want.height);
}

TEST(Form1Design, WindowAndControlsAreAsDesigned) {
  const WindowDesign& d = Form1::TheDesign();
  EXPECT_EQ(d.name, "Form1");
  EXPECT_EQ(d.caption, "Form1");
  EXPECT_EQ(d.border, BorderStyle::Sizable);
  EXPECT_TRUE(d.controlBox);
  EXPECT_TRUE(d.minButton);
  EXPECT_TRUE(d.maxButton);
  EXPECT_FLOAT_EQ(d.clientWidth, 15165);
  EXPECT_FLOAT_EQ(d.clientHeight, 11115);
  EXPECT_EQ(d.startPosition, StartPosition::WindowsDefault);

  struct Row {
    const char* name;
    ControlKind kind;
    const char* container;
    Placement at;
    std::int16_t tabIndex;
  };
  const std::vector<Row> rows = {
      {"tbToolBar", ControlKind::Toolbar, "", {0, 0, 15165, 540}, 4},
      {"picAddress", ControlKind::PictureBox, "", {0, 540, 15165, 675}, 1},
      {"lblAddress", ControlKind::Label, "picAddress", {45, 60, 3075, 255}, 3},
      {"cboAddress", ControlKind::ComboBox, "picAddress", {45, 300, 3795, 315}, 2},
      {"brwWebBrowser", ControlKind::WebBrowser, "", {120, 1200, 15000, 10440}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ControlDesign* c = d.Find(row.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, row.kind);
    EXPECT_EQ(c->container, row.container);
    EXPECT_FLOAT_EQ(c->left, row.at.left);
    EXPECT_FLOAT_EQ(c->top, row.at.top);
    EXPECT_FLOAT_EQ(c->width, row.at.width);
    EXPECT_FLOAT_EQ(c->height, row.at.height);
    EXPECT_EQ(c->tabIndex, row.tabIndex);
  }

  const ControlDesign& bar = *d.Find("tbToolBar");
  EXPECT_EQ(bar.dock, Dock::Top);
  EXPECT_EQ(bar.imageList, "imlIcons");
  EXPECT_EQ(bar.buttonWidth, 31);
  EXPECT_EQ(bar.buttonHeight, 30);
  const std::vector<std::string> keys = {"Back", "Forward", "Stop", "Refresh",
                                         "Home", "Search", "About"};
  ASSERT_EQ(bar.buttons.size(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(bar.buttons[i].key, keys[i]);
    EXPECT_EQ(bar.buttons[i].image, static_cast<std::int16_t>(i + 1));
  }

  const ControlDesign& strip = *d.Find("picAddress");
  EXPECT_EQ(strip.dock, Dock::Top);
  EXPECT_FALSE(strip.border);
  EXPECT_FALSE(strip.tabStop);
  EXPECT_EQ(d.Find("lblAddress")->caption, "&Address:");

  const ControlDesign& timer = *d.Find("timTimer");
  EXPECT_EQ(timer.kind, ControlKind::Timer);
  EXPECT_EQ(timer.interval, 5);
  EXPECT_FALSE(timer.enabled);

  const ControlDesign& icons = *d.Find("imlIcons");
  EXPECT_EQ(icons.kind, ControlKind::ImageList);
  EXPECT_EQ(icons.images.size(), 7U);
  EXPECT_EQ(icons.imageWidth, 24);
  EXPECT_EQ(icons.imageHeight, 24);
  EXPECT_EQ(icons.maskColor, (Color{192, 192, 192}));
}

TEST(Form1Load, LaysOutTheDesignedWindowAndOpensTheStartAddress) {
  BrowserWindow browser;
  Form1& form = browser.Open();

  FakeWindow& w = browser.Window();
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(w.Caption(), "Form1");
  ExpectPlacement(browser.Box(), {50, 330, 15065, 315});
  ExpectPlacement(browser.Web(), {120, 1200, 15065, 9800});
  EXPECT_EQ(browser.Bar().refreshes, 1);
  EXPECT_EQ(form.StartingAddress, "start.example");
  EXPECT_EQ(browser.Box().Text(), "start.example");
  EXPECT_EQ(browser.Box().Items(), std::vector<std::string>{"start.example"});
  EXPECT_TRUE(browser.Poll().Enabled());
  EXPECT_EQ(browser.Web().calls, std::vector<std::string>{"Navigate(start.example)"});
}

TEST(Form1Load, ShowsTheWindowFirstAndSwitchesThePollOnBeforeNavigating) {
  BrowserWindow browser;
  bool boxEmptyWhenShown = false;
  int refreshesWhenShown = -1;
  bool pollOnWhenNavigating = false;
  bool boxSetWhenNavigating = false;
  browser.backend.onNote = [&](const std::string& entry) {
    if (entry == "create Form1") {
      browser.Web().onCall = [&](const std::string&) {
        pollOnWhenNavigating = browser.Poll().Enabled();
        boxSetWhenNavigating = browser.Box().Text() == "start.example" &&
                               browser.Box().Items() == std::vector<std::string>{"start.example"};
      };
    } else if (entry == "show Form1") {
      boxEmptyWhenShown = browser.Box().Items().empty() && browser.Box().Text().empty();
      refreshesWhenShown = browser.Bar().refreshes;
    }
  };
  browser.Open();
  EXPECT_TRUE(boxEmptyWhenShown);
  EXPECT_EQ(refreshesWhenShown, 0);
  EXPECT_TRUE(pollOnWhenNavigating);
  EXPECT_TRUE(boxSetWhenNavigating);
}

TEST(Form1Load, OverwritesAnEarlierStartingAddress) {
  BrowserWindow browser("configured.example");
  browser.Form().StartingAddress = "set before the load";
  browser.Open();
  EXPECT_EQ(browser.Form().StartingAddress, "configured.example");
  EXPECT_EQ(browser.Web().calls, std::vector<std::string>{"Navigate(configured.example)"});
}

TEST(Form1Load, AnEmptyStartAddressShowsAndLaysOutButOpensNothing) {
  BrowserWindow browser("");
  browser.Open();
  EXPECT_TRUE(browser.Window().Visible());
  ExpectPlacement(browser.Box(), {50, 330, 15065, 315});
  ExpectPlacement(browser.Web(), {120, 1200, 15065, 9800});
  EXPECT_EQ(browser.Box().Text(), "");
  EXPECT_TRUE(browser.Box().Items().empty());
  EXPECT_FALSE(browser.Poll().Enabled());
  EXPECT_TRUE(browser.Web().calls.empty());
}

TEST(Form1Load, KeepsTheStartAddressExactlyAsWritten) {
  for (const std::string address : {"start.example", "Start.Example:8080/a b", "127.0.0.1:8765"}) {
    SCOPED_TRACE(address);
    BrowserWindow browser(address);
    browser.Open();
    EXPECT_EQ(browser.Box().Items(), std::vector<std::string>{address});
    EXPECT_EQ(browser.Web().calls, std::vector<std::string>{"Navigate(" + address + ")"});
  }
}

TEST(Form1Load, AFailingStepIsSkippedAndTheRestRuns) {
  struct Case {
    const char* what;
    void (*inject)(BrowserWindow&);
    std::vector<std::string> list;
    float webWidth;
    float webHeight;
    bool pollOn;
  };
  const std::vector<Case> cases = {
      {"Navigate fails", [](BrowserWindow& b) { b.Web().faults.FailOn("Navigate"); },
       {"start.example"}, 15065, 9800, true},
      {"toolbar repaint fails", [](BrowserWindow& b) { b.Bar().faults.FailOn("Refresh"); },
       {"start.example"}, 15065, 9800, true},
      // The rule stops at the web view's width; the box was already stretched.
      {"web view refuses a move", [](BrowserWindow& b) { b.Web().faults.FailOn("Move"); },
       {"start.example"}, 15000, 10440, true},
      // The list gets what the box reads back, not the start address.
      {"box text refused", [](BrowserWindow& b) { b.Box().faults.FailOn("SetText"); },
       {""}, 15065, 9800, true},
      {"list refuses the entry", [](BrowserWindow& b) { b.Box().faults.FailOn("AddItem"); },
       {}, 15065, 9800, true},
      {"timer refuses", [](BrowserWindow& b) { b.Poll().faults.FailOn("Enabled"); },
       {"start.example"}, 15065, 9800, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BrowserWindow browser;
    browser.backend.onNote = [&](const std::string& entry) {
      if (entry == "create Form1") {
        c.inject(browser);
      }
    };
    browser.Open();
    EXPECT_TRUE(browser.Form().Loaded());
    EXPECT_TRUE(browser.Window().Visible());
    EXPECT_FLOAT_EQ(browser.Box().Left(), 50);
    EXPECT_FLOAT_EQ(browser.Box().Top(), 330);
    EXPECT_FLOAT_EQ(browser.Box().Width(), 15065);
    EXPECT_FLOAT_EQ(browser.Web().Width(), c.webWidth);
    EXPECT_FLOAT_EQ(browser.Web().Height(), c.webHeight);
    EXPECT_EQ(browser.Box().Items(), c.list);
    EXPECT_EQ(browser.Poll().Enabled(), c.pollOn);
    EXPECT_EQ(browser.Web().calls, std::vector<std::string>{"Navigate(start.example)"});
  }
}

TEST(Form1Resize, StretchesBoxAndWebViewButNeverMovesThemOrGoesNegative) {
  struct Case {
    float width;
    float height;
    float boxWidth;
    float webWidth;
    float webHeight;
  };
  // Applied one after another, so a refused size would leave the last one.
  const std::vector<Case> sizes = {
      {20000, 15000, 19900, 19900, 13685},
      {15165.5F, 11115.25F, 15065.5F, 15065.5F, 9800.25F},
      {99, 1314, 0, 0, 0},    // just under the strip
      {3000, 8000, 2900, 2900, 6685},
      {0, 0, 0, 0, 0},        // minimised
      {100, 1315, 0, 0, 0},   // exactly at the strip
      {101, 1316, 1, 1, 1},
      {15165, 11115, 15065, 15065, 9800},
  };
  BrowserWindow browser;
  browser.Open();
  for (const Case& c : sizes) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    browser.Window().ResizeClient(c.width, c.height);
    ExpectPlacement(browser.Box(), {50, 330, c.boxWidth, 315});
    ExpectPlacement(browser.Web(), {120, 1200, c.webWidth, c.webHeight});
    EXPECT_TRUE(browser.Form().Loaded());
  }
}

TEST(Form1Resize, TheRuleRunsUntrappedAndAFailureDoesNotEndTheProgram) {
  BrowserWindow browser;
  browser.Open();
  const Placement box = PlaceOf(browser.Box());
  browser.Window().faults.FailOn("ScaleWidth");
  EXPECT_THROW(browser.Form().Form_Resize(), Failure);
  browser.Window().ResizeClient(20000, 15000);  // through the dispatch boundary
  EXPECT_TRUE(browser.Form().Loaded());
  EXPECT_FLOAT_EQ(browser.Box().Width(), box.width);
  browser.Window().faults.HealAll();
  browser.Window().ResizeClient(20000, 15000);
  EXPECT_FLOAT_EQ(browser.Box().Width(), 19900);
}

TEST(Form1AccessKey, AltAPutsTheFocusIntoTheAddressBox) {
  for (const char letter : {'a', 'A'}) {
    SCOPED_TRACE(letter);
    BrowserWindow browser;
    browser.Open();
    ASSERT_EQ(browser.Window().Focused(), "brwWebBrowser");  // first in the tab order
    browser.Window().PressAccessKey(letter);
    EXPECT_EQ(browser.Window().Focused(), "cboAddress");
    EXPECT_EQ(browser.Web().calls.size(), 1U);  // only the load's navigation
  }
}

}  // namespace
}  // namespace corvane::testing
