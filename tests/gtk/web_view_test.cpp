// The WebKit adapter against a loopback server: notifications, busy state,
// page names, address fix-up, the web view's own pages, and printing.
#include <algorithm>
#include <functional>
#include <utility>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gtk/print.h"
#include "tests/gtk/gtk_fixture.h"
#include "tests/support/http_server.h"
#include "tests/support/page_policy.h"

namespace corvane::testing {
namespace {

WindowDesign ViewDesign() {
  WindowDesign w;
  w.name = "frmView";
  w.caption = "View";
  w.clientWidth = 9000;
  w.clientHeight = 6000;
  w.controls = {{.kind = ControlKind::WebBrowser, .name = "brwView", .left = 0, .top = 0,
                 .width = 9000, .height = 6000, .tabIndex = 0, .tabStop = true}};
  return w;
}

class WebView : public ::testing::Test {
 protected:
  LoopbackServer server;
  gtk::GtkBackend backend{gtk::WebPages{}};
  PolicyGiven policy{backend, server.Url("/home.html"), server.Url("/search.html")};
  RecordingSink sink;
  WindowDesign design = ViewDesign();
  std::unique_ptr<NativeWindow> window = [this] {
    auto made = backend.MakeWindow(design, sink);
    made->Show();
    return made;
  }();
  WebBrowser& view = window->GetWebBrowser("brwView");

  // Waits for the load to end with the given page name.
  bool Reached(const std::string& name) {
    return WaitUntil([&] { return !view.Busy() && view.LocationName() == name; });
  }
  [[nodiscard]] std::size_t Count(const std::string& entry) const {
    return static_cast<std::size_t>(std::count(sink.events.begin(), sink.events.end(), entry));
  }
};

TEST_F(WebView, ANavigationReportsItsAddressThenItsEndAndNamesThePage) {
  const std::string address = server.Url("/first.html");
  view.Navigate(address);
  ASSERT_TRUE(Reached("First Page"));
  EXPECT_EQ(view.LocationURL(), address);
  EXPECT_FALSE(view.Busy());
  const auto committed = std::find(sink.events.begin(), sink.events.end(),
                                   "NavigateComplete2 brwView " + address);
  ASSERT_NE(committed, sink.events.end());
  EXPECT_NE(std::find(committed, sink.events.end(), "DownloadComplete brwView"),
            sink.events.end());
  // The name the caption shows is there by the last DownloadComplete.
  ASSERT_TRUE(WaitUntil([&] { return sink.events.back() == "DownloadComplete brwView"; }));
}

TEST_F(WebView, TheViewIsBusyWhileASlowPageLoadsAndStopEndsIt) {
  view.Navigate(server.Url("/slow.html"));
  EXPECT_TRUE(view.Busy());
  ASSERT_TRUE(WaitUntil([&] { return server.Requests("/slow.html") > 0; }));
  EXPECT_TRUE(view.Busy());
  sink.events.clear();
  view.Stop();
  ASSERT_TRUE(WaitUntil([&] { return !view.Busy(); }));
  ASSERT_TRUE(WaitUntil([&] { return Count("DownloadComplete brwView") > 0; }));
  EXPECT_EQ(Count("NavigateComplete2 brwView " + server.Url("/slow.html")), 0U);
}

TEST_F(WebView, AStopRightAfterTheRequestStillEndsTheLoad) {
  // Before anything has started, and while another load is under way.
  for (const bool another : {false, true}) {
    SCOPED_TRACE(another ? "while another loads" : "from rest");
    if (another) {
      view.Navigate(server.Url("/slow.html?first"));
      ASSERT_TRUE(WaitUntil([&] { return server.Requests("/slow.html") > 0; }));
    }
    sink.events.clear();
    view.Navigate(server.Url("/slow.html?second"));
    view.Stop();
    EXPECT_TRUE(WaitUntil([&] { return !view.Busy(); }, 6s));
    EXPECT_TRUE(WaitUntil([&] { return Count("DownloadComplete brwView") > 0; }, 6s));
    // And the view still loads what is asked of it next.
    view.Navigate(server.Url("/first.html"));
    ASSERT_TRUE(Reached("First Page"));
  }
}

TEST_F(WebView, APageWithoutATitleIsNamedByItsAddress) {
  const std::string address = server.Url("/untitled.html");
  view.Navigate(address);
  ASSERT_TRUE(Reached(address));
  EXPECT_EQ(view.LocationURL(), address);
}

TEST_F(WebView, BareHostsWithPortsAreLoadedOverHttp) {
  const std::string port = std::to_string(server.Port());
  struct Case {
    std::string typed;
    std::string reached;
    std::string name;
  };
  for (const Case& c : {Case{"localhost:" + port + "/second.html",
                             "http://localhost:" + port + "/second.html", "Second Page"},
                        Case{"127.0.0.1:" + port + "/third.html",
                             "http://127.0.0.1:" + port + "/third.html", "Third Page"}}) {
    SCOPED_TRACE(c.typed);
    view.Navigate(c.typed);
    ASSERT_TRUE(Reached(c.name));
    EXPECT_EQ(view.LocationURL(), c.reached);
  }
}

TEST_F(WebView, AnUnreachableAddressEndsWithTheEnginesErrorPage) {
  // A port that was free a moment ago: nobody listens there.
  const std::string address = [] {
    LoopbackServer closed;
    return closed.Url("/gone.html");
  }();
  view.Navigate(address);
  ASSERT_TRUE(WaitUntil([&] { return Count("DownloadComplete brwView") > 0 && !view.Busy(); }));
  EXPECT_EQ(view.LocationURL(), address);
  EXPECT_FALSE(view.LocationName().empty());
}

TEST_F(WebView, BackForwardRefreshHomeAndSearchDoTheirWork) {
  view.Navigate(server.Url("/first.html"));
  ASSERT_TRUE(Reached("First Page"));
  view.Navigate(server.Url("/second.html"));
  ASSERT_TRUE(Reached("Second Page"));
  view.GoBack();
  ASSERT_TRUE(Reached("First Page"));
  view.GoForward();
  ASSERT_TRUE(Reached("Second Page"));
  const int before = server.Requests("/second.html");
  view.Refresh();
  ASSERT_TRUE(WaitUntil([&] { return server.Requests("/second.html") > before; }));
  ASSERT_TRUE(Reached("Second Page"));
  view.GoHome();
  ASSERT_TRUE(Reached("Home Page"));
  view.GoSearch();
  ASSERT_TRUE(Reached("Search Page"));
}

TEST_F(WebView, TheReportedAddressIsTheEnginesAtEveryNotificationAndAfterwards) {
  auto* widget = WEBKIT_WEB_VIEW(static_cast<gtk::FormWindow&>(*window).WidgetOf("brwView"));
  auto engine = [&] {
    const gchar* uri = webkit_web_view_get_uri(widget);
    return std::string(uri != nullptr ? uri : "");
  };
  int checks = 0;
  std::vector<std::string> mismatches;
  sink.react = [&](Event&) {
    ++checks;
    if (view.LocationURL() != engine()) {
      mismatches.push_back(view.LocationURL() + " != " + engine());
    }
  };
  // A redirect, a move inside the page (no load at all), another page.
  view.Navigate(server.Url("/moved.html"));
  ASSERT_TRUE(Reached("Second Page"));
  EXPECT_EQ(view.LocationURL(), server.Url("/second.html"));
  view.Navigate(server.Url("/second.html#part"));
  ASSERT_TRUE(WaitUntil([&] { return engine() == server.Url("/second.html#part"); }));
  EXPECT_EQ(view.LocationURL(), engine());
  view.Navigate(server.Url("/first.html"));
  ASSERT_TRUE(Reached("First Page"));
  EXPECT_EQ(view.LocationURL(), server.Url("/first.html"));
  EXPECT_GE(checks, 2);
  EXPECT_EQ(mismatches, std::vector<std::string>{});
}

// What the engine keeps is in the run's own folder (e2e.Permissions).
TEST_F(WebView, NothingIsKeptOnDisk) {
  EXPECT_FALSE(webkit_web_context_is_ephemeral(backend.WebContext()));
}

// ---- printing ----------------------------------------------------------------

// The text of a PDF file, as pdftotext reads it ("" when it cannot).
std::string PdfText(const std::filesystem::path& pdf) {
  const std::string command = "pdftotext -q '" + pdf.string() + "' - 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return {};
  }
  std::string text;
  char buffer[4096];
  for (std::size_t n = 0; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    text.append(buffer, n);
  }
  pclose(pipe);
  return text;
}

bool ShownWindowTitled(const std::string& title) {
  GList* windows = gtk_window_list_toplevels();
  bool found = false;
  for (GList* item = windows; item != nullptr; item = item->next) {
    const gchar* t = gtk_window_get_title(GTK_WINDOW(item->data));
    found = found || (t != nullptr && title == t &&
                      gtk_widget_get_visible(GTK_WIDGET(item->data)) != FALSE);
  }
  g_list_free(windows);
  return found;
}

// The page goes to the file the print settings name, unasked (the program
// asks with the print dialog first); a print that cannot be made is said.
TEST_F(WebView, PrintingPutsThePageIntoTheSettingsFileOrSaysWhyNot) {
  namespace fs = std::filesystem;
  server.Route("/print.html", [](int socket) {
    const std::string body =
        "<!DOCTYPE html><html><head><title>Printable</title></head><body>"
        "<h1>Quarterly Marmalade Report</h1><p>Apricots outsold quinces.</p></body></html>";
    LoopbackServer::Send(socket, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                     std::to_string(body.size()) +
                                     "\r\nConnection: close\r\n\r\n" + body);
  });
  view.Navigate(server.Url("/print.html"));
  ASSERT_TRUE(Reached("Printable"));
  auto* web = WEBKIT_WEB_VIEW(static_cast<gtk::FormWindow&>(*window).WidgetOf("brwView"));
  const fs::path folder = fs::temp_directory_path() / ("corvane-print-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const auto print = [&](const fs::path& pdf) {
    GtkPrintSettings* settings = gtk_print_settings_new();
    gtk_print_settings_set_printer(settings, "Print to File");
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
    gchar* uri = g_filename_to_uri(pdf.c_str(), nullptr, nullptr);
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, uri);
    g_free(uri);
    gtk::PrintPage(web, settings);
    g_object_unref(settings);
  };

  const fs::path pdf = folder / "page.pdf";
  print(pdf);
  std::string text;
  EXPECT_TRUE(WaitUntil([&] {
    text = fs::exists(pdf) ? PdfText(pdf) : "";
    return text.find("Apricots outsold quinces") != std::string::npos;
  }, 30s)) << text;
  EXPECT_NE(text.find("Quarterly Marmalade Report"), std::string::npos) << text;
  EXPECT_FALSE(ShownWindowTitled("Printing Failed"));

  // A folder that is not there: nothing is printed, and the user is told.
  const fs::path nowhere = folder / "missing" / "page.pdf";
  print(nowhere);
  EXPECT_TRUE(WaitUntil([] { return ShownWindowTitled("Printing Failed"); }, 30s));
  EXPECT_FALSE(fs::exists(nowhere));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace corvane::testing

namespace corvane::testing {
namespace {

// The engine's find controller behind Find: each search ends in one
// FindResult, with the matches it counted, or not found; a match found is
// on the screen.
TEST_F(WebView, FindReportsTheMatchesCountedOrThatThereIsNone) {
  server.Route("/words.html", [](int socket) {
    const std::string body =
        "<title>Words</title><p>apple banana Apple cherry apple</p>";
    LoopbackServer::Send(socket, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                     std::to_string(body.size()) +
                                     "\r\nConnection: close\r\n\r\n" + body);
  });
  view.Navigate(server.Url("/words.html"));
  ASSERT_TRUE(Reached("Words"));
  std::vector<std::pair<bool, std::int32_t>> results;
  sink.react = [&](Event& e) {
    if (e.type == EventType::FindResult) {
      results.emplace_back(e.found, e.matches);
    }
  };
  const struct {
    const char* what;
    std::function<void()> search;
    std::pair<bool, std::int32_t> result;
  } cases[] = {
      {"any case", [&] { view.Find("apple", false, false); }, {true, 3}},
      {"next", [&] { view.FindNext(); }, {true, 3}},
      {"match case, backwards", [&] { view.Find("Apple", true, true); }, {true, 1}},
      {"none", [&] { view.Find("zebra", false, false); }, {false, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    results.clear();
    c.search();
    ASSERT_TRUE(WaitUntil([&] { return !results.empty(); }));
    EXPECT_EQ(results.front(), c.result);
    // The match is somewhere on the screen when there is one.
    EXPECT_EQ(view.MatchArea().has_value(), c.result.first);
  }
  view.FindFinish();
  sink.react = nullptr;
}

}  // namespace
}  // namespace corvane::testing
