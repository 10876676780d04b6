// Shared pieces of the in-process GTK tests: pumping the main loop until a
// condition holds, real input through XTEST, and a sink that records events.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "program/browser_program.h"
#include "platform/gtk/window.h"
#include "tests/support/http_server.h"
#include "tests/support/page_policy.h"
#include "tests/support/x_driver.h"

namespace corvane::testing {

using namespace std::chrono_literals;

// Runs the GTK main loop until `condition` holds or `timeout` passes.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = 15s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    if (g_main_context_iteration(nullptr, FALSE) == FALSE) {
      std::this_thread::sleep_for(1ms);
    }
  }
  return true;
}

// Lets every X event sent so far reach GTK and be handled: a round trip to
// the X server from both connections, then the pending work of the loop.
inline void Settle(XDriver& x) {
  x.Sync();
  gdk_display_sync(gdk_display_get_default());
  for (int i = 0; i < 3; ++i) {
    while (g_main_context_iteration(nullptr, FALSE) != FALSE) {
    }
    gdk_display_sync(gdk_display_get_default());
  }
}

// The X window of a realised GTK window.
XWindow XidOf(GtkWindow* window);

// Waits until the window is on the screen, then gives it the keyboard.
inline bool ShowAndFocus(XDriver& x, GtkWindow* window) {
  if (!WaitUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(window)) != FALSE; })) {
    return false;
  }
  Settle(x);
  x.Focus(XidOf(window));
  return WaitUntil([&] { return gtk_window_is_active(window) != FALSE; });
}

// A widget's top-left corner on the screen.
inline std::pair<int, int> ScreenPoint(GtkWidget* widget, int dx = 0, int dy = 0) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  int x = 0;
  int y = 0;
  gtk_widget_translate_coordinates(widget, top, dx, dy, &x, &y);
  int originX = 0;
  int originY = 0;
  gdk_window_get_origin(gtk_widget_get_window(top), &originX, &originY);
  return {originX + x, originY + y};
}

// Records every event as text ("Click cmdOK", "KeyPress :97",
// "KeyPress cboName:13", "ButtonClick tbTools:Back", "Resize", ...).
class RecordingSink final : public EventSink {
 public:
  void Raise(Event& event) override {
    if (event.type == EventType::KeyDown && !keyDowns) {
      if (react) {
        react(event);
      }
      return;
    }
    std::string entry = Name(event.type);
    if (!event.control.empty() || event.keyAscii != nullptr || event.button != nullptr) {
      entry += " " + event.control;
    }
    if (event.index >= 0) {
      entry += "(" + std::to_string(event.index) + ")";
    }
    if (event.keyAscii != nullptr) {
      entry += ":" + std::to_string(*event.keyAscii);
    }
    if (event.keyCode != nullptr) {
      entry += " " + std::to_string(*event.keyCode) + "/" + std::to_string(event.shift);
    }
    if (event.button != nullptr) {
      entry += ":" + event.button->Key();
    }
    if (!event.text.empty()) {
      entry += " " + event.text;
    }
    events.push_back(entry);
    if (react) {
      react(event);
    }
  }
  [[nodiscard]] bool Saw(const std::string& entry) const {
    for (const std::string& e : events) {
      if (e == entry) {
        return true;
      }
    }
    return false;
  }

  std::vector<std::string> events;
  std::function<void(Event&)> react;
  bool keyDowns = false;  // KeyDown events are recorded too

 private:
  static std::string Name(EventType type) {
    switch (type) {
      case EventType::Resize: return "Resize";
      case EventType::KeyPress: return "KeyPress";
      case EventType::KeyDown: return "KeyDown";
      case EventType::Click: return "Click";
      case EventType::ButtonClick: return "ButtonClick";
      case EventType::Timer: return "Timer";
      case EventType::DownloadComplete: return "DownloadComplete";
      case EventType::NavigateComplete2: return "NavigateComplete2";
      case EventType::Close: return "Close";
      case EventType::FindResult: return "FindResult";
    }
    return "?";
  }
};

// One backend and one X input connection per test.
class GtkTest : public ::testing::Test {
 protected:
  gtk::GtkBackend backend{gtk::WebPages{}};
  PolicyGiven policy{backend, "127.0.0.1:1/home", "127.0.0.1:1/search"};
  XDriver x;
  RecordingSink sink;
  [[nodiscard]] const gtk::Units& Units() const { return backend.TheUnits(); }
};

// The whole program on the GTK backend against a loopback server, started
// and past its splash: the browser window shown, focused and at its first page.
class LiveBrowser : public ::testing::Test {
 protected:
  LoopbackServer server;
  gtk::GtkBackend backend{gtk::WebPages{}};
  XDriver x;
  BrowserProgram program{Ports{backend}, BuildSettings{server.Url("/first.html"),
                                                       server.Url("/home.html"),
                                                       server.Url("/search.html")}};

  // Starts the program, dismisses the splash with a letter and waits for the
  // first page's title; nullptr when any step does not happen.
  gtk::FormWindow* OpenBrowser() {
    program.Start();
    if (!WaitUntil([&] { return backend.Find("frmSplash") != nullptr; }) ||
        !ShowAndFocus(x, backend.Find("frmSplash")->Toplevel())) {
      return nullptr;
    }
    x.Key("b");
    if (!WaitUntil([&] { return backend.Find("Form1") != nullptr; })) {
      return nullptr;
    }
    gtk::FormWindow* browser = backend.Find("Form1");
    if (!ShowAndFocus(x, browser->Toplevel()) ||
        !WaitUntil([&] {
          return browser->Caption() == "First Page - Corvane Ombrel - Varnhollow Software";
        })) {
      return nullptr;
    }
    return browser;
  }

  // Puts `address` into the address box and presses Enter there.
  void Enter(gtk::FormWindow& browser, const std::string& address) {
    browser.GetComboBox("cboAddress").SetText(address);
    x.Focus(XidOf(browser.Toplevel()));
    x.Key("a", {"Alt_L"});  // into the address box
    x.Key("Return");
  }
};

}  // namespace corvane::testing
