// One address-history update (the browser window's NavigateComplete2) on a
// full address list of 32,767 entries, with the real GTK combo box and the
// real web view: the browser window is shown on an X display, has loaded a
// local page, and each update is the notification the web view raises when a
// navigation completes. Two cases, as in the fake-backend benchmark: the
// page's address at the bottom of the list (compared with every entry, then
// moved to the top) and a new address (every entry compared, the oldest
// dropped). Every other entry is as long as the page's address and shares
// all but its last few letters with it, so each comparison reads the whole
// text. Between updates, untimed, the list is put back as it was.
//
// Prints, per case, the median and 90th percentile time of the handler, and
// of the handler plus the GTK work it leaves for the main loop.
//   xvfb-run -a build/linux/bench/corvane_history_gtk_bench [updates]
#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "browser/form1.h"
#include "platform/gtk/window.h"

namespace {

using Clock = std::chrono::steady_clock;
using corvane::BuildSettings;
using corvane::ComboBox;
using corvane::Event;
using corvane::EventType;
using corvane::Form1;
using corvane::Ports;
using corvane::Program;
using corvane::WebBrowser;

bool WaitUntil(const std::function<bool()>& condition) {
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (Clock::now() > deadline) {
      return false;
    }
    if (g_main_context_iteration(nullptr, FALSE) == FALSE) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return true;
}

void Drain() {
  while (g_main_context_iteration(nullptr, FALSE) != FALSE) {
  }
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> xs, double p) {
  std::sort(xs.begin(), xs.end());
  return xs[static_cast<std::size_t>(p * static_cast<double>(xs.size() - 1))];
}

// A local page with a title, in a folder of its own, removed at the end.
class LocalPage {
 public:
  LocalPage() {
    char pattern[] = "/tmp/corvane-history-bench-XXXXXX";
    if (g_mkdtemp(pattern) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    dir_ = pattern;
    path_ = dir_ + "/page-bench.html";
    std::ofstream(path_) << "<!doctype html><title>History bench</title><p>Bench.</p>";
    uri_ = "file://" + path_;
  }
  ~LocalPage() {
    g_remove(path_.c_str());
    g_rmdir(dir_.c_str());
  }
  LocalPage(const LocalPage&) = delete;
  LocalPage& operator=(const LocalPage&) = delete;
  [[nodiscard]] const std::string& Uri() const { return uri_; }
  // Another address in the same folder, exactly as long as the page's: the
  // comparison with it runs through their whole common beginning.
  [[nodiscard]] std::string Neighbour(int n) const {
    char name[16];
    std::snprintf(name, sizeof name, "page-%05d", n % 100000);
    return "file://" + dir_ + "/" + name + ".html";
  }

 private:
  std::string dir_;
  std::string path_;
  std::string uri_;
};

struct Figures {
  std::vector<double> handler;
  std::vector<double> withDeferred;
};

struct Bench {
  LocalPage page;
  corvane::gtk::GtkBackend backend{corvane::gtk::WebPages{}};
  Program program{Ports{backend}, BuildSettings{page.Uri()}};
  corvane::gtk::FormWindow* window = nullptr;
  ComboBox* box = nullptr;
  WebBrowser* web = nullptr;
  int fillers = 0;

  bool Open() {
    program.Get<Form1>().Show();
    window = backend.Find("Form1");
    if (window == nullptr) {
      return false;
    }
    box = &window->GetComboBox("cboAddress");
    web = &window->GetWebBrowser("brwWebBrowser");
    return WaitUntil([&] {
      return web->LocationURL() == page.Uri() && !web->Busy() &&
             window->Caption().rfind("History bench", 0) == 0;
    });
  }

  // A full list of other addresses, with the page's own at the bottom or not at all.
  void Fill(bool pageAtBottom) {
    while (box->ListCount() > 0) {
      box->RemoveItem(0);
    }
    const int others = Form1::kMaxAddresses - (pageAtBottom ? 1 : 0);
    for (int i = 0; i < others; ++i) {
      box->AddItem(page.Neighbour(fillers++));
    }
    if (pageAtBottom) {
      box->AddItem(page.Uri());
    }
    Drain();
  }

  void Update() {
    Event done{.type = EventType::NavigateComplete2, .control = "brwWebBrowser", .text = page.Uri()};
    window->Raise(done);
  }

  [[nodiscard]] bool Sound() const {
    return box->ListCount() == Form1::kMaxAddresses && box->ListIndex() == 0 &&
           box->List(0) == page.Uri() && box->Text() == page.Uri();
  }

  // Times `updates` updates; `restore` puts the list back, untimed.
  Figures Run(int updates, const std::function<void()>& restore) {
    Figures f;
    for (int i = 0; i < updates; ++i) {
      const auto start = Clock::now();
      Update();
      const auto handled = Clock::now();
      Drain();
      const auto settled = Clock::now();
      if (!Sound()) {
        std::fprintf(stderr, "update %d did not leave the page's address on top of a full list\n", i);
        std::exit(1);
      }
      f.handler.push_back(Ms(handled - start));
      f.withDeferred.push_back(Ms(settled - start));
      restore();
    }
    return f;
  }
};

void Print(const char* name, const Figures& f) {
  std::printf("%-34s %9.3f %9.3f %12.3f %9.3f\n", name, Percentile(f.handler, 0.5),
              Percentile(f.handler, 0.9), Percentile(f.withDeferred, 0.5),
              Percentile(f.withDeferred, 0.9));
}

}  // namespace

int main(int argc, char** argv) {
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fputs("This benchmark needs an X display (run it through xvfb-run -a).\n", stderr);
    return 2;
  }
  const int updates = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  Bench bench;
  if (!bench.Open()) {
    std::fputs("the browser window did not load its page\n", stderr);
    return 1;
  }
  std::printf("History update on a full list (%d entries), real GTK combo box, %d updates per case\n",
              Form1::kMaxAddresses, updates);
  std::printf("%-34s %9s %9s %12s %9s\n", "ms per update", "median", "p90", "+GTK median", "p90");

  bench.Fill(true);
  const Figures bottom = bench.Run(updates, [&] {
    bench.box->RemoveItem(0);
    bench.box->AddItem(bench.page.Uri());
    Drain();
  });
  Print("address found at the bottom", bottom);

  bench.Fill(false);
  const Figures fresh = bench.Run(updates, [&] {
    bench.box->RemoveItem(0);
    bench.box->AddItem(bench.page.Neighbour(bench.fillers++));
    Drain();
  });
  Print("new address (oldest dropped)", fresh);
  std::printf("target: under 1 ms per update\n");

  // Opening the drop-down on the full list, until it is on the screen.
  GtkComboBox* combo = GTK_COMBO_BOX(bench.window->WidgetOf("cboAddress"));
  auto shown = [&] {
    gboolean up = FALSE;
    g_object_get(combo, "popup-shown", &up, nullptr);
    return up != FALSE;
  };
  const auto start = Clock::now();
  gtk_combo_box_popup(combo);
  if (!WaitUntil(shown)) {
    std::fputs("the drop-down list did not open\n", stderr);
    return 1;
  }
  Drain();
  std::printf("drop-down opened on the full list: %.1f ms\n", Ms(Clock::now() - start));
  gtk_combo_box_popdown(combo);
  Drain();
  return 0;
}
