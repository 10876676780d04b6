// Printing the real web view's page: to a PDF file with print settings that
// name it (no dialog), read back with pdftotext; and a print that cannot be
// made is said in a message box.
#include <glib/gstdio.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/gtk/print.h"
#include "tests/gtk/gtk_fixture.h"

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

// The text of a PDF file, as pdftotext reads it ("" when it cannot).
std::string PdfText(const fs::path& pdf) {
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

bool WindowTitled(const std::string& title) {
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

TEST(Printing, ThePageGoesToThePrintSettingsFileOrTheFailureIsSaid) {
  LoopbackServer server;
  server.Route("/print.html", [](int socket) {
    const std::string body =
        "<!DOCTYPE html><html><head><title>Printable</title></head><body>"
        "<h1>Quarterly Marmalade Report</h1><p>Apricots outsold quinces.</p></body></html>";
    LoopbackServer::Send(socket, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                     std::to_string(body.size()) +
                                     "\r\nConnection: close\r\n\r\n" + body);
  });
  gtk::GtkBackend backend{gtk::WebPages{server.Url("/home.html"), server.Url("/search.html")}};
  RecordingSink sink;
  WindowDesign design;
  design.name = "frmView";
  design.caption = "View";
  design.clientWidth = 9000;
  design.clientHeight = 6000;
  design.controls = {{.kind = ControlKind::WebBrowser, .name = "brwView", .left = 0, .top = 0,
                      .width = 9000, .height = 6000, .tabIndex = 0, .tabStop = true}};
  auto window = backend.MakeWindow(design, sink);
  window->Show();
  WebBrowser& view = window->GetWebBrowser("brwView");
  view.Navigate(server.Url("/print.html"));
  ASSERT_TRUE(WaitUntil([&] { return !view.Busy() && view.LocationName() == "Printable"; }));
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
  EXPECT_FALSE(WindowTitled("Printing Failed"));

  // A folder that is not there: nothing is printed, and the user is told.
  const fs::path nowhere = folder / "missing" / "page.pdf";
  print(nowhere);
  EXPECT_TRUE(WaitUntil([] { return WindowTitled("Printing Failed"); }, 30s));
  EXPECT_FALSE(fs::exists(nowhere));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace corvane::testing
