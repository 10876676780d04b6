#include "platform/gtk/backend.h"

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/gtk/downloads.h"
#include "platform/gtk/guarded.h"
#include "platform/gtk/permissions.h"
#include "platform/gtk/window.h"

namespace corvane::gtk {

namespace {

// Compact widgets, so that buttons, the address box and the toolbar buttons
// fit the sizes they are designed with. The address box drops down a list
// rather than a menu: a menu holds one widget per entry, and at thousands of
// entries every change to the list would cost milliseconds.
constexpr const char* kStyle = R"css(
combobox.corvane-combo { -GtkComboBox-appears-as-list: true; }
button.corvane-command {
  padding: 0px 4px; min-height: 0px; min-width: 0px;
  font-family: Arial; font-size: 8.25pt;
}
combobox.corvane-combo entry {
  min-height: 0px; padding-top: 0px; padding-bottom: 0px;
  font-family: Arial; font-size: 8.25pt;
}
combobox.corvane-combo button { min-height: 0px; padding-top: 0px; padding-bottom: 0px; }
button.corvane-tool { padding: 2px; min-height: 0px; min-width: 0px; }
)css";

// The engine's network process serves every web context and ends only with
// the program, writing into the run's folder until then (what pages stored
// is flushed on its way out). Ended first, when the folder is to go, so that
// nothing comes back after it (the downloads are cancelled by then).
void EndNetworkProcess() {
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<std::string> ended;
  for (const auto& task : fs::directory_iterator("/proc/self/task", error)) {
    std::ifstream children(task.path() / "children");
    for (pid_t pid = 0; children >> pid;) {
      const std::string process = "/proc/" + std::to_string(pid);
      if (fs::read_symlink(process + "/exe", error).filename() == "WebKitNetworkProcess") {
        ::kill(pid, SIGKILL);
        ended.push_back(process);
      }
    }
  }
  // A process that has ended (a zombie included) has no executable.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (const std::string& process : ended) {
    while (fs::exists(process + "/exe", error) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
}

}  // namespace

// ---- units -----------------------------------------------------------------

double Units::ScreenDpi() {
  if (GdkScreen* screen = gdk_screen_get_default()) {
    const double resolution = gdk_screen_get_resolution(screen);
    if (resolution > 0) {
      return resolution;
    }
  }
  if (GdkDisplay* display = gdk_display_get_default()) {
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) {
      monitor = gdk_display_get_monitor(display, 0);
    }
    if (monitor != nullptr) {
      GdkRectangle geometry;
      gdk_monitor_get_geometry(monitor, &geometry);
      const int millimetres = gdk_monitor_get_width_mm(monitor);
      if (millimetres > 0 && geometry.width > 0) {
        return geometry.width * 25.4 / millimetres;
      }
    }
  }
  return 96.0;
}

// ---- backend ---------------------------------------------------------------

struct GtkBackend::PostedTask {
  GtkBackend* backend;
  std::function<void()> task;
  guint source;
};

GtkBackend::GtkBackend(WebPages pages)
    : pages_(std::move(pages)),
      units_(Units::ScreenDpi()),
      css_(gtk_css_provider_new()) {
  sandbox_.Start();
  gtk_css_provider_load_from_data(css_.get(), kStyle, -1, nullptr);
  if (GdkScreen* screen = gdk_screen_get_default()) {
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css_.get()),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  }
}

GtkBackend::~GtkBackend() {
  const std::set<guint> pending = std::exchange(posted_, {});
  for (const guint source : pending) {
    g_source_remove(source);  // frees the task
  }
  if (GdkScreen* screen = gdk_screen_get_default()) {
    gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(css_.get()));
  }
}

std::unique_ptr<NativeWindow> GtkBackend::MakeWindow(const WindowDesign& design, EventSink& sink) {
  auto window = std::make_unique<FormWindow>(*this, design, sink);
  if (warmUp_ && !warmUp_->Started()) {
    window->Connect(window->Toplevel(), "map-event", G_CALLBACK(&GtkBackend::OnFirstMapped), this);
  }
  return window;
}

void GtkBackend::Run() {
  if (quitRequested_) {
    return;
  }
  gtk_main();
}

void GtkBackend::Quit() {
  quitRequested_ = true;
  if (gtk_main_level() > 0) {
    gtk_main_quit();
  }
}

void GtkBackend::Post(std::function<void()> task) {
  auto posted = std::make_unique<PostedTask>(PostedTask{this, std::move(task), 0});
  PostedTask* raw = posted.get();
  // The main loop owns the task from here; FreePosted gives it back.
  raw->source = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, &GtkBackend::RunPosted, posted.release(),
                                &GtkBackend::FreePosted);
  posted_.insert(raw->source);
}

gboolean GtkBackend::RunPosted(gpointer data) {
  auto* posted = static_cast<PostedTask*>(data);
  posted->backend->posted_.erase(posted->source);
  Guarded([&] { posted->task(); });
  return G_SOURCE_REMOVE;
}

void GtkBackend::FreePosted(gpointer data) {
  const std::unique_ptr<PostedTask> owned(static_cast<PostedTask*>(data));
}

FormWindow* GtkBackend::Find(const std::string& name) const {
  auto it = live_.find(name);
  return it == live_.end() ? nullptr : it->second;
}

void GtkBackend::EndEngine() {
  warmUp_.reset();
  context_.reset();
  if (folder_ && !folder_->Path().empty()) {
    EndNetworkProcess();
    folder_->Remove();
  }
}

WebKitWebContext* GtkBackend::WebContext() {
  if (!context_) {
    folder_.emplace();
    context_ = MakeWebContext(sandbox_, folder_->Path());
    GuardDownloads(context_.get());
    GuardPermissions(context_.get());
  }
  return context_.get();
}

void GtkBackend::WarmUpEngine() {
  if (!warmUp_) {
    warmUp_ = std::make_unique<EngineWarmUp>([this] { return WebContext(); });
  }
}

gboolean GtkBackend::OnFirstMapped(GtkWidget* /*widget*/, GdkEvent* /*event*/, gpointer self) {
  Guarded([&] { static_cast<GtkBackend*>(self)->warmUp_->Start(); });
  return FALSE;
}

GtkWidget* GtkBackend::NewWebView() {
  GtkWidget* view = warmUp_ ? warmUp_->TakeView() : nullptr;
  return view != nullptr ? view : webkit_web_view_new_with_context(WebContext());
}

}  // namespace corvane::gtk
