// Find in the page with the engine's find controller: searches, steps from
// match to match (wrapping at either end) and raises the outcome as a
// FindResult event of the web view, once it knows where the match is.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/gtk/gobject_ptr.h"
#include "platform/ports/window.h"


namespace corvane::gtk {

class PageFinder {
 public:
  // `raise` takes the FindResult events; `control` names the web view.
  PageFinder(WebKitWebView* view, std::string control, std::function<void(Event&)> raise);
  ~PageFinder();
  PageFinder(const PageFinder&) = delete;
  PageFinder& operator=(const PageFinder&) = delete;

  void Find(const std::string& text, bool matchCase, bool backwards);
  void Next();
  void Previous();
  void Finish();
  // Where the match the last FindResult reported is, in the view's own
  // pixels (the part inside the view), or none.
  [[nodiscard]] const std::optional<Rect>& Match() const { return match_; }

 private:
  static void OnFound(WebKitFindController* controller, guint matches, gpointer self);
  static void OnFailed(WebKitFindController* controller, gpointer self);
  static void OnMatchArea(GObject* view, GAsyncResult* result, gpointer number);
  // Asks the page where its selection (the match) is, then raises.
  void AskWhere();
  void Raise(bool found, std::int32_t matches);
  // Answers still to come for an earlier match are dropped.
  void Forget();

  WebKitWebView* view_;
  WebKitFindController* controller_;  // the view's own, lives as long as it
  std::string control_;
  std::function<void(Event&)> raise_;
  // The engine counts the matches of a new search only: the steps after it
  // report the count it gave.
  bool newSearch_ = false;
  std::int32_t counted_ = -1;
  gulong found_ = 0;
  gulong failed_ = 0;
  std::optional<Rect> match_;
  guint asked_ = 0;  // the number of the last question about the match
  GObjectPtr<GCancellable> asking_;
};

}  // namespace corvane::gtk
