// The browser window as designed, its load, the resize rule and Alt+A.
#include <string>
#include <vector>

#include "form1_fixture.h"

namespace corvane::testing {
namespace {

struct Placement {
  float left;
  float top;
  float width;
  float height;
};

void ExpectPlacement(const Control& c, Placement want) {
  EXPECT_FLOAT_EQ(c.Left(), want.left);
  EXPECT_FLOAT_EQ(c.Top(), want.top);
  EXPECT_FLOAT_EQ(c.Width(), want.width);
  EXPECT_FLOAT_EQ(c.Height(), want.height);
}

// What the front ends and the tests rely on: the toolbar's keys in order, the
// poll switched off at 5 ms, the address box before its label in the tab order.
TEST(Form1Design, ToolbarKeysPollAndTabOrderAreAsDesigned) {
  const WindowDesign& d = Form1::TheDesign();
  EXPECT_EQ(d.caption, "Form1");
  EXPECT_EQ(d.border, BorderStyle::Sizable);
  const ControlDesign& bar = *d.Find("tbToolBar");
  std::vector<std::string> keys;
  for (const ToolbarButtonDesign& b : bar.buttons) {
    keys.push_back(b.key);
    EXPECT_EQ(b.image, static_cast<std::int16_t>(keys.size()));
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Back", "Forward", "Stop", "Refresh", "Home",
                                            "Search", "About"}));
  EXPECT_EQ(d.Find("imlIcons")->maskColor, (Color{192, 192, 192}));
  EXPECT_EQ(d.Find("timTimer")->interval, 5);
  EXPECT_FALSE(d.Find("timTimer")->enabled);
  std::vector<std::string> tabOrder(5);
  for (const ControlDesign& c : d.controls) {
    if (c.tabIndex >= 0) {
      tabOrder.at(static_cast<std::size_t>(c.tabIndex)) = c.name;
    }
  }
  EXPECT_EQ(tabOrder, (std::vector<std::string>{"brwWebBrowser", "picAddress", "cboAddress",
                                                "lblAddress", "tbToolBar"}));
}

// Load: show (before anything else is set), repaint the toolbar, lay out,
// then the start address into the box and its list, poll on, navigate.
TEST(Form1Load, ShowsLaysOutAndOpensTheStartAddressInOrder) {
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
  browser.Form().StartingAddress = "set before the load";  // overwritten
  browser.Open();

  EXPECT_TRUE(boxEmptyWhenShown);
  EXPECT_EQ(refreshesWhenShown, 0);
  EXPECT_TRUE(pollOnWhenNavigating);
  EXPECT_TRUE(boxSetWhenNavigating);
  EXPECT_TRUE(browser.Window().Visible());
  EXPECT_EQ(browser.Window().Caption(), "Form1");
  ExpectPlacement(browser.Box(), {50, 330, 15065, 315});
  ExpectPlacement(browser.Web(), {120, 1200, 15065, 9800});
  EXPECT_EQ(browser.Bar().refreshes, 1);
  EXPECT_EQ(browser.Form().StartingAddress, "start.example");
  EXPECT_EQ(browser.Box().Items(), std::vector<std::string>{"start.example"});
  EXPECT_TRUE(browser.Poll().Enabled());
  EXPECT_EQ(browser.Web().calls, std::vector<std::string>{"Navigate(start.example)"});
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
  const float boxWidth = browser.Box().Width();
  browser.Window().faults.FailOn("ScaleWidth");
  EXPECT_THROW(browser.Form().Form_Resize(), Failure);
  browser.Window().ResizeClient(20000, 15000);  // through the dispatch boundary
  EXPECT_TRUE(browser.Form().Loaded());
  EXPECT_FLOAT_EQ(browser.Box().Width(), boxWidth);
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
