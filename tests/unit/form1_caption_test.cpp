// The caption as page and busy indicator: the 5 ms poll and DownloadComplete.
#include <string>
#include <vector>

#include "form1_fixture.h"

namespace corvane::testing {
namespace {

class Caption : public Form1Test {
 protected:
  void Tick() { browser.Window().Tick("timTimer"); }
  [[nodiscard]] std::string Shown() { return browser.Window().Caption(); }
};

TEST_F(Caption, BusyTicksShowWorkingAndTheFirstIdleTickShowsThePageAndStopsThePoll) {
  browser.Web().locationName = "A page";
  browser.Poll().SetEnabled(true);
  browser.Web().busy = true;
  for (int i = 0; i < 3; ++i) {
    Tick();
    EXPECT_EQ(Shown(), kBusyCaption);
    EXPECT_TRUE(browser.Poll().Enabled());
  }
  browser.Web().busy = false;
  Tick();
  EXPECT_EQ(Shown(), "A page" + kSuffix);
  EXPECT_FALSE(browser.Poll().Enabled());

  // Loads started inside the page do not bring the busy title back.
  browser.Web().busy = true;
  Tick();
  EXPECT_EQ(Shown(), "A page" + kSuffix);
}

TEST_F(Caption, AnEmptyPageNameLeavesOnlyTheSuffix) {
  struct Case {
    const char* how;
    void (*act)(BrowserWindow&);
  };
  const std::vector<Case> cases = {
      {"idle tick", [](BrowserWindow& b) {
         b.Poll().SetEnabled(true);
         b.Window().Tick("timTimer");
       }},
      {"DownloadComplete", [](BrowserWindow& b) { b.Web().RaiseDownloadComplete(); }},
      {"Stop", [](BrowserWindow& b) { b.Bar().ClickButton("Stop"); }},
      {"NavigateComplete2", [](BrowserWindow& b) { b.Web().RaiseNavigateComplete2("x"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    BrowserWindow fresh;
    fresh.Open();
    fresh.Web().locationName = "";
    c.act(fresh);
    EXPECT_EQ(fresh.Window().Caption(), " - Corvane Ombrel - Varnhollow Software");
  }
}

TEST_F(Caption, DownloadCompleteShowsThePageTitleAndLeavesThePollAlone) {
  for (const bool pollOn : {true, false}) {
    SCOPED_TRACE(pollOn);
    browser.Poll().SetEnabled(pollOn);
    browser.Web().busy = true;
    browser.Web().locationName = pollOn ? "Loading page" : "Loaded page";
    browser.Web().RaiseDownloadComplete();
    EXPECT_EQ(Shown(), browser.Web().locationName + kSuffix);
    EXPECT_EQ(browser.Poll().Enabled(), pollOn);
  }
  // While still busy, the next tick returns to the busy title.
  browser.Poll().SetEnabled(true);
  Tick();
  EXPECT_EQ(Shown(), kBusyCaption);
}

TEST_F(Caption, AnUnreadablePageNameInDownloadCompleteLeavesTheCaption) {
  browser.Window().SetCaption("Before" + kSuffix);
  browser.Web().faults.FailOn("LocationName");
  EXPECT_NO_THROW(browser.Form().brwWebBrowser_DownloadComplete());
  EXPECT_EQ(Shown(), "Before" + kSuffix);
}

TEST_F(Caption, AnIdleTickSwitchesThePollOffBeforeSettingTheCaption) {
  browser.Poll().SetEnabled(true);
  browser.Web().faults.FailOn("LocationName");
  Tick();
  EXPECT_FALSE(browser.Poll().Enabled());
  EXPECT_EQ(Shown(), "Form1");
  EXPECT_TRUE(browser.Form().Loaded());
}

TEST_F(Caption, AFailingTickDoesNotEndTheProgramAndTheNextTickTriesAgain) {
  browser.Poll().SetEnabled(true);
  browser.Web().faults.FailOn("Busy");
  EXPECT_THROW(browser.Form().timTimer_Timer(), Failure);  // untrapped
  Tick();                                                  // through the dispatch boundary
  EXPECT_TRUE(browser.Form().Loaded());
  EXPECT_TRUE(browser.Poll().Enabled());
  EXPECT_EQ(Shown(), "Form1");

  browser.Web().faults.HealAll();
  browser.Web().locationName = "Recovered";
  Tick();
  EXPECT_EQ(Shown(), "Recovered" + kSuffix);
  EXPECT_FALSE(browser.Poll().Enabled());
}

}  // namespace
}  // namespace corvane::testing
