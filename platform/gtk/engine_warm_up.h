// The engine's processes, started while the first window is on screen.
//
// Starting the page's web process takes most of the time of a first load.
// The warm-up makes a view of its own, not shown, on an empty page
// ("about:blank": nothing is asked of the network), so that the process is up
// when the first real web view is made. That view is a new one sharing the
// warm process (a related view): it has no history, no page and no signal of
// the warm-up's load; its own first load is the page it is asked for. The
// warm view itself is let go then.
//
// Used once. When the warm page has not loaded by the time the first web view
// is made (the warm-up is slow, its process failed or ended), the warm view
// is let go and that web view is made as without the warm-up.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>

#include "platform/gtk/gobject_ptr.h"

namespace corvane::gtk {

class EngineWarmUp {
 public:
  // `context` answers the web context to start; it is asked for only once
  // the warm-up begins, so that making the context does not hold up the
  // first window either.
  explicit EngineWarmUp(std::function<WebKitWebContext*()> context);
  ~EngineWarmUp();
  EngineWarmUp(const EngineWarmUp&) = delete;
  EngineWarmUp& operator=(const EngineWarmUp&) = delete;

  // Begins from the main loop, once pending drawing is done: the view is made
  // in one step and its load started in the next, so that a key that comes
  // meanwhile waits for one of them at most.
  void Start();
  [[nodiscard]] bool Started() const { return state_ != State::Idle; }
  // The warm page has loaded and its process is waiting for the first view.
  [[nodiscard]] bool Ready() const { return state_ == State::Ready; }

  // A new web view (floating) for the first page: sharing the warm process
  // when it is ready, else nullptr. Ends the warm-up either way.
  [[nodiscard]] GtkWidget* TakeView();

 private:
  enum class State { Idle, Making, Loading, Ready, Over };

  static gboolean OnMake(gpointer self);
  static gboolean OnLoad(gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent load, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent load, const gchar* uri,
                               GError* error, gpointer self);
  static void OnTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                           gpointer self);
  void Schedule(GSourceFunc step);
  void End();

  std::function<WebKitWebContext*()> context_;  // the backend's; outlives the warm-up
  GObjectPtr<GtkWidget> view_;
  guint source_ = 0;
  State state_ = State::Idle;
};

}  // namespace corvane::gtk
