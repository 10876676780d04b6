// The engine started while the splash is shown: the browser window's view
// runs in the process started then, and the windows see exactly the events
// they see without the warm-up; a warm-up whose process ended leaves start-up
// as it is without one.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "program/browser_program.h"
#include "browser/form1.h"
#include "splash/frm_splash.h"
#include "tests/gtk/gtk_fixture.h"
#include "tests/support/processes.h"

namespace corvane::testing {
namespace {

const std::string kFirstCaption = "First Page - Corvane Ombrel - Varnhollow Software";

// The real backend, with every event of every window written down (window
// name first) before the window's handlers get it.
class TappedBackend final : public Backend {
 public:
  explicit TappedBackend(gtk::GtkBackend& real) : real_(real) {}

  std::unique_ptr<NativeWindow> MakeWindow(const WindowDesign& design, EventSink& sink) override {
    taps_.push_back(std::make_unique<Tap>(design.name, sink, record_));
    return real_.MakeWindow(design, *taps_.back());
  }
  void Run() override { real_.Run(); }
  void Quit() override { real_.Quit(); }
  void Post(std::function<void()> task) override { real_.Post(std::move(task)); }

  // The events so far, timer ticks left out (their number depends on time).
  [[nodiscard]] std::vector<std::string> Events() const {
    std::vector<std::string> events;
    std::copy_if(record_.events.begin(), record_.events.end(), std::back_inserter(events),
                 [](const std::string& e) { return e.find(": Timer") == std::string::npos; });
    return events;
  }

 private:
  class Tap final : public EventSink {
   public:
    Tap(std::string window, EventSink& next, RecordingSink& record)
        : window_(std::move(window)), next_(next), record_(record) {}
    void Raise(Event& event) override {
      const std::size_t before = record_.events.size();
      record_.Raise(event);
      if (record_.events.size() > before) {
        record_.events.back() = window_ + ": " + record_.events.back();
      }
      next_.Raise(event);
    }

   private:
    std::string window_;
    EventSink& next_;
    RecordingSink& record_;
  };

  gtk::GtkBackend& real_;
  RecordingSink record_;
  std::vector<std::unique_ptr<Tap>> taps_;
};

// The engine's web processes started by this process (in the engine's
// sandbox each is a grandchild, below bubblewrap).
std::set<int> WebProcesses() {
  const std::vector<int> found = WebProcessesOf(getpid());
  return {found.begin(), found.end()};
}

// The events up to and including the first load's end (a title that comes
// later may add one more DownloadComplete, depending on time).
std::vector<std::string> UpToFirstLoad(std::vector<std::string> events) {
  auto end = std::find(events.begin(), events.end(), "Form1: DownloadComplete brwWebBrowser");
  if (end != events.end()) {
    events.erase(end + 1, events.end());
  }
  return events;
}

enum class WarmUp { None, Done, ProcessEnded };

struct StartUp {
  std::vector<std::string> events;
  std::set<int> before;  // web processes when the key was pressed
  std::set<int> after;   // and once the first page had its title
  int requestsBeforeKey = -1;
  int firstPageRequests = 0;
};

// Runs the program on a backend of its own up to its first page.
StartUp StartToFirstPage(LoopbackServer& server, XDriver& x, WarmUp warmUp) {
  StartUp result;
  const int requestsBefore = server.AllRequests();
  const int firstBefore = server.Requests("/first.html");
  gtk::GtkBackend backend{gtk::WebPages{}};
  const std::set<int> earlier = WebProcesses();
  if (warmUp != WarmUp::None) {
    backend.WarmUpEngine();
  }
  TappedBackend tapped{backend};
  BrowserProgram program{Ports{tapped}, BuildSettings{server.Url("/first.html"),
                                                      server.Url("/home.html"),
                                                      server.Url("/search.html")}};
  program.Start();
  EXPECT_TRUE(WaitUntil([&] { return backend.Find("frmSplash") != nullptr; }));
  EXPECT_TRUE(ShowAndFocus(x, backend.Find("frmSplash")->Toplevel()));
  if (warmUp != WarmUp::None) {
    EXPECT_TRUE(WaitUntil([&] { return backend.EngineWarm(); }));
  }
  if (warmUp == WarmUp::ProcessEnded) {
    std::set<int> warm = WebProcesses();
    for (const int pid : earlier) {
      warm.erase(pid);
    }
    EXPECT_EQ(warm.size(), 1U);
    for (const int pid : warm) {
      kill(pid, SIGKILL);
    }
    EXPECT_TRUE(WaitUntil([&] { return !backend.EngineWarm(); }));
  }
  result.before = WebProcesses();
  result.requestsBeforeKey = server.AllRequests() - requestsBefore;
  x.Key("b");
  EXPECT_TRUE(WaitUntil([&] {
    return backend.Find("Form1") != nullptr && backend.Find("Form1")->Caption() == kFirstCaption;
  }));
  result.after = WebProcesses();
  result.events = UpToFirstLoad(tapped.Events());
  result.firstPageRequests = server.Requests("/first.html") - firstBefore;
  return result;
}

TEST(WarmUp, TheFirstPageLoadsInTheWarmProcessAndTheWindowsSeeTheSameEvents) {
  LoopbackServer server;
  XDriver x;
  const StartUp today = StartToFirstPage(server, x, WarmUp::None);
  ASSERT_FALSE(today.events.empty());
  EXPECT_EQ(today.events.back(), "Form1: DownloadComplete brwWebBrowser");
  EXPECT_EQ(std::count(today.events.begin(), today.events.end(),
                       "Form1: NavigateComplete2 brwWebBrowser " + server.Url("/first.html")),
            1);
  // Without the warm-up the page's process starts after the key.
  EXPECT_FALSE(std::includes(today.before.begin(), today.before.end(), today.after.begin(),
                             today.after.end()));

  const struct {
    const char* name;
    WarmUp warmUp;
    bool pageInWarmProcess;
  } cases[] = {
      {"warm-up done", WarmUp::Done, true},
      {"warm-up whose process ended", WarmUp::ProcessEnded, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const StartUp run = StartToFirstPage(server, x, c.warmUp);
    // Nothing is asked of the network before the key, and the first page once.
    EXPECT_EQ(run.requestsBeforeKey, 0);
    EXPECT_EQ(run.firstPageRequests, 1);
    // No event of the empty page, and every event as without the warm-up.
    EXPECT_EQ(run.events, today.events);
    ASSERT_FALSE(run.after.empty());
    EXPECT_EQ(std::includes(run.before.begin(), run.before.end(), run.after.begin(),
                            run.after.end()),
              c.pageInWarmProcess);
  }
}

// The view made from the warm process is the browser window's whole view:
// its history starts with the first page, so Back has nowhere to go.
TEST(WarmUp, TheWarmViewHasNoHistoryOfItsOwn) {
  LoopbackServer server;
  XDriver x;
  gtk::GtkBackend backend{gtk::WebPages{}};
  backend.WarmUpEngine();
  BrowserProgram program{Ports{backend}, BuildSettings{server.Url("/first.html"),
                                                       server.Url("/home.html"),
                                                       server.Url("/search.html")}};
  program.Start();
  ASSERT_TRUE(WaitUntil([&] { return backend.Find("frmSplash") != nullptr; }));
  ASSERT_TRUE(ShowAndFocus(x, backend.Find("frmSplash")->Toplevel()));
  ASSERT_TRUE(WaitUntil([&] { return backend.EngineWarm(); }));
  x.Key("b");
  ASSERT_TRUE(WaitUntil([&] {
    return backend.Find("Form1") != nullptr && backend.Find("Form1")->Caption() == kFirstCaption;
  }));
  auto* view = WEBKIT_WEB_VIEW(backend.Find("Form1")->WidgetOf("brwWebBrowser"));
  EXPECT_FALSE(webkit_web_view_can_go_back(view));
  EXPECT_EQ(webkit_web_view_get_back_forward_list(view) != nullptr
                ? webkit_back_forward_list_get_length(webkit_web_view_get_back_forward_list(view))
                : 0U,
            1U);
  EXPECT_FALSE(backend.EngineWarm());  // used once
}

}  // namespace
}  // namespace corvane::testing
