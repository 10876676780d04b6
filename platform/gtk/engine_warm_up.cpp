#include "platform/gtk/engine_warm_up.h"

#include <utility>

namespace corvane::gtk {

EngineWarmUp::EngineWarmUp(std::function<WebKitWebContext*()> context)
    : context_(std::move(context)) {}

EngineWarmUp::~EngineWarmUp() { End(); }

void EngineWarmUp::Start() {
  if (state_ != State::Idle) {
    return;
  }
  state_ = State::Making;
  Schedule(&EngineWarmUp::OnMake);
}

// Low priority: the window that was just shown is drawn first.
void EngineWarmUp::Schedule(GSourceFunc step) {
  source_ = g_idle_add_full(G_PRIORITY_LOW, step, this, nullptr);
}

gboolean EngineWarmUp::OnMake(gpointer self) {
  auto* warm = static_cast<EngineWarmUp*>(self);
  warm->source_ = 0;
  try {
    GtkWidget* view = webkit_web_view_new_with_context(warm->context_());
    warm->view_ = GObjectPtr<GtkWidget>(GTK_WIDGET(g_object_ref_sink(view)));
  } catch (...) {
    warm->End();  // the first view starts the engine itself
    return G_SOURCE_REMOVE;
  }
  GtkWidget* view = warm->view_.get();
  g_signal_connect(view, "load-changed", G_CALLBACK(&EngineWarmUp::OnLoadChanged), warm);
  g_signal_connect(view, "load-failed", G_CALLBACK(&EngineWarmUp::OnLoadFailed), warm);
  g_signal_connect(view, "web-process-terminated", G_CALLBACK(&EngineWarmUp::OnTerminated), warm);
  warm->state_ = State::Loading;
  warm->Schedule(&EngineWarmUp::OnLoad);
  return G_SOURCE_REMOVE;
}

gboolean EngineWarmUp::OnLoad(gpointer self) {
  auto* warm = static_cast<EngineWarmUp*>(self);
  warm->source_ = 0;
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(warm->view_.get()), "about:blank");
  return G_SOURCE_REMOVE;
}

void EngineWarmUp::OnLoadChanged(WebKitWebView* /*view*/, WebKitLoadEvent load, gpointer self) {
  auto* warm = static_cast<EngineWarmUp*>(self);
  if (load == WEBKIT_LOAD_FINISHED && warm->state_ == State::Loading) {
    warm->state_ = State::Ready;
  }
}

// A warm-up that fails leaves the first view to start as without it.
gboolean EngineWarmUp::OnLoadFailed(WebKitWebView* /*view*/, WebKitLoadEvent /*load*/,
                                    const gchar* /*uri*/, GError* /*error*/, gpointer self) {
  static_cast<EngineWarmUp*>(self)->state_ = State::Over;
  return TRUE;  // nobody sees the empty page
}

void EngineWarmUp::OnTerminated(WebKitWebView* /*view*/,
                                WebKitWebProcessTerminationReason /*reason*/, gpointer self) {
  static_cast<EngineWarmUp*>(self)->state_ = State::Over;
}

GtkWidget* EngineWarmUp::TakeView() {
  GtkWidget* view = nullptr;
  if (state_ == State::Ready) {
    view = webkit_web_view_new_with_related_view(WEBKIT_WEB_VIEW(view_.get()));
  }
  End();
  return view;
}

void EngineWarmUp::End() {
  state_ = State::Over;
  if (source_ != 0) {
    g_source_remove(std::exchange(source_, 0U));
  }
  if (view_) {
    g_signal_handlers_disconnect_by_data(view_.get(), this);
    view_.reset();
  }
}

}  // namespace corvane::gtk
