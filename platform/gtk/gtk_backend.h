// The GTK 3 backend: realises any window design table with GTK widgets and a
// WebKit web view, and runs the GTK main loop.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/gtk/engine_warm_up.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/window.h"
#include "platform/window_rules.h"

namespace corvane::gtk {

// The web view's own pages, fixed when the program is built.
struct WebPages {
  std::string home;
  std::string search;
  // Where words typed into the address box are searched: "%s" stands for
  // the escaped words.
  std::string query = "https://duckduckgo.com/html/?q=%s";
};

// Twips <-> pixels at one resolution.
class Units {
 public:
  explicit Units(double dotsPerInch) : twipsPerPixel_(1440.0 / dotsPerInch) {}
  [[nodiscard]] int Px(float twips) const {
    return PixelsOf(static_cast<double>(twips), twipsPerPixel_);
  }
  [[nodiscard]] float Twips(int px) const {
    return static_cast<float>(static_cast<double>(px) * twipsPerPixel_);
  }
  [[nodiscard]] double TwipsPerPixel() const { return twipsPerPixel_; }

  // The resolution of the default screen: the font resolution GTK renders
  // text with, else the monitor's physical size, else 96.
  static double ScreenDpi();

 private:
  double twipsPerPixel_;
};

class FormWindow;

class GtkBackend final : public Backend {
 public:
  // GTK must be initialised before.
  explicit GtkBackend(WebPages pages);
  ~GtkBackend() override;

  std::unique_ptr<NativeWindow> MakeWindow(const WindowDesign& design, EventSink& sink) override;
  void Run() override;
  void Quit() override;
  void Post(std::function<void()> task) override;

  // The live window of a class, or nullptr.
  [[nodiscard]] FormWindow* Find(const std::string& name) const;
  [[nodiscard]] const Units& TheUnits() const { return units_; }
  [[nodiscard]] const WebPages& Pages() const { return pages_; }
  // The one web context of all web views: ephemeral, nothing kept on disk.
  [[nodiscard]] WebKitWebContext* WebContext();
  // Starts the engine's processes as soon as the first window made from
  // here on is on screen, for the first web view to use (EngineWarmUp).
  void WarmUpEngine();
  // The warm-up's page has loaded and waits for the first web view.
  [[nodiscard]] bool EngineWarm() const { return warmUp_ && warmUp_->Ready(); }
  // A new web view on the web context (floating); the first one shares the
  // warm-up's process when that is ready.
  [[nodiscard]] GtkWidget* NewWebView();
  [[nodiscard]] bool QuitRequested() const { return quitRequested_; }
  [[nodiscard]] std::size_t PendingTasks() const { return posted_.size(); }

 private:
  friend class FormWindow;
  struct PostedTask;
  static gboolean RunPosted(gpointer data);
  static void FreePosted(gpointer data);
  static gboolean OnFirstMapped(GtkWidget* widget, GdkEvent* event, gpointer self);

  WebPages pages_;
  Units units_;
  GObjectPtr<GtkCssProvider> css_;
  GObjectPtr<WebKitWebContext> context_;
  std::unique_ptr<EngineWarmUp> warmUp_;  // goes before the context
  std::map<std::string, FormWindow*> live_;
  std::set<guint> posted_;
  bool quitRequested_ = false;
};

// One realised window. Its widgets live until the object is destroyed; the
// forms runtime does that from the main loop, never inside a handler.
class FormWindow final : public NativeWindow {
 public:
  FormWindow(GtkBackend& backend, const WindowDesign& design, EventSink& sink);
  ~FormWindow() override;

  [[nodiscard]] std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override;
  void Show() override;
  void Hide() override;
  [[nodiscard]] bool Visible() const override { return visible_; }
  [[nodiscard]] float ScaleWidth() const override;
  [[nodiscard]] float ScaleHeight() const override;

  [[nodiscard]] Control& GetControl(const std::string& name, std::int16_t index = -1) override;
  [[nodiscard]] Label& GetLabel(const std::string& name, std::int16_t index = -1) override;
  [[nodiscard]] ComboBox& GetComboBox(const std::string& name) override;
  [[nodiscard]] Timer& GetTimer(const std::string& name) override;
  [[nodiscard]] Toolbar& GetToolbar(const std::string& name) override;
  [[nodiscard]] WebBrowser& GetWebBrowser(const std::string& name) override;

  [[nodiscard]] GtkWindow* Toplevel() const { return GTK_WINDOW(toplevel_); }
  // The client area: every control's coordinates count from its corner.
  [[nodiscard]] GtkWidget* ClientArea() const { return client_; }
  // The widget that realises a control (its outer widget), or nullptr.
  [[nodiscard]] GtkWidget* WidgetOf(const std::string& name, std::int16_t index = -1) const;
  [[nodiscard]] const WindowDesign& Design() const { return design_; }
  [[nodiscard]] const Units& TheUnits() const { return backend_.TheUnits(); }
  [[nodiscard]] GtkBackend& Backend() const { return backend_; }

  // Used by the controls.
  void Raise(Event& event);
  void Connect(gpointer instance, const char* signal, GCallback callback, gpointer data);
  [[nodiscard]] GtkWidget* ContainerFor(const ControlDesign& control) const;
  void AddContainer(const std::string& name, GtkWidget* layout);

 private:
  static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean OnMapped(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static void OnSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);
  static gboolean OnRelayout(gpointer self);

  bool HandleKey(const GdkEventKey& event);
  [[nodiscard]] KeyRouting Routing();
  [[nodiscard]] bool CanFocus(const ControlDesign& control) const;
  void FocusControl(const ControlDesign& control);
  void FocusFirst();
  [[nodiscard]] const ControlDesign* FocusedControl() const;
  void HandleClick(double rootX, double rootY);
  void Relayout();
  void Place();

  GtkBackend& backend_;
  const WindowDesign& design_;
  EventSink& sink_;
  std::string caption_;
  GtkWidget* toplevel_ = nullptr;  // owned; destroyed with the window
  GtkWidget* client_ = nullptr;
  std::map<std::string, GtkWidget*> containers_;
  std::map<std::pair<std::string, std::int16_t>, std::unique_ptr<Control>> controls_;
  std::map<std::string, std::unique_ptr<Timer>> timers_;
  std::vector<std::pair<GObjectPtr<GObject>, gulong>> connections_;
  int clientWidth_;   // pixels, as last laid out
  int clientHeight_;
  int allocatedWidth_ = -1;
  int allocatedHeight_ = -1;
  guint relayoutSource_ = 0;
  bool visible_ = false;
  bool shown_ = false;
};

}  // namespace corvane::gtk
