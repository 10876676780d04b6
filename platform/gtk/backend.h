// The GTK 3 backend: realises any window design table with GTK widgets and a
// WebKit web view (FormWindow, platform/gtk/window.h), and runs the GTK main
// loop.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/gtk/engine_warm_up.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/web_context.h"
#include "platform/posix/run_folder.h"
#include "platform/ports/window.h"
#include "platform/kit/window_rules.h"

namespace corvane::gtk {

// How the engine is set up for the web views. (Their pages and what typed
// text means are the page policy's, from the build's settings.)
struct WebPages {
  // The engine's stand-in camera and microphone instead of the machine's
  // (test builds only).
  bool mockCaptureDevices = false;
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
  // The one web context of all web views: its data in the run's own folder,
  // nothing kept between runs, its pages confined (platform/gtk/web_context.h).
  [[nodiscard]] WebKitWebContext* WebContext();
  // At the end of the program, once no web view is left: ends the web
  // context and the engine's network process (which serves every context
  // and lives as long as the program, writing into the run's folder), then
  // removes the run's folder. The folder goes with the backend in any case.
  void EndEngine();
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
  SandboxProbe sandbox_;  // asked when the context is made
  std::optional<RunFolder> folder_;  // made with the context, removed after it
  GObjectPtr<WebKitWebContext> context_;
  std::unique_ptr<EngineWarmUp> warmUp_;  // goes before the context
  std::map<std::string, FormWindow*> live_;
  // The frame the window manager last put around a decorated window: the
  // first guess for the next one, before its own frame is known.
  FrameExtents decoratedFrame_{};
  std::set<guint> posted_;
  bool quitRequested_ = false;
};

}  // namespace corvane::gtk
