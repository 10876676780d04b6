// Everyday browsing in the real program: new-window requests, words typed
// into the address box, failed loads, and pages that crash, hang or open
// dialogs for good.
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/processes.h"

namespace corvane::testing {
namespace {

// A TLS server on loopback with a certificate nobody signed.
class SelfSignedServer {
 public:
  SelfSignedServer() : dir_(std::filesystem::temp_directory_path() /
                            ("corvane-tls-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(dir_);
    const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
                             " -keyout '" + (dir_ / "key.pem").string() + "' -out '" +
                             (dir_ / "cert.pem").string() + "' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
      return;
    }
    port_ = ClosedPort();
    const std::string accept = "127.0.0.1:" + std::to_string(port_);
    const std::string cert = (dir_ / "cert.pem").string();
    const std::string key = (dir_ / "key.pem").string();
    const char* argv[] = {"openssl", "s_server", "-quiet", "-www", "-accept", accept.c_str(),
                          "-cert", cert.c_str(), "-key", key.c_str(), nullptr};
    if (posix_spawnp(&pid_, "openssl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      pid_ = -1;
    }
  }
  ~SelfSignedServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    std::filesystem::remove_all(dir_);
  }
  SelfSignedServer(const SelfSignedServer&) = delete;
  SelfSignedServer& operator=(const SelfSignedServer&) = delete;

  // True once it takes connections.
  bool Listening() const {
    return pid_ > 0 && Eventually([&] {
      const int s = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<std::uint16_t>(port_));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      const bool up = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      ::close(s);
      return up;
    });
  }
  [[nodiscard]] int Port() const { return port_; }

 private:
  std::filesystem::path dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

class EverydayBrowsing : public EndToEnd {
 protected:
  // Clicks in the middle of the web view.
  void ClickPage(XWindow browser) {
    const ScreenRect r = x.Geometry(browser);
    x.Click(r.x + r.width / 2, r.y + r.height / 2);
  }
  // The middle of the web view: its place in the window, from the design
  // (left 120, top 1200, 100 twips spare right and below).
  std::pair<int, int> PageMiddle(XWindow browser) {
    const ScreenRect r = x.Geometry(browser);
    return {r.x + (8 + r.width - 7) / 2, r.y + (80 + r.height - 7) / 2};
  }
  // Opens the loop page (of `root`, by default the site of the first page)
  // and waits until its script has begun its endless run.
  bool OpenHungPage(XWindow browser, const std::string& root = "") {
    const int before = server.Requests("/looping.txt");
    Enter(browser, (root.empty() ? Root() : root) + "/loop.html");
    return CaptionBecomes(browser, "Loop Page" + kSuffix) &&
           Eventually([&] { return server.Requests("/looping.txt") > before; });
  }
  std::vector<int> WebProcesses() { return WebProcessesOf(program->Pid()); }
};

// ---- words search ----------------------------------------------------------------

using WordsSearch = EverydayBrowsing;

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

// ---- new windows ------------------------------------------------------------------

using NewWindows = EverydayBrowsing;

TEST_F(NewWindows, RequestsMadeFromAClickOpenInTheBrowsersOwnView) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  const auto click = [&] { ClickPage(*browser); };
  // The engine's menu on a link: its second item opens the link in a new window.
  const auto menu = [&] {
    const auto [middleX, middleY] = PageMiddle(*browser);
    const std::size_t before = x.Popups();
    x.Click(middleX, middleY, 3);
    ASSERT_TRUE(Eventually([&] { return x.Popups() > before; }));
    x.Key("Down");
    x.Key("Down");
    x.Key("Return");
  };
  struct Case {
    const char* page;
    const char* title;
    std::function<void()> act;
    const char* reached;
  };
  for (const Case& c : {Case{"/blank-link.html", "Blank Link", click, "Second Page"},
                        Case{"/open-button.html", "Open Button", click, "Third Page"},
                        Case{"/blank-link.html", "Blank Link", menu, "Second Page"}}) {
    SCOPED_TRACE(c.page);
    Enter(*browser, Root() + c.page);
    ASSERT_TRUE(CaptionBecomes(*browser, c.title + kSuffix));
    c.act();
    EXPECT_TRUE(CaptionBecomes(*browser, c.reached + kSuffix));
    EXPECT_EQ(x.TopLevels(program->Pid()).size(), 1U);
    // It went into the view's history like any navigation.
    Toolbar(*browser, 0);  // Back
    EXPECT_TRUE(CaptionBecomes(*browser, c.title + kSuffix));
  }
}

TEST_F(NewWindows, APageCannotOpenOneWithoutTheUser) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  Enter(*browser, Root() + "/popup.html");
  // Both its attempts (on load, from a timer) are over once it says so.
  ASSERT_TRUE(CaptionBecomes(*browser, "Popup Done" + kSuffix));
  Enter(*browser, Root() + "/second.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  EXPECT_EQ(server.Requests("/home.html"), 0);
  EXPECT_EQ(x.TopLevels(program->Pid()).size(), 1U);
}

// ---- failed loads -------------------------------------------------------------------

using LoadFailures = EverydayBrowsing;

TEST_F(LoadFailures, ARefusedConnectionAndAnUntrustedCertificateShowWhy) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  const int port = ClosedPort();
  Enter(*browser, "127.0.0.1:" + std::to_string(port) + "/gone.html");
  EXPECT_TRUE(CaptionBecomes(*browser, "Connection Refused" + kSuffix));
  {
    // Once something answers there, Refresh loads the address.
    const LoopbackServer now(static_cast<std::uint16_t>(port));
    Toolbar(*browser, 3);
    EXPECT_TRUE(CaptionBecomes(*browser, "Not Found" + kSuffix));
    EXPECT_EQ(now.Requests("/gone.html"), 1);
  }

  SelfSignedServer tls;
  if (!tls.Listening()) {
    GTEST_SKIP() << "openssl could not start a TLS server here";
  }
  // Never passed: the server's own page (no title) never shows.
  Enter(*browser, "https://127.0.0.1:" + std::to_string(tls.Port()) + "/");
  EXPECT_TRUE(CaptionBecomes(*browser, "Certificate Not Trusted" + kSuffix));
  EXPECT_TRUE(program->Running());
}

// ---- pages that crash, hang or keep opening dialogs ---------------------------------------

using PageTrouble = EverydayBrowsing;

TEST_F(PageTrouble, AKilledPageSaysSoAndRefreshOrEnterLoadsItAgain) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  Enter(*browser, Root() + "/second.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  const std::vector<std::function<void()>> reloads = {
      [&] { Toolbar(*browser, 3); },  // Refresh
      [&] {                           // Enter in the address box, which holds the address
        x.Focus(*browser);
        x.Key("a", {"Alt_L"});
        x.Key("Return");
      },
  };
  for (const auto& reload : reloads) {
    const std::vector<int> killed = WebProcesses();
    ASSERT_FALSE(killed.empty());
    for (const int pid : killed) {
      kill(pid, SIGKILL);
    }
    EXPECT_TRUE(CaptionBecomes(*browser, "Page Stopped Working" + kSuffix));
    const int before = server.Requests("/second.html");
    reload();
    EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
    EXPECT_GT(server.Requests("/second.html"), before);
  }
  EXPECT_TRUE(program->Running());
}

TEST_F(PageTrouble, TheNetworkProcessEndingInALoadSaysSoAndBrowsingGoesOn) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  Enter(*browser, Root() + "/slow.html");
  ASSERT_TRUE(Eventually([&] { return server.Requests("/slow.html") > 0; }));
  const std::vector<int> killed = Descendants(program->Pid(), "WebKitNetworkPr");
  ASSERT_FALSE(killed.empty());
  for (const int pid : killed) {
    kill(pid, SIGKILL);
  }
  EXPECT_TRUE(CaptionBecomes(*browser, "Page Stopped Working" + kSuffix));
  Toolbar(*browser, 3);  // Refresh
  EXPECT_TRUE(CaptionBecomes(*browser, "Slow Page" + kSuffix));
  Enter(*browser, Root() + "/second.html");
  EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  EXPECT_TRUE(program->Running());
}

TEST_F(PageTrouble, AHungPageIsOfferedToBeStopped) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  // The first page's site, then another site: a page in a process of its own
  // since the navigation.
  for (const std::string& root : {Root(), "http://localhost:" + std::to_string(server.Port())}) {
    SCOPED_TRACE(root);
    ASSERT_TRUE(OpenHungPage(*browser, root));
    ClickPage(*browser);  // the engine finds its page not answering
    const auto box = Titled("Page Not Responding");
    ASSERT_TRUE(box);
    x.Focus(*box);
    x.Key("s", {"Alt_L"});  // Stop Page
    EXPECT_TRUE(Gone(*box));
    EXPECT_TRUE(CaptionBecomes(*browser, "Page Stopped Working" + kSuffix));
    const int before = server.Requests("/loop.html");
    const int looping = server.Requests("/looping.txt");
    Toolbar(*browser, 3);  // Refresh loads it again
    EXPECT_TRUE(CaptionBecomes(*browser, "Loop Page" + kSuffix));
    EXPECT_GT(server.Requests("/loop.html"), before);
    // Hung again before the next site is opened: its request must not pass
    // for the next page's (same title, same request).
    EXPECT_TRUE(Eventually([&] { return server.Requests("/looping.txt") > looping; }));
  }
}

TEST_F(PageTrouble, TheQuestionGoesByItselfWhenThePageAnswersAfterAll) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  Enter(*browser, Root() + "/busy.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Busy Page" + kSuffix));
  ASSERT_TRUE(Eventually([&] { return server.Requests("/busy.txt") > 0; }));
  ClickPage(*browser);
  const auto box = Titled("Page Not Responding");
  ASSERT_TRUE(box);
  EXPECT_TRUE(Gone(*box));
  EXPECT_EQ(x.Title(*browser), "Busy Page" + kSuffix);
  Enter(*browser, Root() + "/second.html");
  EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
}

TEST_F(PageTrouble, TheUserLeavesAHungPageWithinMoments) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  struct Case {
    const char* what;
    std::function<void()> act;
    std::string reached;
  };
  const std::vector<Case> cases = {
      {"typed address", [&] { Enter(*browser, Root() + "/second.html"); }, "Second Page"},
      {"Back", [&] { Toolbar(*browser, 0); }, "Second Page"},
      {"Home", [&] { Toolbar(*browser, 4); }, "Home Page"},
      {"Search", [&] { Toolbar(*browser, 5); }, "Search Page"},
      {"words", [&] { Enter(*browser, "hung pages"); }, "Results"},
      {"Stop", [&] { Toolbar(*browser, 2); }, "Page Stopped Working"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(OpenHungPage(*browser));
    const auto asked = std::chrono::steady_clock::now();
    c.act();
    EXPECT_TRUE(CaptionBecomes(*browser, c.reached + kSuffix));
    // About two seconds; more only on a very busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 6s);
  }
  EXPECT_TRUE(program->Running());
}

TEST_F(PageTrouble, APageThatOpensDialogAfterDialogCanBeStopped) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  Enter(*browser, Root() + "/alerts.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Alert Page" + kSuffix));
  // The engine's own dialogs first, in the middle of the view, closed with a
  // click on their button, until the offer comes.
  std::optional<XWindow> box;
  ASSERT_TRUE(Eventually([&] {
    for (const XWindow w : x.TopLevels(program->Pid())) {
      if (x.Title(w) == "Page Keeps Opening Dialogs") {
        box = w;
        return true;
      }
    }
    const auto [middleX, middleY] = PageMiddle(*browser);
    x.Click(middleX, middleY + 57);
    return false;
  }));
  x.Focus(*box);
  x.Key("s", {"Alt_L"});  // Stop Page
  EXPECT_TRUE(Gone(*box));
  EXPECT_TRUE(CaptionBecomes(*browser, "Page Stopped Working" + kSuffix));
  EXPECT_TRUE(program->Running());
}

}  // namespace
}  // namespace corvane::testing
