#include "platform/gtk/save_page.h"

#include <glib/gstdio.h>

#include <string>

namespace corvane::gtk {

namespace {

GtkWindow* WindowOf(WebKitWebView* view) {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  return gtk_widget_is_toplevel(top) != FALSE ? GTK_WINDOW(top) : nullptr;
}

// The name proposed for the page: its title (its host when it has none) as
// one file name part, with the archive's extension.
std::string ProposedName(WebKitWebView* view) {
  const gchar* title = webkit_web_view_get_title(view);
  std::string name = title != nullptr ? title : "";
  if (name.empty()) {
    const gchar* uri = webkit_web_view_get_uri(view);
    GUri* parsed = uri != nullptr ? g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr) : nullptr;
    if (parsed != nullptr) {
      name = g_uri_get_host(parsed) != nullptr ? g_uri_get_host(parsed) : "";
      g_uri_unref(parsed);
    }
  }
  for (char& c : name) {
    if (c == '/' || c == '\\') {
      c = '_';  // a title is no path
    }
  }
  return (name.empty() ? std::string("page") : name) + ".mhtml";
}

}  // namespace

struct PageSaver::Shared {
  explicit Shared(WebKitWebView* page) : view(page) {}
  WebKitWebView* view;
  Notices notices;
  GObjectPtr<GCancellable> cancel{g_cancellable_new()};
};

struct PageSaver::Writing {
  std::weak_ptr<Shared> saver;
  std::string path;
  bool existed;  // the user chose to replace a file
};

PageSaver::PageSaver(WebKitWebView* view)
    : view_(view), shared_(std::make_shared<Shared>(view)) {}

PageSaver::~PageSaver() { g_cancellable_cancel(shared_->cancel.get()); }

void PageSaver::Save() {
  if (dialog_) {
    gtk_window_present(GTK_WINDOW(dialog_.get()));
    return;
  }
  const gchar* uri = webkit_web_view_get_uri(view_);
  const std::string from = std::string("From ") + (uri != nullptr ? uri : "this page");
  dialog_ = NewSaveDialog("Save Page", WindowOf(view_), ProposedName(view_), from);
  g_signal_connect(dialog_.get(), "response", G_CALLBACK(&PageSaver::OnAnswer), this);
  gtk_widget_show(dialog_.get());
}

void PageSaver::OnAnswer(GtkDialog* /*dialog*/, gint response, gpointer self) {
  auto* saver = static_cast<PageSaver*>(self);
  try {
    const std::string chosen =
        response == GTK_RESPONSE_ACCEPT ? ChosenFile(saver->dialog_.get()) : std::string();
    saver->dialog_.reset();
    if (chosen.empty()) {
      return;  // cancelled: nothing is written
    }
    auto writing = std::make_unique<Writing>(
        Writing{saver->shared_, chosen, g_file_test(chosen.c_str(), G_FILE_TEST_EXISTS) != FALSE});
    const GObjectPtr<GFile> file(g_file_new_for_path(chosen.c_str()));
    webkit_web_view_save_to_file(saver->view_, file.get(), WEBKIT_SAVE_MODE_MHTML,
                                 saver->shared_->cancel.get(), &PageSaver::OnSaved,
                                 writing.release());
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into GTK
  }
}

void PageSaver::OnSaved(GObject* view, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<Writing> writing(static_cast<Writing*>(data));
  GError* error = nullptr;
  const bool saved =
      webkit_web_view_save_to_file_finish(WEBKIT_WEB_VIEW(view), result, &error) != FALSE;
  const std::string why = error != nullptr && error->message != nullptr ? error->message
                                                                         : "unknown error";
  const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) != FALSE;
  g_clear_error(&error);
  if (!saved && !writing->existed) {
    g_remove(writing->path.c_str());  // nothing half written stays
  }
  const std::shared_ptr<Shared> saver = writing->saver.lock();
  if (!saver || cancelled) {
    return;  // the window has gone meanwhile
  }
  try {
    const std::string name = Shown(Taken(g_path_get_basename(writing->path.c_str())));
    GtkWindow* parent = WindowOf(saver->view);
    if (saved) {
      const std::string folder = Taken(g_path_get_dirname(writing->path.c_str()));
      saver->notices.Show(parent, "Page Saved", name + " was saved in " + Shown(folder) + ".");
    } else {
      saver->notices.Show(parent, "Page Not Saved",
                          name + " could not be saved: " + why + ".\nNothing was kept.");
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

}  // namespace corvane::gtk
