// What saving a file from the web view asks and says, shared by downloads
// (download.cpp) and saving the page (save_page.cpp): the save dialog in the
// download folder with a safe, unique name, and the notice at the end.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

namespace corvane::gtk {

// A top-level window of ours: destroyed when it goes. It keeps a reference,
// so a window GTK has destroyed meanwhile is still safe to let go.
struct WidgetDestroyer {
  void operator()(GtkWidget* widget) const noexcept {
    gtk_widget_destroy(widget);
    g_object_unref(widget);
  }
};
using OwnedWidget = std::unique_ptr<GtkWidget, WidgetDestroyer>;

inline OwnedWidget Own(GtkWidget* window) { return OwnedWidget(GTK_WIDGET(g_object_ref(window))); }

// Once on the screen a window that asks takes the keyboard, also where no
// window manager hands it over.
gboolean TakeFocus(GtkWidget* window, GdkEvent* event, gpointer data);

// A string GLib hands over, as a std::string ("" for none).
std::string Taken(gchar* owned);
// A file name as the user reads it.
std::string Shown(const std::string& path);

// A modal save dialog titled `title` over `parent` in the download folder
// (made now), proposing `suggested` made safe and unique there; `from` says
// under it where the file comes from. It replaces a file only after asking.
OwnedWidget NewSaveDialog(const char* title, GtkWindow* parent, const std::string& suggested,
                          const std::string& from);
// The file chosen in an accepted save dialog ("" for none).
std::string ChosenFile(GtkWidget* dialog);

// Message boxes with one OK button that do not hold up the main loop; the
// ones still on screen go with their owner.
class Notices {
 public:
  void Show(GtkWindow* parent, const std::string& title, const std::string& text);

 private:
  static void OnClosed(GtkDialog* box, gint response, gpointer self);
  std::vector<OwnedWidget> shown_;
};

}  // namespace corvane::gtk
