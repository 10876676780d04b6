#include "platform/gtk/question_box.h"

namespace corvane::gtk {

namespace {

// Once on the screen the box takes the keyboard, also where no window
// manager hands it over.
gboolean Present(GtkWidget* box, GdkEvent* /*event*/, gpointer /*data*/) {
  gdk_window_focus(gtk_widget_get_window(box), GDK_CURRENT_TIME);
  return FALSE;
}

}  // namespace

void QuestionBox::Ask(GtkWindow* parent, const std::string& title, const std::string& text,
                      const std::string& detail,
                      const std::vector<std::pair<std::string, int>>& buttons, int closed,
                      Answer answer, Keyboard keyboard) {
  Close();
  box_ = gtk_message_dialog_new(parent, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_WARNING,
                                GTK_BUTTONS_NONE, "%s", text.c_str());
  g_object_ref_sink(box_);
  if (!detail.empty()) {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(box_), "%s", detail.c_str());
  }
  gtk_window_set_title(GTK_WINDOW(box_), title.c_str());
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(box_), TRUE);
  gtk_window_set_position(GTK_WINDOW(box_), GTK_WIN_POS_CENTER_ON_PARENT);
  for (const auto& [label, id] : buttons) {
    gtk_dialog_add_button(GTK_DIALOG(box_), label.c_str(), id);
  }
  if (!buttons.empty()) {
    gtk_dialog_set_default_response(GTK_DIALOG(box_), buttons.front().second);
  }
  closed_ = closed;
  answer_ = std::move(answer);
  handler_ = g_signal_connect(box_, "response", G_CALLBACK(&QuestionBox::OnResponse), this);
  if (keyboard == Keyboard::kTaken || parent == nullptr) {
    g_signal_connect(box_, "map-event", G_CALLBACK(&Present), nullptr);
  } else {
    gtk_window_set_accept_focus(GTK_WINDOW(box_), FALSE);
    gtk_window_set_focus_on_map(GTK_WINDOW(box_), FALSE);
    // Ahead of the window's own key handling and the page's.
    parent_ = GObjectPtr<GtkWidget>(GTK_WIDGET(g_object_ref(parent)));
    parentHandler_ =
        g_signal_connect(parent, "event", G_CALLBACK(&QuestionBox::OnParentKey), this);
  }
  gtk_widget_show(box_);
}

void QuestionBox::Close() {
  if (box_ == nullptr) {
    return;
  }
  GtkWidget* box = std::exchange(box_, nullptr);
  g_signal_handler_disconnect(box, handler_);
  if (parent_ && g_signal_handler_is_connected(parent_.get(), parentHandler_) != FALSE) {
    g_signal_handler_disconnect(parent_.get(), parentHandler_);
  }
  parent_.reset();
  answer_ = nullptr;
  gtk_widget_destroy(box);
  g_object_unref(box);
}

void QuestionBox::OnResponse(GtkDialog* /*dialog*/, gint response, gpointer self) {
  auto* box = static_cast<QuestionBox*>(self);
  const int answer = response >= 0 ? response : box->closed_;
  // The answer may show another box or end this one's owner: the box is
  // gone before it runs.
  Answer run = std::move(box->answer_);
  box->Close();
  if (run) {
    run(answer);
  }
}

gboolean QuestionBox::OnParentKey(GtkWidget* /*parent*/, GdkEvent* event, gpointer self) {
  auto* box = static_cast<QuestionBox*>(self);
  if (event->type != GDK_KEY_PRESS || box->box_ == nullptr) {
    return FALSE;
  }
  const GdkEventKey& key = event->key;
  if (key.keyval != GDK_KEY_Escape ||
      (key.state & gtk_accelerator_get_default_mod_mask()) != 0) {
    return FALSE;
  }
  gtk_dialog_response(GTK_DIALOG(box->box_), GTK_RESPONSE_DELETE_EVENT);
  return TRUE;
}

}  // namespace corvane::gtk
