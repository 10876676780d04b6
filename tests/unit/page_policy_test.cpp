// The page policy: what it tells a web view for what the user asks and what
// the engine reports, as tables; then the browser window with the policy on
// the fake backend, driven by a scripted page.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "browsing/page_policy.h"
#include "tests/unit/form1_fixture.h"

namespace corvane::testing {
namespace {

// Records the orders; its clock and the engine's abilities are scripted.
class Host final : public PageHost {
 public:
  std::vector<std::string> orders;
  std::int64_t now = 0;
  bool completes = false;
  bool watches = true;

  void Load(const std::string& uri) override { orders.push_back("Load " + uri); }
  void LoadHome() override { orders.emplace_back("LoadHome"); }
  void LoadSearch() override { orders.emplace_back("LoadSearch"); }
  void Reload() override { orders.emplace_back("Reload"); }
  void ShowOwnPage(const OwnPage& page) override {
    EXPECT_NE(page.html.find("<title>" + page.title + "</title>"), std::string::npos);
    orders.push_back("Own " + page.title + " " + page.address);
  }
  void Ask(const PageQuestion& question) override { orders.push_back("Ask " + question.title); }
  void DropQuestion() override { orders.emplace_back("DropQuestion"); }
  void StopLoading() override { orders.emplace_back("StopLoading"); }
  void StartTimer(int ms) override { orders.push_back("Timer " + std::to_string(ms)); }
  void StopTimer() override { orders.emplace_back("StopTimer"); }
  [[nodiscard]] std::int64_t NowMs() const override { return now; }
  [[nodiscard]] bool CompletesAddresses() const override { return completes; }
  [[nodiscard]] bool WatchesProcess() const override { return watches; }
};

using Orders = std::vector<std::string>;

struct Case {
  const char* what;
  PagePolicySettings settings;
  bool completes;
  bool watches;
  std::function<void(PagePolicy&, Host&)> steps;
  Orders expected;
};

TEST(PagePolicy, TellsTheViewWhatToDo) {
  const PagePolicySettings plain{};
  const PagePolicySettings built{"home.test", "search.test/", "https://find.test/?q=%s"};
  const std::vector<Case> cases{
      // ---- typed text ----
      {"a host name is completed", plain, false, true,
       [](PagePolicy& p, Host&) { p.Navigate("example.com"); }, {"Load https://example.com"}},
      {"a control that completes gets it as typed", plain, true, true,
       [](PagePolicy& p, Host&) { p.Navigate("example.com"); }, {"Load example.com"}},
      {"words are searched", built, false, true,
       [](PagePolicy& p, Host&) { p.Navigate("two words"); },
       {"Load https://find.test/?q=two%20words"}},
      {"a script address is refused", built, true, true,
       [](PagePolicy& p, Host&) { p.Navigate("  JavaScript:alert(1)"); }, {}},
      // ---- home and search ----
      {"the build's pages", built, false, true,
       [](PagePolicy& p, Host&) { p.GoHome(); p.GoSearch(); },
       {"Load https://home.test", "Load https://search.test/"}},
      {"else the engine's own", plain, true, true,
       [](PagePolicy& p, Host&) { p.GoHome(); p.GoSearch(); }, {"LoadHome", "LoadSearch"}},
      // ---- new windows ----
      {"a window the user asked for opens here", plain, false, true,
       [](PagePolicy& p, Host&) { p.NewWindow("http://a.test/", true); },
       {"Load http://a.test/"}},
      {"one opened without the user is not followed", plain, false, true,
       [](PagePolicy& p, Host&) { p.NewWindow("http://a.test/", false); }, {}},
      {"nor a blank or script window, even from a click", plain, false, true,
       [](PagePolicy& p, Host&) {
         p.NewWindow("about:blank", true);
         p.NewWindow("javascript:x()", true);
       },
       {}},
      {"the engine's menu on that link, open or just closed", plain, false, true,
       [](PagePolicy& p, Host& h) {
         p.MenuOpened("http://a.test/");
         p.NewWindow("http://a.test/", false);
         p.MenuOpened("http://b.test/");
         p.MenuClosed();
         h.now += PagePolicy::kMenuActionMs - 1;
         p.NewWindow("http://b.test/", false);
       },
       {"Load http://a.test/", "Load http://b.test/"}},
      {"but not another link, nor long after", plain, false, true,
       [](PagePolicy& p, Host& h) {
         p.MenuOpened("http://a.test/");
         p.NewWindow("http://other.test/", false);
         p.MenuOpened("http://b.test/");
         p.MenuClosed();
         h.now += PagePolicy::kMenuActionMs;
         p.NewWindow("http://b.test/", false);
       },
       {}},
      // ---- our own pages and Refresh ----
      {"a failed load shows our page; Refresh loads its address", plain, false, true,
       [](PagePolicy& p, Host&) {
         p.LoadFailed("http://gone.test/", LoadFailure::kServerNotFound, "");
         p.Committed("http://gone.test/", true);
         p.Refresh();
       },
       {"Own Server Not Found http://gone.test/", "Load http://gone.test/"}},
      {"on a page of its own Refresh reloads", plain, false, true,
       [](PagePolicy& p, Host&) {
         p.Committed("http://a.test/", false);
         p.Refresh();
       },
       {"Reload"}},
      {"a certificate problem is never passed", plain, false, true,
       [](PagePolicy& p, Host&) { p.CertificateProblem("https://a.test/", certificate::kExpired); },
       {"Own Certificate Not Trusted https://a.test/"}},
      {"a page whose process ends", plain, false, true,
       [](PagePolicy& p, Host&) {
         p.Committed("http://a.test/", false);
         p.ProcessEnded(PageEnd::kCrashed, false);
       },
       {"Own Page Stopped Working http://a.test/"}},
      {"but not when ended for the user's request, nor under our own page", plain, false, true,
       [](PagePolicy& p, Host&) {
         p.Committed("http://a.test/", false);
         p.ProcessEnded(PageEnd::kStopped, true);
         p.LoadFailed("http://b.test/", LoadFailure::kTimedOut, "");
         p.ProcessEnded(PageEnd::kCrashed, false);
       },
       {"Own Connection Timed Out http://b.test/"}},
      // ---- a load that does not finish, where the engine cannot tell a hang ----
      {"the user is asked; Stop stops it", plain, true, false,
       [](PagePolicy& p, Host&) {
         p.LoadStarted();
         p.TimerFired();
         p.Answered(false);
       },
       {"Timer " + std::to_string(PagePolicySettings{}.unfinishedAfterMs), "Ask Page Not Responding",
        "StopLoading"}},
      {"Wait asks again later; the end takes the question back", plain, true, false,
       [](PagePolicy& p, Host&) {
         p.LoadStarted();
         p.TimerFired();
         p.Answered(true);
         p.TimerFired();
         p.LoadFinished();
         p.TimerFired();
       },
       {"Timer 30000", "Ask Page Not Responding", "Timer 30000", "Ask Page Not Responding",
        "StopTimer", "DropQuestion"}},
      {"an engine that watches its process gets no timer", plain, false, true,
       [](PagePolicy& p, Host&) {
         p.LoadStarted();
         p.TimerFired();
         p.LoadFinished();
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Host host;
    host.completes = c.completes;
    host.watches = c.watches;
    PagePolicy policy(host, c.settings);
    c.steps(policy, host);
    EXPECT_EQ(host.orders, c.expected);
  }
}

// A run of dialogs: from the third within the run's time the user may stop
// the page; a pause or a new page starts a new run.
TEST(PagePolicy, ADialogFloodIsOfferedToBeStopped) {
  struct Step {
    std::int64_t after;  // ms since the last step
    bool newPage;        // a page is reached before the dialog
    bool offered;
  };
  const Step run[] = {{0, false, false},     {1000, false, false}, {1000, false, true},
                      {1000, false, true},   {PagePolicy::kDialogRunMs + 1, false, false},
                      {1000, false, false},  {1000, false, true},  {1000, true, false},
                      {1000, false, false},  {1000, false, true}};
  Host host;
  PagePolicy policy(host, {});
  policy.Committed("http://a.test/", false);
  int number = 0;
  for (const Step& step : run) {
    SCOPED_TRACE(++number);
    host.now += step.after;
    if (step.newPage) {
      policy.Committed("http://b.test/", false);
    }
    const std::optional<PageQuestion> asked = policy.ScriptDialog("hello");
    ASSERT_EQ(asked.has_value(), step.offered);
    if (asked) {
      EXPECT_EQ(asked->title, "Page Keeps Opening Dialogs");
      EXPECT_NE(asked->detail.find("hello"), std::string::npos);
    }
  }
  EXPECT_EQ(policy.NotAnsweringQuestion().detail.find("http://b.test/"), 0U);
  EXPECT_EQ(policy.Times().request, PagePolicy::kAnswerWithinMs);
}

// A page that offers download after download: a few questions wait their
// turn behind the one shown, the rest are refused unasked.
TEST(PagePolicy, AnOfferedDownloadIsAskedAboutUntilTooManyQuestionsWait) {
  Host host;
  PagePolicy policy(host, {});
  for (const auto& [waiting, asked] : {std::pair{0U, true}, {2U, true}, {3U, false}, {9U, false}}) {
    EXPECT_EQ(policy.DownloadOffered(waiting), asked) << waiting;
  }
  EXPECT_TRUE(host.orders.empty());
}

// ---- the browser window with the policy, on the fake backend ----------------------

TEST_F(Form1Test, APageWhoseProcessEndsShowsOurPageInTheCaptionAndRefreshLoadsItAgain) {
  fake::FakeWebBrowser& web = browser.Web();
  ASSERT_NE(web.Page(), nullptr);
  web.locationURL = "http://a.test/";
  web.RaiseNavigateComplete2("http://a.test/");
  web.orders.clear();
  web.Page()->ProcessEnded(PageEnd::kCrashed, false);
  browser.backend.Drain();
  EXPECT_EQ(web.orders, Orders{"ShowOwnPage(http://a.test/)"});
  EXPECT_EQ(browser.Window().Caption(), "Page Stopped Working" + kSuffix);
  EXPECT_NE(web.ownPageHtml.find("ended unexpectedly"), std::string::npos);
  browser.Bar().ClickButton("Refresh");
  EXPECT_EQ(web.orders.back(), "Load(http://a.test/)");
}

TEST_F(Form1Test, AnAddressTypedIntoTheBoxGoesThroughThePolicy) {
  fake::FakeWebBrowser& web = browser.Web();
  for (const auto& [typed, order] : std::vector<std::pair<std::string, std::string>>{
           {"example.com", "Load(https://example.com)"},
           {"javascript:alert(1)", ""},
       }) {
    SCOPED_TRACE(typed);
    web.orders.clear();
    browser.Box().Type(typed);
    browser.Box().PressKey(13);
    EXPECT_EQ(web.orders, order.empty() ? Orders{} : Orders{order});
  }
}

TEST_F(Form1Test, APageThatDoesNotFinishIsOfferedToBeStoppedWhereTheEngineCannotTellAHang) {
  fake::FakeWebBrowser& web = browser.Web();
  web.watchesProcess = false;
  web.Page()->LoadStarted();
  web.Advance(PagePolicySettings{}.unfinishedAfterMs - 1);
  EXPECT_FALSE(web.question.has_value());
  web.Advance(1);
  ASSERT_TRUE(web.question.has_value());
  EXPECT_EQ(web.question->stop, "&Stop Page");
  web.Page()->Answered(false);
  EXPECT_EQ(web.orders.back(), "StopLoading()");
}

}  // namespace
}  // namespace corvane::testing
