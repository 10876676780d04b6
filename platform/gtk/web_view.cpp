// The web view: a WebKit view behind the WebBrowser port.
//
// Notifications, as the engine reports them:
// - load-changed COMMITTED: the navigation has reached its page
//   (NavigateComplete2, with the address reached);
// - load-changed FINISHED: the load has ended, also after a failure or a
//   stop (DownloadComplete);
// - a title that arrives after FINISHED raises DownloadComplete again, so the
//   caption never keeps a stale name.
#include <string>

#include "platform/gtk/address.h"
#include "platform/gtk/gtk_controls.h"

namespace corvane::gtk {

namespace {

class WebBrowserControl final : public Placed<WebBrowser> {
 public:
  WebBrowserControl(FormWindow& window, const ControlDesign& design) : Placed(window, design) {
    GtkWidget* view = webkit_web_view_new_with_context(window.Backend().WebContext());
    window.Connect(view, "load-changed", G_CALLBACK(&WebBrowserControl::OnLoadChanged), this);
    window.Connect(view, "notify::title", G_CALLBACK(&WebBrowserControl::OnTitle), this);
    window.Connect(view, "notify::uri", G_CALLBACK(&WebBrowserControl::OnUri), this);
    Attach(view);
  }

  // Words that are no address are searched for.
  void Navigate(const std::string& address) override {
    Load(AddressToLoad(ValidText(address), window_.Backend().Pages().query));
  }
  void GoBack() override {
    Requested();
    webkit_web_view_go_back(View());
  }
  void GoForward() override {
    Requested();
    webkit_web_view_go_forward(View());
  }
  void GoHome() override { Load(FixUpAddress(window_.Backend().Pages().home)); }
  void GoSearch() override { Load(FixUpAddress(window_.Backend().Pages().search)); }
  void Refresh() override {
    Requested();
    webkit_web_view_reload(View());
  }
  // A stop that comes before the requested load has started would leave the
  // engine loading for good, with no end ever reported (the caption would
  // stay busy). Such a stop is kept and made as soon as the load starts.
  void Stop() override {
    if (!started_ && webkit_web_view_is_loading(View()) != FALSE) {
      stopPending_ = true;
      return;
    }
    webkit_web_view_stop_loading(View());
  }

  [[nodiscard]] std::string LocationName() const override {
    const gchar* title = webkit_web_view_get_title(View());
    if (title != nullptr && *title != '\0') {
      return title;
    }
    return LocationURL();
  }
  // The view announces every change of its address: the copy kept here is
  // always the view's own, and reading it costs nothing (the history update
  // reads it once for every entry of the address list).
  [[nodiscard]] const std::string& LocationURL() const override { return uri_; }
  [[nodiscard]] bool Busy() const override { return webkit_web_view_is_loading(View()) != FALSE; }

 private:
  [[nodiscard]] WebKitWebView* View() const { return WEBKIT_WEB_VIEW(Widget()); }

  std::string uri_;  // the view's address, as it last announced it

  // A new load supersedes a kept stop; it has not started yet.
  void Requested() {
    stopPending_ = false;
    started_ = false;
  }

  // Loads a complete address.
  void Load(const std::string& uri) {
    Requested();
    // A typed script address would run inside the page shown and leave the
    // view loading for good; it is not something to navigate to.
    gchar* scheme = g_uri_parse_scheme(uri.c_str());
    const bool script = scheme != nullptr && g_ascii_strcasecmp(scheme, "javascript") == 0;
    g_free(scheme);
    if (!script) {
      webkit_web_view_load_uri(View(), uri.c_str());
    }
  }

  void Notify(EventType type, std::string text = {}) {
    Event event{.type = type, .control = Design().name, .text = std::move(text)};
    window_.Raise(event);
  }

  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent load, gpointer self) {
    try {
      auto* control = static_cast<WebBrowserControl*>(self);
      if (load == WEBKIT_LOAD_STARTED) {
        control->started_ = true;
        if (control->stopPending_) {
          control->stopPending_ = false;
          webkit_web_view_stop_loading(view);
        }
      } else if (load == WEBKIT_LOAD_COMMITTED) {
        control->finished_ = false;
        const gchar* uri = webkit_web_view_get_uri(view);
        control->Notify(EventType::NavigateComplete2, uri != nullptr ? uri : "");
      } else if (load == WEBKIT_LOAD_FINISHED) {
        control->started_ = false;
        control->finished_ = true;
        control->Notify(EventType::DownloadComplete);
      }
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
    }
  }

  static void OnTitle(WebKitWebView* view, GParamSpec* /*property*/, gpointer self) {
    try {
      auto* control = static_cast<WebBrowserControl*>(self);
      if (control->finished_ && webkit_web_view_is_loading(view) == FALSE) {
        control->Notify(EventType::DownloadComplete);
      }
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
    }
  }

  static void OnUri(WebKitWebView* view, GParamSpec* /*property*/, gpointer self) {
    try {
      const gchar* uri = webkit_web_view_get_uri(view);
      static_cast<WebBrowserControl*>(self)->uri_ = uri != nullptr ? uri : "";
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
    }
  }

  bool finished_ = false;
  bool started_ = false;      // between the engine's STARTED and FINISHED
  bool stopPending_ = false;  // a stop that came before the load started
};

}  // namespace

std::unique_ptr<Control> MakeWebBrowser(FormWindow& window, const ControlDesign& design) {
  return std::make_unique<WebBrowserControl>(window, design);
}

}  // namespace corvane::gtk
