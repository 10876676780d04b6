// Saving the page shown as one file: the engine's single-file web archive
// (MHTML), with the download rules. A save dialog proposes the download
// folder and a safe, unique name made from the page's title; Cancel writes
// nothing; a notice says where the page went or why it could not be saved,
// and a failed save leaves no file behind.
#pragma once

#include <webkit2/webkit2.h>

#include <memory>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/save_dialog.h"

namespace corvane::gtk {

class PageSaver {
 public:
  explicit PageSaver(WebKitWebView* view);
  // A save still being written is cancelled, and its file removed.
  ~PageSaver();
  PageSaver(const PageSaver&) = delete;
  PageSaver& operator=(const PageSaver&) = delete;

  // Asks where, then saves. While the dialog is open a second request only
  // brings it to the front.
  void Save();

 private:
  struct Shared;  // what a save under way needs after the saver has gone
  struct Writing;
  static void OnAnswer(GtkDialog* dialog, gint response, gpointer self);
  static void OnSaved(GObject* view, GAsyncResult* result, gpointer data);

  WebKitWebView* view_;
  OwnedWidget dialog_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace corvane::gtk
