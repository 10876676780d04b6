#include "platform/gtk/permissions.h"

#include <memory>
#include <set>
#include <string>

namespace corvane::gtk {

namespace {

constexpr const char* kAnswersKey = "corvane-permission-answers";
constexpr int kAllow = 1;
constexpr int kDeny = 0;
constexpr int kClosed = -1;

// The sites the run's answers allow and deny notifications, as the page
// policy last told them: the engine asks for them whenever it starts a web
// process.
struct NotificationSites {
  std::set<std::string> allowed;
  std::set<std::string> denied;
};

NotificationSites& SitesOf(WebKitWebContext* context) {
  auto* sites = static_cast<NotificationSites*>(g_object_get_data(G_OBJECT(context), kAnswersKey));
  if (sites == nullptr) {
    auto made = std::make_unique<NotificationSites>();
    sites = made.get();
    // The context owns them from here and ends them with itself.
    g_object_set_data_full(G_OBJECT(context), kAnswersKey, made.release(), [](gpointer data) {
      const std::unique_ptr<NotificationSites> owned(static_cast<NotificationSites*>(data));
    });
  }
  return *sites;
}

// What a request asks for; 0 for anything not asked about.
PermissionKinds KindsOf(WebKitPermissionRequest* request) {
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)) {
    return kNotifications;
  }
  if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)) {
    return kLocation;
  }
  if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(request)) {
    return kPointerLock;
  }
  if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
    auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
    if (webkit_user_media_permission_is_for_display_device(media) != FALSE) {
      return 0;  // the screen is not shared
    }
    return static_cast<PermissionKinds>(
        (webkit_user_media_permission_is_for_video_device(media) != FALSE ? kCamera : 0) |
        (webkit_user_media_permission_is_for_audio_device(media) != FALSE ? kMicrophone : 0));
  }
  return 0;
}

// A list of origins, for the engine.
GList* Origins(const std::set<std::string>& sites) {
  GList* list = nullptr;
  for (const std::string& site : sites) {
    list = g_list_prepend(list, webkit_security_origin_new_for_uri(site.c_str()));
  }
  return list;
}

void OnInitializeNotifications(WebKitWebContext* context, gpointer /*data*/) {
  try {
    const NotificationSites& sites = SitesOf(context);
    GList* allowed = Origins(sites.allowed);
    GList* denied = Origins(sites.denied);
    webkit_web_context_initialize_notification_permissions(context, allowed, denied);
    g_list_free_full(allowed, reinterpret_cast<GDestroyNotify>(&webkit_security_origin_unref));
    g_list_free_full(denied, reinterpret_cast<GDestroyNotify>(&webkit_security_origin_unref));
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

GtkWindow* WindowOf(WebKitWebView* view) {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  return gtk_widget_is_toplevel(top) != FALSE ? GTK_WINDOW(top) : nullptr;
}

}  // namespace

void GuardPermissions(WebKitWebContext* context) {
  (void)SitesOf(context);
  g_signal_connect(context, "initialize-notification-permissions",
                   G_CALLBACK(&OnInitializeNotifications), nullptr);
}

PagePermissions::PagePermissions(WebKitWebView* view, PageEvents* policy)
    : view_(view), policy_(policy) {
  handler_ = g_signal_connect(view, "permission-request", G_CALLBACK(&PagePermissions::OnRequest),
                              this);
}

PagePermissions::~PagePermissions() {
  g_signal_handler_disconnect(view_, handler_);
  box_.Close();
  if (pending_) {
    webkit_permission_request_deny(pending_.get());
  }
}

void PagePermissions::NewLoad() {
  if (pending_) {
    box_.Close();
    Answer(false, false);
  }
}

gboolean PagePermissions::OnRequest(WebKitWebView* /*view*/, WebKitPermissionRequest* request,
                                    gpointer self) {
  try {
    static_cast<PagePermissions*>(self)->Request(request);
  } catch (...) {
    webkit_permission_request_deny(request);
  }
  return TRUE;  // answered here, now or once the user has
}

void PagePermissions::Request(WebKitPermissionRequest* request) {
  const PermissionKinds kinds = KindsOf(request);
  switch (kinds == 0 || policy_ == nullptr ? PermissionVerdict::kDeny
                                            : policy_->PermissionRequested(kinds)) {
    case PermissionVerdict::kAllow:
      webkit_permission_request_allow(request);
      return;
    case PermissionVerdict::kDeny:
      webkit_permission_request_deny(request);
      return;
    case PermissionVerdict::kAsk:
      break;
  }
  pending_ = GObjectPtr<WebKitPermissionRequest>(
      static_cast<WebKitPermissionRequest*>(g_object_ref(request)));
  try {
    const PageQuestion question = policy_->PermissionQuestionFor(kinds);
    box_.Ask(WindowOf(view_), question.title, question.text, question.detail,
             {{Mnemonic(question.stop), kDeny}, {Mnemonic(question.goOn), kAllow}}, kClosed,
             [this](int answer) { Answer(answer == kAllow, answer != kClosed); },
             // The engine drops a pointer lock request once the browser
             // window is no longer the active one: the question leaves it so.
             kinds == kPointerLock ? QuestionBox::Keyboard::kLeftWithParent
                                   : QuestionBox::Keyboard::kTaken);
  } catch (...) {
    Answer(false, false);
  }
}

void PagePermissions::Answer(bool allowed, bool answered) {
  const GObjectPtr<WebKitPermissionRequest> request = std::move(pending_);
  if (policy_ != nullptr) {
    policy_->PermissionAnswered(allowed, answered);
    NotificationSites& sites = SitesOf(webkit_web_view_get_context(view_));
    sites.allowed = policy_->PermissionSites(kNotifications, true);
    sites.denied = policy_->PermissionSites(kNotifications, false);
  }
  if (!request) {
    return;
  }
  if (allowed) {
    webkit_permission_request_allow(request.get());
  } else {
    webkit_permission_request_deny(request.get());
  }
}

}  // namespace corvane::gtk
