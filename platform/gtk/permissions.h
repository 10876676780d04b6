// A page's requests for a permission on GTK: to show notifications, know the
// location, use the camera or microphone, lock the pointer. The page policy
// says whether the user is asked, in a small question window naming the site
// (its scheme, host and port) and what it wants, and keeps the answers.
// Any other request, and any request of a view without a policy, is denied.
#pragma once

#include <webkit2/webkit2.h>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/question_box.h"
#include "platform/ports/page.h"

namespace corvane::gtk {

// Tells each web process of `context` which sites the run's answers allow
// or deny notifications.
void GuardPermissions(WebKitWebContext* context);

// The questions of one web view.
class PagePermissions {
 public:
  PagePermissions(WebKitWebView* view, PageEvents* policy);
  ~PagePermissions();
  PagePermissions(const PagePermissions&) = delete;
  PagePermissions& operator=(const PagePermissions&) = delete;

  // A new page has come: a question of the last one goes unanswered
  // (denied), and the new page may be asked afresh.
  void NewLoad();

 private:
  static gboolean OnRequest(WebKitWebView* view, WebKitPermissionRequest* request,
                            gpointer self);
  void Request(WebKitPermissionRequest* request);
  void Answer(bool allowed, bool answered);

  WebKitWebView* view_;
  PageEvents* policy_;
  gulong handler_ = 0;
  GObjectPtr<WebKitPermissionRequest> pending_;  // while the question is on screen
  QuestionBox box_;
};

}  // namespace corvane::gtk
