// Find in the page with the engine's find controller: searches, steps from
// match to match (wrapping at either end) and raises the outcome as a
// FindResult event of the web view.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <string>

#include "platform/window.h"

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

 private:
  static void OnFound(WebKitFindController* controller, guint matches, gpointer self);
  static void OnFailed(WebKitFindController* controller, gpointer self);
  void Raise(bool found, std::int32_t matches);

  WebKitFindController* controller_;  // the view's own, lives as long as it
  std::string control_;
  std::function<void(Event&)> raise_;
  // The engine counts the matches of a new search only: the steps after it
  // report the count it gave.
  bool newSearch_ = false;
  std::int32_t counted_ = -1;
  gulong found_ = 0;
  gulong failed_ = 0;
};

}  // namespace corvane::gtk
