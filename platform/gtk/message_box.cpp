#include "platform/gtk/message_box.h"

#include <gtk/gtk.h>

namespace corvane::gtk {

namespace {

// The program's window that has the focus, or nullptr.
GtkWindow* ActiveWindow() {
  GList* windows = gtk_window_list_toplevels();
  GtkWindow* active = nullptr;
  for (GList* item = windows; item != nullptr; item = item->next) {
    auto* window = GTK_WINDOW(item->data);
    if (gtk_window_is_active(window) != FALSE && gtk_widget_get_visible(GTK_WIDGET(window)) != FALSE) {
      active = window;
      break;
    }
  }
  g_list_free(windows);
  return active;
}

// Once on the screen the box takes the keyboard, also where no window
// manager hands it over.
gboolean Present(GtkWidget* box, GdkEvent* /*event*/, gpointer /*data*/) {
  // The current server time: an older user time would lose to a focus set
  // since by another client.
  gdk_window_focus(gtk_widget_get_window(box), GDK_CURRENT_TIME);
  return FALSE;
}

}  // namespace

void ShowMessageBox(const std::string& title, const std::string& text) {
  GtkWidget* box = gtk_message_dialog_new(ActiveWindow(), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                          GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(box), title.c_str());
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(box), TRUE);
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER_ON_PARENT);
  g_signal_connect(box, "map-event", G_CALLBACK(&Present), nullptr);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
}

}  // namespace corvane::gtk
