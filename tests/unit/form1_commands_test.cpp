// The address box (Enter and list picks) and the toolbar buttons.
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "form1_fixture.h"

namespace corvane::testing {
namespace {

using Calls = std::vector<std::string>;

class KeyOnly final : public ToolbarButton {
 public:
  explicit KeyOnly(std::string key) : key_(std::move(key)) {}
  [[nodiscard]] std::string Key() const override { return key_; }

 private:
  std::string key_;
};

class AddressBox : public Form1Test {};

TEST_F(AddressBox, OnlyEnterNavigatesWithTheBoxTextAndTheCodeIsNeverChanged) {
  struct Case {
    const char* typed;
    std::int16_t code;
    bool navigates;
  };
  const std::vector<Case> cases = {
      {"next.example", 13, true}, {"", 13, true},        {"next.example", 10, false},
      {"next.example", 27, false}, {"next.example", 'a', false}, {"next.example", 0, false},
      {"next.example", 32, false}, {"next.example", 269, false}, {"next.example", -13, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed) + " / " + std::to_string(c.code));
    browser.Web().calls.clear();
    browser.Poll().SetEnabled(false);
    browser.Box().Type(c.typed);
    const auto listBefore = browser.Box().Items();
    bool pollOnAtCall = false;
    browser.Web().onCall = [&](const std::string&) { pollOnAtCall = browser.Poll().Enabled(); };

    std::int16_t key = c.code;
    Event press{.type = EventType::KeyPress, .control = "cboAddress", .keyAscii = &key};
    browser.Window().Raise(press);

    EXPECT_EQ(key, c.code);
    EXPECT_EQ(browser.Web().calls,
              c.navigates ? Calls{"Navigate(" + std::string(c.typed) + ")"} : Calls{});
    EXPECT_EQ(browser.Poll().Enabled(), c.navigates);
    EXPECT_EQ(pollOnAtCall, c.navigates);
    EXPECT_EQ(browser.Box().Items(), listBefore);  // the list changes only when a page arrives
  }
}

TEST_F(AddressBox, AFailingNavigateEndsOnlyTheClickLogicOfTheKeyPress) {
  browser.Web().faults.FailOn("Navigate");
  browser.Box().Type("next.example");
  std::int16_t key = 13;
  EXPECT_NO_THROW(browser.Form().cboAddress_KeyPress(key));
  EXPECT_EQ(key, 13);
  EXPECT_TRUE(browser.Poll().Enabled());
  EXPECT_EQ(browser.Web().calls, Calls{"Navigate(next.example)"});
}

TEST_F(AddressBox, APickFromTheListNavigatesToThePickedEntry) {
  browser.Box().SetItems({"first.example", "second.example"});
  browser.Box().Pick(1);
  EXPECT_EQ(browser.Web().calls, Calls{"Navigate(second.example)"});
  EXPECT_TRUE(browser.Poll().Enabled());
}

TEST_F(AddressBox, AFailingPickIsUntrappedButDoesNotEndTheProgram) {
  browser.Web().faults.FailOn("Navigate");
  EXPECT_THROW(browser.Form().cboAddress_Click(), Failure);
  browser.Box().SetItems({"first.example"});
  browser.Box().Pick(0);  // through the dispatch boundary
  EXPECT_TRUE(browser.Form().Loaded());
  browser.Web().faults.HealAll();
  browser.Box().Pick(0);
  EXPECT_EQ(browser.Web().calls.back(), "Navigate(first.example)");
}

class ToolbarButtons : public Form1Test {};

TEST_F(ToolbarButtons, EachKeyActsAfterThePollIsSwitchedOn) {
  struct Case {
    const char* key;
    const char* call;
    bool pollAfter;
  };
  const std::vector<Case> cases = {
      {"Back", "GoBack()", true},     {"Forward", "GoForward()", true},
      {"Refresh", "Refresh()", true}, {"Home", "GoHome()", true},
      {"Search", "GoSearch()", true}, {"Stop", "Stop()", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    browser.Web().calls.clear();
    browser.Poll().SetEnabled(false);
    bool pollOnAtCall = false;
    browser.Web().onCall = [&](const std::string&) { pollOnAtCall = browser.Poll().Enabled(); };
    browser.Bar().ClickButton(c.key);
    EXPECT_EQ(browser.Web().calls, Calls{c.call});
    // Stop switches the poll off before it stops the web view.
    EXPECT_EQ(pollOnAtCall, c.pollAfter);
    EXPECT_EQ(browser.Poll().Enabled(), c.pollAfter);
    EXPECT_FALSE(browser.TheProgram().Get<frmAbout>().Loaded());
  }
}

TEST_F(ToolbarButtons, KeysThatMatchNoButtonExactlyOnlySwitchThePollOn) {
  for (const std::string key : {"back", "ABOUT", "stop", "Stop ", "", "Go", "Back\n"}) {
    SCOPED_TRACE(key);
    browser.Poll().SetEnabled(false);
    browser.Bar().ClickButton(key);
    EXPECT_TRUE(browser.Poll().Enabled());
    EXPECT_TRUE(browser.Web().calls.empty());
    EXPECT_EQ(browser.Window().Caption(), "Form1");
    EXPECT_FALSE(browser.TheProgram().Get<frmAbout>().Loaded());
  }
}

TEST_F(ToolbarButtons, AnUnreadableKeyMatchesNothing) {
  browser.Bar().ClickBrokenButton();
  EXPECT_TRUE(browser.Poll().Enabled());
  EXPECT_TRUE(browser.Web().calls.empty());
  EXPECT_FALSE(browser.TheProgram().Get<frmAbout>().Loaded());
}

TEST_F(ToolbarButtons, StopLeavesThePollOffAndThePageTitleEvenWhileLoading) {
  browser.Web().busy = true;
  browser.Web().locationName = "Half a page";
  browser.Box().Type("next.example");
  browser.Box().PressKey(13);
  browser.Window().Tick("timTimer");
  ASSERT_EQ(browser.Window().Caption(), kBusyCaption);

  browser.Bar().ClickButton("Stop");
  EXPECT_FALSE(browser.Poll().Enabled());
  EXPECT_EQ(browser.Window().Caption(), "Half a page" + kSuffix);
  EXPECT_EQ(browser.Web().calls, (Calls{"Navigate(next.example)", "Stop()"}));
  browser.Window().Tick("timTimer");  // the poll is off: no busy title comes back
  EXPECT_EQ(browser.Window().Caption(), "Half a page" + kSuffix);
}

TEST_F(ToolbarButtons, AFailingStepIsSkippedAndTheHandlerGoesOn) {
  struct Case {
    const char* key;
    const char* failing;  // web view operation told to fail
    bool pollAfter;
    bool pageTitle;  // the caption shows the page title afterwards
  };
  const std::vector<Case> cases = {
      {"Back", "GoBack", true, false},
      {"Forward", "GoForward", true, false},
      {"Refresh", "Refresh", true, false},
      {"Home", "GoHome", true, false},
      {"Search", "GoSearch", true, false},
      {"Stop", "Stop", false, true},          // the caption is still set
      {"Stop", "LocationName", false, false},  // ...unless the name cannot be read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " with " + c.failing + " failing");
    BrowserWindow fresh;
    fresh.Open();
    fresh.Web().calls.clear();
    fresh.Poll().SetEnabled(false);
    fresh.Web().locationName = "Page";
    fresh.Web().faults.FailOn(c.failing);
    const KeyOnly button(c.key);
    EXPECT_NO_THROW(fresh.Form().tbToolBar_ButtonClick(button));
    EXPECT_EQ(fresh.Poll().Enabled(), c.pollAfter);
    EXPECT_EQ(fresh.Window().Caption(), c.pageTitle ? "Page" + kSuffix : "Form1");
    EXPECT_EQ(fresh.Web().calls.size(), 1U);
  }
}

TEST_F(ToolbarButtons, ARefusingTimerDoesNotKeepTheButtonFromActing) {
  browser.Poll().faults.FailOn("Enabled");
  browser.Web().locationName = "Page";
  for (const std::string key : {"Back", "Stop"}) {
    const KeyOnly button(key);
    EXPECT_NO_THROW(browser.Form().tbToolBar_ButtonClick(button));
  }
  EXPECT_EQ(browser.Web().calls, (Calls{"GoBack()", "Stop()"}));
  EXPECT_EQ(browser.Window().Caption(), "Page" + kSuffix);
}

TEST_F(ToolbarButtons, AboutShowsTheOneSharedAboutBox) {
  frmAbout& about = browser.TheProgram().Get<frmAbout>();
  browser.Bar().ClickButton("About");
  ASSERT_TRUE(about.Loaded());
  fake::FakeWindow* first = &browser.backend.Window("frmAbout");
  EXPECT_TRUE(first->Visible());
  EXPECT_TRUE(browser.Poll().Enabled());
  EXPECT_TRUE(browser.Web().calls.empty());

  browser.Bar().ClickButton("About");  // while open: the same window, shown once
  EXPECT_EQ(&browser.backend.Window("frmAbout"), first);
  EXPECT_EQ(first->ShowCount(), 1);

  first->ClickButton("cmdOK");
  ASSERT_FALSE(about.Loaded());
  browser.Bar().ClickButton("About");  // after closing: loaded afresh
  EXPECT_TRUE(about.Loaded());
  EXPECT_EQ(&browser.TheProgram().Get<frmAbout>(), &about);
  EXPECT_TRUE(browser.backend.Window("frmAbout").Visible());
  EXPECT_TRUE(browser.Form().Loaded());
}

}  // namespace
}  // namespace corvane::testing
