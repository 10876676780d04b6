#include "platform/gtk/find_in_page.h"

#include <utility>

#include "platform/window_rules.h"

namespace corvane::gtk {

namespace {

// The most matches counted; past that the count is not shown.
constexpr guint kMostCounted = 1000;

}  // namespace

PageFinder::PageFinder(WebKitWebView* view, std::string control,
                       std::function<void(Event&)> raise)
    : controller_(webkit_web_view_get_find_controller(view)), control_(std::move(control)),
      raise_(std::move(raise)) {
  found_ = g_signal_connect(controller_, "found-text", G_CALLBACK(&PageFinder::OnFound), this);
  failed_ =
      g_signal_connect(controller_, "failed-to-find-text", G_CALLBACK(&PageFinder::OnFailed), this);
}

PageFinder::~PageFinder() {
  g_signal_handler_disconnect(controller_, found_);
  g_signal_handler_disconnect(controller_, failed_);
}

void PageFinder::Find(const std::string& text, bool matchCase, bool backwards) {
  guint32 options = WEBKIT_FIND_OPTIONS_WRAP_AROUND;
  if (!matchCase) {
    options |= WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE;
  }
  if (backwards) {
    options |= WEBKIT_FIND_OPTIONS_BACKWARDS;
  }
  // The engine selects the match and scrolls it into view; found-text
  // carries the matches it counted.
  newSearch_ = true;
  counted_ = -1;
  webkit_find_controller_search(controller_, ValidUtf8(text).c_str(), options, kMostCounted);
}

void PageFinder::Next() { webkit_find_controller_search_next(controller_); }

void PageFinder::Previous() { webkit_find_controller_search_previous(controller_); }

void PageFinder::Finish() { webkit_find_controller_search_finish(controller_); }

void PageFinder::Raise(bool found, std::int32_t matches) {
  Event result{.type = EventType::FindResult, .control = control_, .found = found,
               .matches = matches};
  raise_(result);
}

void PageFinder::OnFound(WebKitFindController* /*controller*/, guint matches, gpointer self) {
  try {
    auto* finder = static_cast<PageFinder*>(self);
    if (finder->newSearch_) {
      finder->newSearch_ = false;
      finder->counted_ = matches > kMostCounted ? -1 : static_cast<std::int32_t>(matches);
    }
    finder->Raise(true, finder->counted_);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

void PageFinder::OnFailed(WebKitFindController* /*controller*/, gpointer self) {
  try {
    auto* finder = static_cast<PageFinder*>(self);
    finder->newSearch_ = false;
    finder->counted_ = 0;
    finder->Raise(false, 0);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

}  // namespace corvane::gtk
