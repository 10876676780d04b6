// The conformance cases on the GTK backend, on a private X server
// (tests/x_run.sh), with real input through XTEST.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/gtk/window.h"
#include "tests/conformance/driver.h"
#include "tests/support/http_server.h"
#include "tests/support/page_policy.h"
#include "tests/support/x_driver.h"

// After GoogleTest: the X headers define macros such as None and Bool.
#include <gdk/gdkx.h>

namespace corvane::conformance {
namespace {

using namespace std::chrono_literals;

bool Loop(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15s) {
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

GtkWidget* FirstFocusable(GtkWidget* widget) {
  if (widget == nullptr || gtk_widget_get_can_focus(widget) != FALSE || !GTK_IS_CONTAINER(widget)) {
    return widget;
  }
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget* found = nullptr;
  for (GList* child = children; child != nullptr && found == nullptr; child = child->next) {
    GtkWidget* candidate = FirstFocusable(static_cast<GtkWidget*>(child->data));
    if (candidate != nullptr && gtk_widget_get_can_focus(candidate) != FALSE) {
      found = candidate;
    }
  }
  g_list_free(children);
  return found != nullptr ? found : widget;
}

class GtkDriver final : public Driver {
 public:
  Backend& TheBackend() override { return backend_; }

  std::unique_ptr<NativeWindow> Open(const WindowDesign& design, EventSink& sink) override {
    auto window = backend_.MakeWindow(design, sink);
    window->Show();
    GtkWindow* top = Form(*window).Toplevel();
    EXPECT_TRUE(Loop([&] { return gtk_widget_get_mapped(GTK_WIDGET(top)) != FALSE; }));
    Settle();
    x_.Focus(gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(top))));
    EXPECT_TRUE(Loop([&] { return gtk_window_is_active(top) != FALSE; }));
    Settle();
    return window;
  }

  void Press(NativeWindow& /*window*/, const Stroke& stroke) override {
    std::vector<std::string> held;
    if (stroke.alt) {
      held.emplace_back("Alt_L");
    }
    if (stroke.shift) {
      held.emplace_back("Shift_L");
    }
    switch (stroke.key) {
      case Stroke::Key::Enter:
        x_.Key("Return", held);
        break;
      case Stroke::Key::Escape:
        x_.Key("Escape", held);
        break;
      case Stroke::Key::Tab:
        x_.Key("Tab", held);
        break;
      case Stroke::Key::F5:
        x_.Key("F5", held);
        break;
      case Stroke::Key::Space:
        x_.Key("space", held);
        break;
      case Stroke::Key::Left:
        x_.Key("Left", held);
        break;
      case Stroke::Key::Shift:
        x_.Key("Shift_L");
        break;
      case Stroke::Key::Letter:
        x_.Key(std::string(1, stroke.letter), held);
        break;
    }
  }

  void ClickAt(NativeWindow& window, float x, float y) override {
    gtk::FormWindow& form = Form(window);
    GdkWindow* area = gtk_layout_get_bin_window(GTK_LAYOUT(form.ClientArea()));
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(area, &originX, &originY);
    x_.Click(originX + form.TheUnits().Px(x), originY + form.TheUnits().Px(y));
  }

  void Focus(NativeWindow& window, const std::string& name) override {
    GtkWidget* widget = Form(window).WidgetOf(name);
    if (widget != nullptr && GTK_IS_COMBO_BOX(widget)) {
      widget = gtk_bin_get_child(GTK_BIN(widget));
    }
    // A control made of widgets (the toolbar): its first that takes the keyboard.
    widget = FirstFocusable(widget);
    if (widget != nullptr) {
      gtk_widget_grab_focus(widget);
    }
  }

  std::string Focused(NativeWindow& window) override {
    gtk::FormWindow& form = Form(window);
    GtkWidget* focus = gtk_window_get_focus(form.Toplevel());
    if (focus == nullptr) {
      return {};
    }
    for (const ControlDesign& c : form.Design().controls) {
      GtkWidget* widget = form.WidgetOf(c.name, c.index);
      const bool container = c.kind == ControlKind::Frame || c.kind == ControlKind::PictureBox;
      if (widget != nullptr &&
          (focus == widget || (!container && gtk_widget_is_ancestor(focus, widget) != FALSE))) {
        return c.name;
      }
    }
    return "?";
  }

  void Settle() override {
    x_.Sync();
    gdk_display_sync(gdk_display_get_default());
    for (int i = 0; i < 3; ++i) {
      while (g_main_context_iteration(nullptr, FALSE) != FALSE) {
      }
      gdk_display_sync(gdk_display_get_default());
    }
  }

  bool TimePasses(NativeWindow& /*window*/, const std::function<bool()>& condition) override {
    return Loop(condition);
  }

  std::optional<TextFit> Fit(NativeWindow& window, const std::string& label) override {
    GtkWidget* widget = Form(window).WidgetOf(label);
    if (widget == nullptr || !GTK_IS_LABEL(widget) ||
        !Loop([&] { return gtk_widget_get_allocated_width(widget) > 1; })) {
      return std::nullopt;
    }
    Settle();
    TextFit fit;
    pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(widget)), &fit.textWidth,
                                &fit.textHeight);
    // The label's designed rectangle: GTK may allocate it more, and its
    // container then cuts the text.
    const Label& control = window.GetLabel(label);
    fit.width = Form(window).TheUnits().Px(control.Width());
    fit.height = Form(window).TheUnits().Px(control.Height());
    return fit;
  }

  [[nodiscard]] std::string Cannot(Need /*need*/) const override { return {}; }
  std::string PageAddress() override { return server_.Url("/first.html"); }
  // A loopback port nobody listens on (it was free a moment ago): the
  // engine refuses the ports kept for other services, such as 9.
  std::string RefusedAddress() override {
    return "http://127.0.0.1:" + std::to_string(testing::ClosedPort()) + "/refused";
  }

 private:
  static gtk::FormWindow& Form(NativeWindow& window) {
    return static_cast<gtk::FormWindow&>(window);
  }

  testing::LoopbackServer server_;
  gtk::GtkBackend backend_{gtk::WebPages{}};
  testing::PolicyGiven policy_{backend_, server_.Url("/home.html"), server_.Url("/search.html")};
  testing::XDriver x_;
};

}  // namespace

std::unique_ptr<Driver> MakeDriver() { return std::make_unique<GtkDriver>(); }

}  // namespace corvane::conformance

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fputs("These tests need an X display (run them through tests/x_run.sh).\n", stderr);
    return 1;
  }
  return RUN_ALL_TESTS();
}
