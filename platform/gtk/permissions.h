// A page's requests for a permission on GTK: to show notifications, know the
// location, use the camera or microphone, lock the pointer. The user is
// asked in a small question window naming the site (its scheme, host and
// port) and what it wants; the rules of when to ask are PermissionQuestions
// (browsing/permission_rules.h). Any other request is denied.
#pragma once

#include <webkit2/webkit2.h>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/question_box.h"
#include "browsing/permission_rules.h"

namespace corvane::gtk {

// Keeps the run's answers with `context`, and tells each of its web
// processes which sites were allowed or denied notifications.
void GuardPermissions(WebKitWebContext* context);

// The questions of one web view.
class PagePermissions {
 public:
  explicit PagePermissions(WebKitWebView* view);
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
  gulong handler_ = 0;
  PermissionQuestions questions_;
  GObjectPtr<WebKitPermissionRequest> pending_;  // while the question is on screen
  QuestionBox box_;
};

}  // namespace corvane::gtk
