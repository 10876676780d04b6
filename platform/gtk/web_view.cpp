// The web view: a WebKit view behind the WebBrowser port.
//
// Notifications, as the engine reports them:
// - load-changed COMMITTED: the navigation has reached its page
//   (NavigateComplete2, with the address reached);
// - load-changed FINISHED: the load has ended, also after a failure or a
//   stop (DownloadComplete);
// - a title that arrives after FINISHED raises DownloadComplete again, so the
//   caption never keeps a stale name.
//
// What the user asks and what the engine tells of the page go to the page
// policy (platform/ports/page.h), which decides; the view carries out its
// orders (PageHost):
// - a page's request for a new window, with the engine's word on whether
//   the user asked for it, and the engine's own menu on a link;
// - a load that fails, a certificate that is not trusted, a page whose
//   process ends: the policy shows a page of ours for them;
// - a page that stops answering (its process hangs, or it opens dialog after
//   dialog) is offered to be stopped, and every request of the user (a
//   navigation, Refresh, Stop) reaches the page's process within the
//   policy's time or ends it: the view never stays stuck behind a hung page
//   (PageWatch);
// - the page is printed through the print dialog (print.h) and saved as one
//   file after a save dialog (save_page.h), and a page's requests for a
//   permission are asked about (permissions.h).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/gtk/downloads.h"
#include "platform/gtk/find_in_page.h"
#include "platform/gtk/controls.h"
#include "platform/gtk/own_pages.h"
#include "platform/gtk/page_watch.h"
#include "platform/gtk/permissions.h"
#include "platform/gtk/print.h"
#include "platform/gtk/question_box.h"
#include "platform/gtk/save_page.h"

namespace corvane::gtk {

namespace {

// Runs a signal handler's body; nothing may unwind into the engine.
template <class R, class F>
R Shielded(R fallback, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}
template <class F>
void Shielded(F&& body) noexcept {
  try {
    body();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

class WebBrowserControl final : public Placed<WebBrowser>, public PageHost {
 public:
  WebBrowserControl(FormWindow& window, const ControlDesign& design)
      : Placed(window, design),
        view_(window.Backend().NewWebView()),
        policy_(window.Backend().MakePagePolicy(*this)),
        watch_(WEBKIT_WEB_VIEW(view_), [this] { return window_.Toplevel(); }, policy_.get()),
        finder_(WEBKIT_WEB_VIEW(view_), design.name,
                [this](Event& event) { window_.Raise(event); }),
        saver_(WEBKIT_WEB_VIEW(view_)),
        permissions_(WEBKIT_WEB_VIEW(view_), policy_.get()) {
    GtkWidget* view = view_;
    // Pages may ask for the camera and microphone; each asks the user first
    // (PagePermissions).
    WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view));
    webkit_settings_set_enable_media_stream(settings, TRUE);
    if (window.Backend().Pages().mockCaptureDevices) {
      webkit_settings_set_enable_mock_capture_devices(settings, TRUE);
    }
    window.Connect(view, "load-changed", G_CALLBACK(&WebBrowserControl::OnLoadChanged), this);
    window.Connect(view, "notify::title", G_CALLBACK(&WebBrowserControl::OnTitle), this);
    window.Connect(view, "notify::uri", G_CALLBACK(&WebBrowserControl::OnUri), this);
    DownloadUnshownResponses(WEBKIT_WEB_VIEW(view));
    KeepPagePolicy(WEBKIT_WEB_VIEW(view), policy_.get());
    window.Connect(view, "create", G_CALLBACK(&WebBrowserControl::OnCreate), this);
    window.Connect(view, "load-failed", G_CALLBACK(&WebBrowserControl::OnLoadFailed), this);
    window.Connect(view, "load-failed-with-tls-errors",
                   G_CALLBACK(&WebBrowserControl::OnCertificateError), this);
    window.Connect(view, "web-process-terminated", G_CALLBACK(&WebBrowserControl::OnTerminated),
                   this);
    window.Connect(view, "notify::is-web-process-responsive",
                   G_CALLBACK(&WebBrowserControl::OnResponsive), this);
    window.Connect(view, "script-dialog", G_CALLBACK(&WebBrowserControl::OnScriptDialog), this);
    window.Connect(view, "context-menu", G_CALLBACK(&WebBrowserControl::OnContextMenu), this);
    window.Connect(view, "context-menu-dismissed",
                   G_CALLBACK(&WebBrowserControl::OnContextMenuGone), this);
    window.Connect(view, "button-press-event", G_CALLBACK(&WebBrowserControl::OnInput), this);
    window.Connect(view, "key-press-event", G_CALLBACK(&WebBrowserControl::OnInput), this);
    Attach(view);
  }
  ~WebBrowserControl() override {
    if (popupSource_ != 0) {
      g_source_remove(popupSource_);
    }
    StopTimer();
    KeepPagePolicy(WEBKIT_WEB_VIEW(view_), nullptr);
  }
  WebBrowserControl(const WebBrowserControl&) = delete;
  WebBrowserControl& operator=(const WebBrowserControl&) = delete;

  // The user's requests go to the page policy, through the watch.
  void Navigate(const std::string& address) override {
    const std::string text = ValidText(address);
    watch_.UserRequest([this, text] {
      if (policy_) {
        policy_->Navigate(text);
      } else {
        Load(text);
      }
    });
  }
  void GoBack() override {
    watch_.UserRequest([this] {
      Requested();
      webkit_web_view_go_back(View());
    });
  }
  void GoForward() override {
    watch_.UserRequest([this] {
      Requested();
      webkit_web_view_go_forward(View());
    });
  }
  void GoHome() override {
    watch_.UserRequest([this] { policy_ ? policy_->GoHome() : LoadHome(); });
  }
  void GoSearch() override {
    watch_.UserRequest([this] { policy_ ? policy_->GoSearch() : LoadSearch(); });
  }
  void Refresh() override {
    watch_.UserRequest([this] { policy_ ? policy_->Refresh() : Reload(); });
  }
  // A stop that comes before the requested load has started would leave the
  // engine loading for good, with no end ever reported (the caption would
  // stay busy). Such a stop is kept and made as soon as the load starts.
  // A page that does not answer the stop is ended.
  void Stop() override {
    watch_.UserStop([this] {
      if (!started_ && webkit_web_view_is_loading(View()) != FALSE) {
        stopPendingOnStart_ = true;
      } else {
        webkit_web_view_stop_loading(View());
      }
    });
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
  [[nodiscard]] float Zoom() const override {
    return static_cast<float>(webkit_web_view_get_zoom_level(View()));
  }
  void SetZoom(float factor) override {
    if (!(factor > 0.0F)) {
      throw Failure("invalid zoom");
    }
    webkit_web_view_set_zoom_level(View(), factor);
  }

  // ---- find in the page (platform/gtk/find_in_page.cpp) ----
  void Find(const std::string& text, bool matchCase, bool backwards) override {
    finder_.Find(text, matchCase, backwards);
  }
  void FindNext() override { finder_.Next(); }
  void FindPrevious() override { finder_.Previous(); }
  void FindFinish() override { finder_.Finish(); }
  // The finder's match, from the view's corner to the screen's.
  [[nodiscard]] std::optional<Rect> MatchArea() const override {
    const std::optional<Rect>& match = finder_.Match();
    GtkWidget* toplevel = GTK_WIDGET(window_.Toplevel());
    GdkWindow* onScreen = gtk_widget_get_window(toplevel);
    int x = 0;
    int y = 0;
    if (!match || onScreen == nullptr ||
        gtk_widget_translate_coordinates(view_, toplevel, 0, 0, &x, &y) == FALSE) {
      return std::nullopt;
    }
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(onScreen, &originX, &originY);
    const Units& units = window_.TheUnits();
    const double perPixel = units.TwipsPerPixel();
    return Rect{units.Twips(originX + x) + static_cast<float>(match->left * perPixel),
                units.Twips(originY + y) + static_cast<float>(match->top * perPixel),
                static_cast<float>(match->width * perPixel),
                static_cast<float>(match->height * perPixel)};
  }
  void SetFocus() override {
    gtk_window_present(window_.Toplevel());
    gtk_widget_grab_focus(view_);
  }
  // ---- end of find in the page ----
  // ---- print and save ----
  void Print() override { PrintPage(View()); }
  void SavePage() override { saver_.Save(); }

  // ---- the page policy's orders ----
  // Loads a complete address. A load ordered while the engine asks for a
  // new window is made once it is done asking.
  void Load(const std::string& uri) override {
    if (askingForWindow_) {
      popupUri_ = uri;
      if (popupSource_ == 0) {
        popupSource_ = g_idle_add(&WebBrowserControl::OnOpenPopup, this);
      }
      return;
    }
    Requested();
    webkit_web_view_load_uri(View(), uri.c_str());
  }
  // The engine has no pages of its own.
  void LoadHome() override { Load("about:blank"); }
  void LoadSearch() override { Load("about:blank"); }
  void Reload() override {
    Requested();
    webkit_web_view_reload(View());
  }
  void ShowOwnPage(const OwnPage& page) override {
    const std::string uri = page.address.empty() ? std::string("about:blank") : page.address;
    ownPageLoading_ = true;
    webkit_web_view_load_alternate_html(View(), page.html.c_str(), uri.c_str(), uri.c_str());
  }
  void Ask(const PageQuestion& question) override {
    asked_.Ask(window_.Toplevel(), question.title, question.text, question.detail,
               {{Mnemonic(question.goOn), 1}, {Mnemonic(question.stop), 2}}, 1,
               [this](int answer) {
                 if (policy_) {
                   policy_->Answered(answer != 2);
                 }
               });
  }
  void DropQuestion() override { asked_.Close(); }
  void StopLoading() override { webkit_web_view_stop_loading(View()); }
  void StartTimer(int ms) override {
    StopTimer();
    timer_ = g_timeout_add(static_cast<guint>(ms > 0 ? ms : 0), &WebBrowserControl::OnTimer, this);
  }
  void StopTimer() override {
    if (timer_ != 0) {
      g_source_remove(std::exchange(timer_, 0));
    }
  }
  [[nodiscard]] std::int64_t NowMs() const override { return g_get_monotonic_time() / 1000; }
  [[nodiscard]] bool CompletesAddresses() const override { return false; }
  [[nodiscard]] bool WatchesProcess() const override { return true; }

 private:
  static gboolean OnTimer(gpointer data) {
    auto* self = static_cast<WebBrowserControl*>(data);
    self->timer_ = 0;
    Shielded([&] {
      if (self->policy_) {
        self->policy_->TimerFired();
      }
    });
    return G_SOURCE_REMOVE;
  }

  [[nodiscard]] WebKitWebView* View() const { return WEBKIT_WEB_VIEW(Widget()); }

  // A new load supersedes a kept stop and a page of our own still coming; it
  // has not started yet.
  void Requested() {
    stopPendingOnStart_ = false;
    ownPageLoading_ = false;
    started_ = false;
  }

  void Notify(EventType type, std::string text = {}) {
    Event event{.type = type, .control = Design().name, .text = std::move(text)};
    window_.Raise(event);
  }

  static gboolean OnInput(GtkWidget* /*view*/, GdkEvent* /*event*/, gpointer self) {
    Shielded([&] { static_cast<WebBrowserControl*>(self)->watch_.Input(); });
    return FALSE;  // the page has the click or key too
  }
  static void OnResponsive(WebKitWebView* /*view*/, GParamSpec* /*property*/, gpointer self) {
    Shielded([&] {
      static_cast<WebBrowserControl*>(self)->watch_.ResponsivenessChanged();
    });
  }
  static gboolean OnScriptDialog(WebKitWebView* /*view*/, WebKitScriptDialog* dialog,
                                 gpointer self) {
    return Shielded<gboolean>(FALSE, [&]() -> gboolean {
      return static_cast<WebBrowserControl*>(self)->watch_.ScriptDialog(dialog) ? TRUE : FALSE;
    });
  }

  // ---- our own pages -------------------------------------------------------------

  static gboolean OnLoadFailed(WebKitWebView* /*view*/, WebKitLoadEvent /*event*/,
                               const gchar* uri, GError* error, gpointer data) {
    return Shielded<gboolean>(FALSE, [&]() -> gboolean {
      auto* self = static_cast<WebBrowserControl*>(data);
      if (error == nullptr) {
        return FALSE;
      }
      const std::optional<LoadFailure> why = LoadFailureOf(*error);
      if (!why || !self->policy_) {
        return FALSE;  // nothing to tell, or the engine's own page
      }
      self->policy_->LoadFailed(ValidText(uri != nullptr ? uri : ""), *why,
                                error->message != nullptr ? error->message : "");
      return TRUE;
    });
  }

  // Never passed, with or without a policy.
  static gboolean OnCertificateError(WebKitWebView* /*view*/, const gchar* uri,
                                     GTlsCertificate* /*certificate*/,
                                     GTlsCertificateFlags errors, gpointer data) {
    return Shielded<gboolean>(TRUE, [&]() -> gboolean {
      auto* self = static_cast<WebBrowserControl*>(data);
      if (self->policy_) {
        self->policy_->CertificateProblem(ValidText(uri != nullptr ? uri : ""),
                                          CertificateProblemsOf(errors));
      }
      return TRUE;
    });
  }

  static void OnTerminated(WebKitWebView* /*view*/, WebKitWebProcessTerminationReason reason,
                           gpointer data) {
    Shielded([&] {
      auto* self = static_cast<WebBrowserControl*>(data);
      const bool forRequest = self->watch_.Terminated();
      self->ownPageLoading_ = false;
      if (self->policy_) {
        self->policy_->ProcessEnded(PageEndOf(reason), forRequest);
      }
    });
  }

  // ---- new windows -------------------------------------------------------------

  // The page asks for a new window; the policy says whether its address
  // opens here. No window is ever made.
  static GtkWidget* OnCreate(WebKitWebView* /*view*/, WebKitNavigationAction* action,
                             gpointer data) {
    return Shielded<GtkWidget*>(nullptr, [&]() -> GtkWidget* {
      auto* self = static_cast<WebBrowserControl*>(data);
      WebKitURIRequest* request = webkit_navigation_action_get_request(action);
      const gchar* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
      if (self->policy_) {
        const bool gesture = webkit_navigation_action_is_user_gesture(action) != FALSE;
        self->askingForWindow_ = true;
        try {
          self->policy_->NewWindow(ValidText(uri != nullptr ? uri : ""), gesture);
        } catch (...) {
          self->askingForWindow_ = false;
          throw;
        }
        self->askingForWindow_ = false;
      }
      return nullptr;
    });
  }

  static gboolean OnContextMenu(WebKitWebView* /*view*/, WebKitContextMenu* /*menu*/,
                                GdkEvent* /*event*/, WebKitHitTestResult* hit, gpointer data) {
    return Shielded<gboolean>(FALSE, [&]() -> gboolean {
      auto* self = static_cast<WebBrowserControl*>(data);
      const gchar* link = webkit_hit_test_result_context_is_link(hit) != FALSE
                              ? webkit_hit_test_result_get_link_uri(hit)
                              : nullptr;
      if (self->policy_) {
        self->policy_->MenuOpened(ValidText(link != nullptr ? link : ""));
      }
      return FALSE;  // the engine's menu
    });
  }

  static void OnContextMenuGone(WebKitWebView* /*view*/, gpointer data) {
    Shielded([&] {
      auto* self = static_cast<WebBrowserControl*>(data);
      if (self->policy_) {
        self->policy_->MenuClosed();
      }
    });
  }

  static gboolean OnOpenPopup(gpointer data) {
    auto* self = static_cast<WebBrowserControl*>(data);
    self->popupSource_ = 0;
    try {
      self->Load(std::exchange(self->popupUri_, {}));
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
    }
    return G_SOURCE_REMOVE;
  }

  // ---- notifications -------------------------------------------------------------

  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent load, gpointer self) {
    try {
      auto* control = static_cast<WebBrowserControl*>(self);
      if (load == WEBKIT_LOAD_STARTED) {
        control->started_ = true;
        if (control->stopPendingOnStart_) {
          control->stopPendingOnStart_ = false;
          webkit_web_view_stop_loading(view);
        }
        if (control->policy_) {
          control->policy_->LoadStarted();
        }
      } else if (load == WEBKIT_LOAD_COMMITTED) {
        control->finished_ = false;
        const bool ownPage = std::exchange(control->ownPageLoading_, false);
        control->watch_.Committed();
        control->permissions_.NewLoad();
        const gchar* uri = webkit_web_view_get_uri(view);
        const std::string address = ValidText(uri != nullptr ? uri : "");
        if (control->policy_) {
          control->policy_->Committed(address, ownPage);
        }
        control->Notify(EventType::NavigateComplete2, address);
      } else if (load == WEBKIT_LOAD_FINISHED) {
        control->started_ = false;
        control->finished_ = true;
        if (control->policy_) {
          control->policy_->LoadFinished();
        }
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

  GtkWidget* view_;  // the engine's view, owned by the window once attached
  std::string uri_;  // the view's address, as it last announced it
  std::unique_ptr<PageEvents> policy_;  // decides about the page
  PageWatch watch_;
  PageFinder finder_;
  PageSaver saver_;
  PagePermissions permissions_;
  bool finished_ = false;
  bool started_ = false;             // between the engine's STARTED and FINISHED
  bool stopPendingOnStart_ = false;  // a stop that came before the load started

  bool ownPageLoading_ = false;  // our own page is being loaded

  bool askingForWindow_ = false;  // the engine asks for a new window
  std::string popupUri_;
  guint popupSource_ = 0;
  QuestionBox asked_;  // the policy's question
  guint timer_ = 0;    // the policy's timer
};

}  // namespace

std::unique_ptr<Control> MakeWebBrowser(FormWindow& window, const ControlDesign& design) {
  return std::make_unique<WebBrowserControl>(window, design);
}

}  // namespace corvane::gtk
