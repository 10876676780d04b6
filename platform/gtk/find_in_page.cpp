#include "platform/gtk/find_in_page.h"

#include <array>
#include <utility>

#include "platform/kit/find_place.h"
#include "platform/kit/window_rules.h"

namespace corvane::gtk {

namespace {

// The most matches counted; past that the count is not shown.
constexpr guint kMostCounted = 1000;

// Finds the finder of a view from an answer that may come after it is gone.
constexpr const char* kFinderKey = "corvane-page-finder";

// Where the page's selection is (the engine selects the match it found), in
// the page's CSS pixels from the view's top-left corner. Run in a world of
// its own, where the page's scripts cannot replace what it calls; its
// figures are the page's all the same, and checked as such.
constexpr const char* kWhereScript =
    "(() => { const s = getSelection();"
    " if (!s || s.rangeCount < 1) return null;"
    " const r = s.getRangeAt(0).getBoundingClientRect();"
    " return [r.left, r.top, r.width, r.height]; })()";
constexpr const char* kWhereWorld = "corvane-find";

}  // namespace

PageFinder::PageFinder(WebKitWebView* view, std::string control,
                       std::function<void(Event&)> raise)
    : view_(view), controller_(webkit_web_view_get_find_controller(view)),
      control_(std::move(control)), raise_(std::move(raise)) {
  g_object_set_data(G_OBJECT(view_), kFinderKey, this);
  found_ = g_signal_connect(controller_, "found-text", G_CALLBACK(&PageFinder::OnFound), this);
  failed_ =
      g_signal_connect(controller_, "failed-to-find-text", G_CALLBACK(&PageFinder::OnFailed), this);
}

PageFinder::~PageFinder() {
  g_object_set_data(G_OBJECT(view_), kFinderKey, nullptr);
  Forget();
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
  Forget();
  webkit_find_controller_search(controller_, ValidUtf8(text).c_str(), options, kMostCounted);
}

void PageFinder::Next() { webkit_find_controller_search_next(controller_); }

void PageFinder::Previous() { webkit_find_controller_search_previous(controller_); }

void PageFinder::Finish() {
  Forget();
  webkit_find_controller_search_finish(controller_);
}

void PageFinder::Forget() {
  ++asked_;
  match_.reset();
  if (asking_) {
    g_cancellable_cancel(asking_.get());
    asking_.reset();
  }
}

void PageFinder::AskWhere() {
  Forget();
  asking_ = GObjectPtr<GCancellable>(g_cancellable_new());
  webkit_web_view_evaluate_javascript(view_, kWhereScript, -1, kWhereWorld, nullptr,
                                      asking_.get(), &PageFinder::OnMatchArea,
                                      GUINT_TO_POINTER(asked_));
}

void PageFinder::OnMatchArea(GObject* view, GAsyncResult* result, gpointer number) {
  try {
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
    g_clear_error(&error);
    std::array<double, 4> figures{};
    bool read = value != nullptr && jsc_value_is_array(value) != FALSE;
    for (guint i = 0; read && i < figures.size(); ++i) {
      JSCValue* figure = jsc_value_object_get_property_at_index(value, i);
      read = jsc_value_is_number(figure) != FALSE;
      figures.at(i) = read ? jsc_value_to_double(figure) : 0.0;
      g_object_unref(figure);
    }
    if (value != nullptr) {
      g_object_unref(value);
    }
    // The answer to a question since superseded (or of a finder gone) is
    // dropped: its match is no longer the one selected.
    auto* finder = static_cast<PageFinder*>(g_object_get_data(view, kFinderKey));
    if (finder == nullptr || GPOINTER_TO_UINT(number) != finder->asked_) {
      return;
    }
    finder->asking_.reset();
    if (read) {
      // CSS pixels are the view's pixels at the page's zoom.
      const double zoom = webkit_web_view_get_zoom_level(finder->view_);
      const Rect whole{0, 0, static_cast<float>(gtk_widget_get_allocated_width(GTK_WIDGET(view))),
                       static_cast<float>(gtk_widget_get_allocated_height(GTK_WIDGET(view)))};
      finder->match_ = MatchInView(figures[0] * zoom, figures[1] * zoom, figures[2] * zoom,
                                   figures[3] * zoom, whole);
    }
    finder->Raise(true, finder->counted_);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

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
    finder->AskWhere();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

void PageFinder::OnFailed(WebKitFindController* /*controller*/, gpointer self) {
  try {
    auto* finder = static_cast<PageFinder*>(self);
    finder->newSearch_ = false;
    finder->counted_ = 0;
    finder->Forget();
    finder->Raise(false, 0);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

}  // namespace corvane::gtk
