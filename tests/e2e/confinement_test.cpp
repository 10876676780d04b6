// Pages confined in the real program: its web processes run in the engine's
// sandbox, another site's page in another web process, and where the sandbox
// cannot start, or a desktop bus cannot be proxied into it, the program still
// browses.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/processes.h"

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

class Confinement : public EndToEnd {
 protected:
  std::vector<int> WebProcesses() { return WebProcessesOf(program->Pid()); }
  // The web processes once none has come or gone for a while. After a
  // navigation the engine starts a spare process for the next one; one that
  // ends before it has told the program who it is in the sandbox takes the
  // program with it (the engine's doing), so the tests end only processes
  // that are well up.
  std::vector<int> SettledWebProcesses() {
    std::vector<int> last = WebProcesses();
    auto since = std::chrono::steady_clock::now();
    Eventually([&] {
      const std::vector<int> now = WebProcesses();
      if (now != last) {
        last = now;
        since = std::chrono::steady_clock::now();
      }
      return std::chrono::steady_clock::now() - since > 1500ms;
    });
    return last;
  }
  std::string OtherSite() const { return "http://localhost:" + std::to_string(server.Port()); }
};

TEST_F(Confinement, WebProcessesRunInTheirOwnNamespaceAndSeeNoneOfTheUsersFiles) {
  const fs::path home = std::getenv("HOME");
  const fs::path secret = home / "Documents" / "private.txt";
  fs::create_directories(secret.parent_path());
  std::ofstream(secret) << "not for pages\n";
  Restart();  // with the file there from the start
  const auto browser = Start();
  ASSERT_TRUE(browser);
  const std::string own = Namespace(program->Pid(), "pid");
  ASSERT_FALSE(own.empty());
  const std::vector<int> web = WebProcesses();
  ASSERT_FALSE(web.empty());
  for (const int pid : web) {
    SCOPED_TRACE("web process " + std::to_string(pid));
    const std::string root = "/proc/" + std::to_string(pid) + "/root";
    EXPECT_NE(Namespace(pid, "pid"), own);
    ASSERT_TRUE(Exists(root + "/usr/lib"));  // its files can be looked at from here
    EXPECT_FALSE(Exists(root + secret.string()));
    EXPECT_FALSE(Exists(root + home.string()));
  }
}

TEST_F(Confinement, AnotherSiteRunsInAnotherWebProcessWhoseEndTheUserSees) {
  const auto browser = Start();
  ASSERT_TRUE(browser);
  const std::vector<int> before = SettledWebProcesses();
  ASSERT_FALSE(before.empty());
  Enter(*browser, OtherSite() + "/second.html");
  ASSERT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  const auto fresh = [&] {
    std::vector<int> found;
    for (const int pid : SettledWebProcesses()) {
      if (std::find(before.begin(), before.end(), pid) == before.end()) {
        found.push_back(pid);
      }
    }
    return found;
  };
  ASSERT_FALSE(fresh().empty()) << "the other site's page is in a process of the first site";
  // Back and Forward across the two sites.
  Toolbar(*browser, 0);
  ASSERT_TRUE(CaptionBecomes(*browser, "First Page" + kSuffix));
  Toolbar(*browser, 1);
  ASSERT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  // The page is in a process the first site's page never had: ending those
  // ends the page, and Refresh loads it again.
  for (const int pid : fresh()) {
    kill(pid, SIGKILL);
  }
  EXPECT_TRUE(CaptionBecomes(*browser, "Page Stopped Working" + kSuffix));
  const int requests = server.Requests("/second.html");
  Toolbar(*browser, 3);  // Refresh
  EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
  EXPECT_GT(server.Requests("/second.html"), requests);
  EXPECT_TRUE(program->Running());
}

// Where bubblewrap cannot run, pages are shown unconfined rather than not at
// all: the program is started in a mount namespace of its own whose
// bubblewrap fails at once, outside a container and inside one (the engine
// recognises a container by /run/.containerenv).
TEST_F(Confinement, WhereTheSandboxCannotStartThePagesStillShow) {
  struct Case {
    const char* where;
    std::string prepare;
  };
  const std::string broken = "mount --bind /bin/false /usr/bin/bwrap";
  const std::vector<Case> cases = {
      {"bubblewrap denied", broken},
      {"in a container", broken + " && mount -t tmpfs none /run && touch /run/.containerenv"},
  };
  if (std::system("unshare -m sh -c 'mount --bind /bin/false /usr/bin/bwrap' 2>/dev/null") != 0) {
    GTEST_SKIP() << "no mount namespace can be made here (it takes root)";
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    program.reset();
    program = std::make_unique<Process>(std::vector<std::string>{
        "/usr/bin/unshare", "-m", "/bin/sh", "-c", c.prepare + " && exec \"$0\"",
        CORVANE_E2E_PROGRAM});
    const auto browser = Start();
    ASSERT_TRUE(browser);
    const std::vector<int> web = WebProcesses();
    ASSERT_FALSE(web.empty());
    EXPECT_EQ(Namespace(web.front(), "pid"), Namespace(program->Pid(), "pid"));
    Enter(*browser, OtherSite() + "/second.html");
    EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
    EXPECT_TRUE(program->Running());
  }
}

// A private session bus with the system's services on call (the desktop's
// accessibility bus launcher among them).
class SessionBus {
 public:
  explicit SessionBus(const fs::path& folder)
      : address_("unix:path=" + (folder / "session-bus").string()),
        daemon_(std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork",
                                         "--address=" + address_}) {}
  [[nodiscard]] bool Up() const {
    return Eventually([&] { return Exists(address_.substr(address_.find('/'))); }, 5s);
  }
  [[nodiscard]] const std::string& Address() const { return address_; }

 private:
  std::string address_;
  Process daemon_;
};

// The engine proxies the desktop's buses into the sandbox, binding each bus's
// socket folder. Where a bus is advertised but its folder is gone, or there
// is no proxy to start, pages still show, confined wherever the sandbox can
// run; after a move to another site too (a new web process, new proxies).
TEST_F(Confinement, WhereABusCannotBeProxiedThePagesStillShow) {
  const fs::path run = std::getenv("XDG_RUNTIME_DIR");
  const std::string gone = "unix:path=" + (run / "gone" / "bus").string();
  // The engine's proxy is hidden by a mount namespace whose /usr/bin has no
  // xdg-dbus-proxy (an overlay with a whiteout for it).
  const std::string hider = (run / "hide-proxy").string();
  const std::string hide = "mkdir -p " + hider + " && (test -e " + hider +
                           "/xdg-dbus-proxy || mknod " + hider +
                           "/xdg-dbus-proxy c 0 0) && mount -t overlay overlay -o lowerdir=" +
                           hider + ":/usr/bin /usr/bin";
  const std::string tryHide =
      "unshare -m sh -c '" + hide + " && test ! -e /usr/bin/xdg-dbus-proxy'";
  const bool namespaces = std::system(tryHide.c_str()) == 0;
  struct Case {
    const char* where;
    bool sessionBus;          // a private session bus
    bool staleAccessibility;  // its accessibility bus launched, then its folder removed
    std::string variable;     // set for the program
    bool hideProxy;
    bool confined;
  };
  const std::vector<Case> cases = {
      {"the accessibility service's bus, its folder removed", true, true, "", false, true},
      {"an accessibility bus in the environment, its folder gone", false, false,
       "AT_SPI_BUS_ADDRESS=" + gone, false, true},
      {"a session bus in the environment, its folder gone", false, false,
       "DBUS_SESSION_BUS_ADDRESS=" + gone, false, true},
      {"no proxy, a session bus", true, false, "", true, false},
      {"no proxy, no session bus, an accessibility bus in the environment", false, false,
       "AT_SPI_BUS_ADDRESS=" + gone, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    if (c.hideProxy && !namespaces) {
      std::cout << "skipped without a mount namespace (it takes root): " << c.where << "\n";
      continue;
    }
    program.reset();
    std::vector<std::string> command = {"/usr/bin/env", "DBUS_SESSION_BUS_ADDRESS"};
    std::optional<SessionBus> bus;
    if (c.sessionBus) {
      bus.emplace(run);
      ASSERT_TRUE(bus->Up());
      command.back() += "=" + bus->Address();
    } else {
      command.back().insert(0, "--unset=");
    }
    if (c.staleAccessibility) {
      ASSERT_EQ(std::system(("DBUS_SESSION_BUS_ADDRESS=" + bus->Address() +
                             " gdbus call --session --dest org.a11y.Bus --object-path "
                             "/org/a11y/bus --method org.a11y.Bus.GetAddress >/dev/null")
                                .c_str()),
                0);
      ASSERT_TRUE(fs::is_directory(run / "at-spi"));
      fs::remove_all(run / "at-spi");
    }
    if (!c.variable.empty()) {
      command.push_back(c.variable);
    }
    if (c.hideProxy) {
      command.insert(command.end(), {"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                                     hide + " && exec \"$0\""});
    }
    command.push_back(CORVANE_E2E_PROGRAM);
    program = std::make_unique<Process>(command);
    const auto browser = Start();
    if (!browser) {
      ADD_FAILURE() << "no page shown; the program ended with "
                    << program->Exit(1s).value_or(-1);
      continue;
    }
    const std::vector<int> web = WebProcesses();
    ASSERT_FALSE(web.empty());
    EXPECT_EQ(Namespace(web.front(), "pid") != Namespace(program->Pid(), "pid"), c.confined);
    Enter(*browser, OtherSite() + "/second.html");
    EXPECT_TRUE(CaptionBecomes(*browser, "Second Page" + kSuffix));
    EXPECT_TRUE(program->Running());
    program.reset();
  }
}

}  // namespace
}  // namespace corvane::testing
