// The address list as history: every completed navigation puts the web
// view's address on top, without navigating again.
#include <string>
#include <vector>

#include "form1_fixture.h"

namespace corvane::testing {
namespace {

using List = std::vector<std::string>;

class History : public Form1Test {
 protected:
  void Arrive(const std::string& url, const std::string& name = "Page") {
    browser.Web().locationURL = url;
    browser.Web().locationName = name;
    // The address the notification carries is not the one that counts.
    browser.Web().RaiseNavigateComplete2("https://carried.example/");
  }
};

TEST_F(History, TheReportedAddressGoesOnTopSelectedWithoutNavigating) {
  struct Case {
    const char* what;
    List before;
    const char* url;
    List after;
  };
  const std::vector<Case> cases = {
      {"empty list", {}, "https://a.example/", {"https://a.example/"}},
      {"already on top", {"a", "b", "c"}, "a", {"a", "b", "c"}},
      {"further down", {"a", "b", "c", "d"}, "c", {"c", "a", "b", "d"}},
      {"at the bottom", {"a", "b", "c"}, "c", {"c", "a", "b"}},
      {"new address", {"a", "b"}, "n", {"n", "a", "b"}},
      {"only the first equal entry goes", {"x", "b", "y", "b"}, "b", {"b", "x", "y", "b"}},
      {"letter case counts", {"A.example"}, "a.example", {"a.example", "A.example"}},
      {"whole text compared", {"a.example/"}, "a.example", {"a.example", "a.example/"}},
      {"empty address", {"a"}, "", {"", "a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool pollOn : {false, true}) {
      SCOPED_TRACE(pollOn ? "poll on" : "poll off");
      browser.Web().calls.clear();
      browser.Box().SetItems(c.before);
      browser.Poll().SetEnabled(pollOn);
      browser.Box().Type("typed, not entered");
      Arrive(c.url, "Title");

      EXPECT_EQ(browser.Box().Items(), c.after);
      EXPECT_EQ(browser.Box().ListIndex(), 0);
      EXPECT_EQ(browser.Box().Text(), c.url);
      EXPECT_EQ(browser.Window().Caption(), "Title" + kSuffix);
      // The Click raised by the selection neither navigates nor touches the poll.
      EXPECT_TRUE(browser.Web().calls.empty());
      EXPECT_EQ(browser.Poll().Enabled(), pollOn);
    }
  }
}

TEST(HistoryAfterLoad, TheStartAddressInAnotherFormStaysBesideTheReportedForm) {
  BrowserWindow browser("start.example");
  browser.Open();
  browser.Web().locationURL = "https://start.example/";
  browser.Web().RaiseNavigateComplete2("https://start.example/");
  EXPECT_EQ(browser.Box().Items(), (List{"https://start.example/", "start.example"}));
  EXPECT_EQ(browser.Box().Text(), "https://start.example/");
}

TEST_F(History, AFailureMidUpdateNeverLeavesNavigationHeld) {
  struct Case {
    const char* operation;
    bool onWebView;
  };
  const std::vector<Case> cases = {
      {"LocationName", true}, {"LocationURL", true}, {"ListCount", false}, {"List", false},
      {"RemoveItem", false},  {"AddItem", false},    {"SetListIndex", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    BrowserWindow fresh;
    fresh.Open();
    fresh.Box().SetItems({"a", "b"});
    fresh.Web().locationURL = "b";
    if (c.onWebView) {
      fresh.Web().faults.FailOn(c.operation);
    } else {
      fresh.Box().faults.FailOn(c.operation);
    }
    EXPECT_THROW(fresh.Form().brwWebBrowser_NavigateComplete2("b"), Failure);  // untrapped
    fresh.Web().RaiseNavigateComplete2("b");  // through the dispatch boundary
    EXPECT_TRUE(fresh.Form().Loaded());

    fresh.Web().faults.HealAll();
    fresh.Box().faults.HealAll();
    fresh.Web().calls.clear();
    fresh.Poll().SetEnabled(false);
    fresh.Box().Pick(0);  // a pick navigates again
    EXPECT_EQ(fresh.Web().calls, std::vector<std::string>{"Navigate(" + fresh.Box().List(0) + ")"});
    EXPECT_TRUE(fresh.Poll().Enabled());
  }
}

TEST_F(History, AFullListStaysFullWithTheNewAddressOnTop) {
  List full;
  full.reserve(Form1::kMaxAddresses);
  for (int i = 0; i < Form1::kMaxAddresses; ++i) {
    full.push_back("https://site.example/" + std::to_string(i));
  }
  ASSERT_EQ(full.size(), 32767U);

  browser.Box().SetItems(full);
  Arrive("https://new.example/");
  const List& items = browser.Box().Items();
  ASSERT_EQ(items.size(), 32767U);
  EXPECT_EQ(items.front(), "https://new.example/");
  EXPECT_EQ(items[1], full.front());
  EXPECT_EQ(items.back(), full[full.size() - 2]);  // the oldest entry went
  EXPECT_EQ(browser.Box().ListIndex(), 0);
  EXPECT_TRUE(browser.Web().calls.empty());

  // An address already in a full list only moves up.
  browser.Box().SetItems(full);
  Arrive(full.back());
  ASSERT_EQ(browser.Box().Items().size(), 32767U);
  EXPECT_EQ(browser.Box().Items().front(), full.back());
  EXPECT_EQ(browser.Box().Items().back(), full[full.size() - 2]);
  EXPECT_EQ(browser.Box().Items()[1], full.front());
}

}  // namespace
}  // namespace corvane::testing
