#include "platform/gtk/page_watch.h"

#include "platform/gtk/guarded.h"

#include <optional>
#include <utility>

namespace corvane::gtk {

namespace {

// Finds the watch of a view from an answer that may come after it is gone.
constexpr const char* kWatchKey = "corvane-page-watch";

enum Answer { kWait = 1, kStopPage = 2, kDismiss = 3 };

}  // namespace

PageWatch::PageWatch(WebKitWebView* view, std::function<GtkWindow*()> parent,
                     PageEvents* policy)
    : view_(view),
      parent_(std::move(parent)),
      policy_(policy),
      times_(policy != nullptr ? policy->Times() : AnswerTimes{}) {
  g_object_set_data(G_OBJECT(view_), kWatchKey, this);
}

PageWatch::~PageWatch() {
  g_object_set_data(G_OBJECT(view_), kWatchKey, nullptr);
  CancelPing();
  DropQuestions();
}

bool PageWatch::Responsive() const {
  return webkit_web_view_get_is_web_process_responsive(view_) != FALSE;
}

void PageWatch::UserRequest(const std::function<void()>& request) {
  DropQuestions();
  if (!Responsive()) {
    EndProcessFor(request);
    return;
  }
  request();
  Ping(times_.request, [this, request] { EndProcessFor(request); });
}

void PageWatch::UserStop(const std::function<void()>& stop) {
  DropQuestions();
  if (!Responsive()) {
    StopPage();
    return;
  }
  stop();
  Ping(times_.request, [this] { StopPage(); });
}

// A page committed: whatever was asked of the page before it (the user's
// request to leave a page that might not answer) has been carried out, and
// the ping that watched it must not end the new page's process. Leaving a
// site for another moves the view to a new process, where the old page's
// unanswered ping would otherwise end the page just loaded.
void PageWatch::Committed() {
  CancelPing();
  processLive_ = true;
  replacingProcess_ = false;
}

bool PageWatch::Terminated() {
  processLive_ = false;
  CancelPing();
  DropQuestions();
  return std::exchange(replacingProcess_, false);
}

// Ends the page's process quietly (no page of our own) and makes `request`.
void PageWatch::EndProcessFor(const std::function<void()>& request) {
  CancelPing();
  if (processLive_) {
    replacingProcess_ = true;
    processLive_ = false;
    webkit_web_view_terminate_web_process(view_);
  }
  request();
}

// Ends the page's process; the page that says it stopped working shows.
void PageWatch::StopPage() {
  CancelPing();
  DropQuestions();
  if (processLive_) {
    webkit_web_view_terminate_web_process(view_);
  }
}

// Asks the page's process for a trivial answer; `unanswered` runs when it has
// given none within `ms`, `answered` when it gives one in time. A view whose
// page has not been reached yet has nothing to ask.
void PageWatch::Ping(int ms, std::function<void()> unanswered, std::function<void()> answered) {
  CancelPing();
  if (!processLive_ || ms <= 0) {
    return;  // nothing to ask yet, or no watch
  }
  pingCancel_ = GObjectPtr<GCancellable>(g_cancellable_new());
  unanswered_ = std::move(unanswered);
  answered_ = std::move(answered);
  ++pingNumber_;
  webkit_web_view_evaluate_javascript(view_, "0", -1, nullptr, nullptr, pingCancel_.get(),
                                      &PageWatch::OnPong, GUINT_TO_POINTER(pingNumber_));
  pingTimeout_ = g_timeout_add(static_cast<guint>(ms), &PageWatch::OnPingTimeout, this);
}

void PageWatch::CancelPing() {
  if (pingTimeout_ != 0) {
    g_source_remove(std::exchange(pingTimeout_, 0));
  }
  if (pingCancel_) {
    g_cancellable_cancel(pingCancel_.get());
    pingCancel_.reset();
  }
  unanswered_ = nullptr;
  answered_ = nullptr;
}

void PageWatch::OnPong(GObject* source, GAsyncResult* result, gpointer number) {
  GError* error = nullptr;
  if (JSCValue* value =
          webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error)) {
    g_object_unref(value);
  }
  const bool cancelled =
      error != nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) != FALSE;
  g_clear_error(&error);
  auto* self = static_cast<PageWatch*>(g_object_get_data(source, kWatchKey));
  // Any answer, even an error from the page, shows the process is alive.
  if (self != nullptr && !cancelled && GPOINTER_TO_UINT(number) == self->pingNumber_) {
    const std::function<void()> answered = std::move(self->answered_);
    self->CancelPing();
    if (answered) {
      Guarded([&] { answered(); });
    }
  }
}

gboolean PageWatch::OnPingTimeout(gpointer data) {
  auto* self = static_cast<PageWatch*>(data);
  self->pingTimeout_ = 0;
  const std::function<void()> unanswered = std::move(self->unanswered_);
  self->CancelPing();
  if (unanswered) {
    Guarded([&] { unanswered(); });
  }
  return G_SOURCE_REMOVE;
}

// ---- questions to the user ----------------------------------------------------

void PageWatch::DropQuestions() {
  box_.Close();
  if (askSource_ != 0) {
    g_source_remove(std::exchange(askSource_, 0));
  }
  if (heldDialog_ != nullptr) {
    // The page goes on as after the dialog's first button.
    WebKitScriptDialog* dialog = std::exchange(heldDialog_, nullptr);
    webkit_script_dialog_close(dialog);
    webkit_script_dialog_unref(dialog);
  }
}

// The question goes by itself once the page answers after all.
void PageWatch::AskAboutHungPage() {
  const PageQuestion question = policy_->NotAnsweringQuestion();
  box_.Ask(parent_(), question.title, question.text, question.detail,
           {{Mnemonic(question.goOn), kWait}, {Mnemonic(question.stop), kStopPage}}, kWait,
           [this](int answer) {
             if (answer == kStopPage) {
               StopPage();
             }
           });
  if (pingTimeout_ == 0) {  // a request of the user's being checked goes first
    Ping(times_.lateAnswer, {}, [this] { box_.Close(); });
  }
}

gboolean PageWatch::OnAskTime(gpointer data) {
  auto* self = static_cast<PageWatch*>(data);
  self->askSource_ = 0;
  if (!self->Responsive() && !self->box_.Shown()) {
    Guarded([&] { self->AskAboutHungPage(); });
  }
  return G_SOURCE_REMOVE;
}

// The user clicks or types into the page: a page that does not answer is
// offered to be stopped.
void PageWatch::Input() {
  if (pingTimeout_ == 0 && !box_.Shown()) {
    Ping(times_.input, [this] {
      if (!box_.Shown()) {
        AskAboutHungPage();
      }
    });
  }
}

void PageWatch::ResponsivenessChanged() {
  if (Responsive()) {
    if (askSource_ != 0) {
      g_source_remove(std::exchange(askSource_, 0));
    }
    if (heldDialog_ == nullptr) {
      box_.Close();
    }
  } else if (policy_ != nullptr && askSource_ == 0 && !box_.Shown()) {
    askSource_ = g_timeout_add(static_cast<guint>(times_.askAfter), &PageWatch::OnAskTime, this);
  }
}

bool PageWatch::ScriptDialog(WebKitScriptDialog* dialog) {
  if (policy_ == nullptr) {
    return false;
  }
  const gchar* message = webkit_script_dialog_get_message(dialog);
  const std::optional<PageQuestion> asked = policy_->ScriptDialog(message != nullptr ? message : "");
  if (!asked) {
    return false;  // the engine's own dialog
  }
  DropQuestions();
  heldDialog_ = webkit_script_dialog_ref(dialog);
  const PageQuestion& question = *asked;
  box_.Ask(parent_(), question.title, question.text, question.detail,
           {{Mnemonic(question.goOn), kDismiss}, {Mnemonic(question.stop), kStopPage}}, kDismiss,
           [this](int answer) {
             if (answer == kStopPage) {
               StopPage();
             } else {
               DropQuestions();
             }
           });
  return true;
}

}  // namespace corvane::gtk
