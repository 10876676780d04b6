// Keeps the user in charge of a page that stops answering: its process hangs
// in a script, or it opens dialog after dialog.
//
// - Every request of the user (a navigation, Refresh, Stop) must be answered
//   by the page's process within moments; a process that is known not to
//   answer, or that does not answer in time, is ended and the request made in
//   a fresh one.
// - A page that does not answer the user's clicks and keys, or that the
//   engine reports as not responding, is offered to be stopped.
// - When the page policy says a page opens too many dialogs, the page's
//   dialog is shown by us, with a button that stops the page.
// How long the page has to answer, what the user is asked and when dialogs
// are too many are the page policy's (platform/ports/page.h); here they are
// carried out with the engine.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <string>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/question_box.h"
#include "platform/ports/page.h"

namespace corvane::gtk {

class PageWatch {
 public:
  // `parent`: the window the questions stand over; `policy`: the page's
  // policy (none: the page is not watched).
  PageWatch(WebKitWebView* view, std::function<GtkWindow*()> parent, PageEvents* policy);
  ~PageWatch();
  PageWatch(const PageWatch&) = delete;
  PageWatch& operator=(const PageWatch&) = delete;

  // Makes a request of the user: see above.
  void UserRequest(const std::function<void()>& request);
  // The user's Stop: `stop` stops the load; a page that does not answer is
  // ended (the page that says it stopped working follows).
  void UserStop(const std::function<void()>& stop);

  // From the view's notifications.
  void Committed();
  // The page's process has ended: true when it was ended here to make a
  // request of the user (nothing more to show).
  bool Terminated();
  void Input();
  void ResponsivenessChanged();
  // True when the dialog is taken over here.
  bool ScriptDialog(WebKitScriptDialog* dialog);

 private:
  void EndProcessFor(const std::function<void()>& request);
  void StopPage();
  void Ping(int ms, std::function<void()> unanswered, std::function<void()> answered = {});
  void CancelPing();
  void DropQuestions();
  void AskAboutHungPage();
  [[nodiscard]] bool Responsive() const;

  static void OnPong(GObject* source, GAsyncResult* result, gpointer number);
  static gboolean OnPingTimeout(gpointer self);
  static gboolean OnAskTime(gpointer self);

  WebKitWebView* view_;
  std::function<GtkWindow*()> parent_;
  PageEvents* policy_;
  AnswerTimes times_;

  // The page's process: reached a page since it started; being ended here to
  // make a request of the user.
  bool processLive_ = false;
  bool replacingProcess_ = false;

  GObjectPtr<GCancellable> pingCancel_;
  guint pingTimeout_ = 0;
  guint pingNumber_ = 0;
  std::function<void()> unanswered_;
  std::function<void()> answered_;

  QuestionBox box_;
  guint askSource_ = 0;
  WebKitScriptDialog* heldDialog_ = nullptr;  // a page's dialog shown in box_
};

}  // namespace corvane::gtk
