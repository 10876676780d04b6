// The conformance cases on the GTK backend, on a private X server
// (tests/x_run.sh), with real input through XTEST.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/gtk/window.h"
#include "platform/kit/download_names.h"
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

// The dialog shown over the program's windows (a question box or a save
// dialog), if any.
GtkDialog* ShownDialog() {
  GList* windows = gtk_window_list_toplevels();
  GtkDialog* found = nullptr;
  for (GList* w = windows; w != nullptr && found == nullptr; w = w->next) {
    if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)) != FALSE) {
      found = GTK_DIALOG(w->data);
    }
  }
  g_list_free(windows);
  return found;
}

// The button in `widget` labelled `label` once its mnemonic is unmarked.
GtkButton* ButtonIn(GtkWidget* widget, const std::string& label) {
  if (GTK_IS_BUTTON(widget)) {
    const gchar* text = gtk_button_get_label(GTK_BUTTON(widget));
    std::string shown = text != nullptr ? text : "";
    std::erase(shown, '_');
    if (shown == label) {
      return GTK_BUTTON(widget);
    }
  }
  if (!GTK_IS_CONTAINER(widget)) {
    return nullptr;
  }
  struct Search {
    const std::string& label;
    GtkButton* found = nullptr;
  } search{label};
  gtk_container_forall(
      GTK_CONTAINER(widget),
      [](GtkWidget* child, gpointer data) {
        auto* s = static_cast<Search*>(data);
        if (s->found == nullptr) {
          s->found = ButtonIn(child, s->label);
        }
      },
      &search);
  return search.found;
}

class GtkDriver final : public Driver {
 public:
  Backend& TheBackend() override { return backend_; }

  std::unique_ptr<NativeWindow> Open(const WindowDesign& design, EventSink& sink) override {
    auto window = backend_.MakeWindow(design, sink);
    // The engine drops a window a page opens by itself before the web view
    // hears of it: here it lets it through, so the web view reports it to
    // the page policy as a request without the user.
    for (const ControlDesign& c : design.controls) {
      GtkWidget* view = Form(*window).WidgetOf(c.name, c.index);
      if (view != nullptr && WEBKIT_IS_WEB_VIEW(view)) {
        webkit_settings_set_javascript_can_open_windows_automatically(
            webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view)), TRUE);
      }
    }
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
  std::string PageAt(const std::string& path) override { return server_.Url(path); }
  int Requests(const std::string& path) override { return server_.Requests(path); }
  // As the view ends a page that is stopped.
  void EndPageProcess(NativeWindow& window, const std::string& view) override {
    GtkWidget* widget = Form(window).WidgetOf(view);
    ASSERT_TRUE(widget != nullptr && WEBKIT_IS_WEB_VIEW(widget));
    webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(widget));
  }
  std::optional<Shown> Question() override {
    GtkDialog* dialog = ShownDialog();
    if (dialog == nullptr) {
      return std::nullopt;
    }
    const gchar* title = gtk_window_get_title(GTK_WINDOW(dialog));
    Shown shown{title != nullptr ? title : "", {}};
    if (GTK_IS_MESSAGE_DIALOG(dialog)) {
      gchar* text = nullptr;
      g_object_get(dialog, "text", &text, nullptr);
      shown.text = text != nullptr ? text : "";
      g_free(text);
    }
    return shown;
  }
  bool Answer(const std::string& button) override {
    GtkDialog* dialog = ShownDialog();
    GtkButton* pressed = dialog != nullptr ? ButtonIn(GTK_WIDGET(dialog), button) : nullptr;
    if (pressed == nullptr) {
      return false;
    }
    gtk_button_clicked(pressed);
    Settle();
    return true;
  }
  std::vector<std::string> DownloadFolder() override {
    const char* home = g_get_home_dir();
    const std::string folder = DownloadsFolder(g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD),
                                               home != nullptr ? home : "");
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
      names.push_back(entry.path().string());
    }
    return names;
  }
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
