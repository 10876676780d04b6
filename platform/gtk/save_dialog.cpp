#include "platform/gtk/save_dialog.h"

#include <glib/gstdio.h>

#include "platform/kit/download_names.h"

namespace corvane::gtk {

gboolean TakeFocus(GtkWidget* window, GdkEvent* /*event*/, gpointer /*data*/) {
  gdk_window_focus(gtk_widget_get_window(window), GDK_CURRENT_TIME);
  return FALSE;
}

std::string Taken(gchar* owned) {
  const std::unique_ptr<gchar, decltype(&g_free)> text(owned, &g_free);
  return text ? std::string(text.get()) : std::string();
}

std::string Shown(const std::string& path) { return Taken(g_filename_display_name(path.c_str())); }

OwnedWidget NewSaveDialog(const char* title, GtkWindow* parent, const std::string& suggested,
                          const std::string& from) {
  const char* home = g_get_home_dir();
  const std::string folder = DownloadsFolder(g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD),
                                             home != nullptr ? home : "");
  g_mkdir_with_parents(folder.c_str(), 0755);
  const std::string name = UniqueFileName(SafeFileName(suggested), [&](const std::string& n) {
    return g_file_test((folder + "/" + n).c_str(), G_FILE_TEST_EXISTS) != FALSE;
  });

  GtkWidget* dialog =
      gtk_file_chooser_dialog_new(title, parent, GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
                                  GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
  OwnedWidget owned = Own(dialog);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  gtk_file_chooser_set_current_folder(chooser, folder.c_str());
  gtk_file_chooser_set_current_name(chooser, name.c_str());
  // Where it comes from, so the user knows what is asked.
  GtkWidget* source = gtk_label_new(from.c_str());
  gtk_label_set_ellipsize(GTK_LABEL(source), PANGO_ELLIPSIZE_MIDDLE);
  gtk_label_set_xalign(GTK_LABEL(source), 0.0F);
  gtk_file_chooser_set_extra_widget(chooser, source);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  g_signal_connect(dialog, "map-event", G_CALLBACK(&TakeFocus), nullptr);
  return owned;
}

std::string ChosenFile(GtkWidget* dialog) {
  return Taken(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
}

void Notices::Show(GtkWindow* parent, const std::string& title, const std::string& text) {
  GtkWidget* box = gtk_message_dialog_new(parent, GTK_DIALOG_DESTROY_WITH_PARENT,
                                          GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", text.c_str());
  shown_.push_back(Own(box));
  gtk_window_set_title(GTK_WINDOW(box), title.c_str());
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(box), TRUE);
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER_ON_PARENT);
  g_signal_connect(box, "map-event", G_CALLBACK(&TakeFocus), nullptr);
  g_signal_connect(box, "response", G_CALLBACK(&Notices::OnClosed), this);
  gtk_widget_show(box);
}

void Notices::OnClosed(GtkDialog* box, gint /*response*/, gpointer self) {
  std::erase_if(static_cast<Notices*>(self)->shown_,
                [box](const OwnedWidget& notice) { return notice.get() == GTK_WIDGET(box); });
}

}  // namespace corvane::gtk
