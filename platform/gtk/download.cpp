// One download, from the question to the notice.
#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/kit/download_names.h"
#include "platform/gtk/download.h"

namespace corvane::gtk {

namespace {

// The window of the view the download came from, if it has one.
GtkWindow* WindowOf(WebKitDownload* download) {
  WebKitWebView* view = webkit_download_get_web_view(download);
  if (view == nullptr) {
    return nullptr;
  }
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  return gtk_widget_is_toplevel(top) != FALSE ? GTK_WINDOW(top) : nullptr;
}

}  // namespace

Download::Download(Downloads& owner, WebKitDownload* download)
    : owner_(owner),
      download_(GObjectPtr<WebKitDownload>(static_cast<WebKitDownload*>(g_object_ref(download)))) {
  On("decide-destination", &Download::OnDecideDestination);
  On("created-destination", &Download::OnCreatedDestination);
  On("received-data", &Download::OnReceivedData);
  On("failed", &Download::OnFailed);
  On("finished", &Download::OnFinished);
}

Download::~Download() {
  owner_.Answered(this);
  for (const gulong handler : handlers_) {
    g_signal_handler_disconnect(download_.get(), handler);
  }
  if (!ended_) {
    // Still asking or running as the program ends: nothing may stay behind.
    webkit_download_cancel(download_.get());
    RemovePartialFile();
  }
}

void Download::Ask() noexcept {
  try {
    ShowQuestion();
  } catch (...) {
    dialog_.reset();
    try {
      Refuse();
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
    }
  }
}

void Download::Refuse() {
  cancelled_ = true;
  webkit_download_cancel(download_.get());
}

void Download::ShowQuestion() {
  // Where it comes from, so the user knows what is asked.
  WebKitURIRequest* request = webkit_download_get_request(download_.get());
  const gchar* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
  const std::string from = std::string("From ") + (uri != nullptr ? uri : "an unknown address");
  dialog_ = NewSaveDialog("Save Download", WindowOf(download_.get()), suggested_, from);
  GtkWidget* dialog = dialog_.get();
  name_ = Taken(gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog)));
  g_signal_connect(dialog, "response", G_CALLBACK(&Download::OnDialogResponse), this);
  gtk_widget_show(dialog);
}

void Download::Answer(int response) {
  std::string chosen;
  if (response == GTK_RESPONSE_ACCEPT) {
    chosen = ChosenFile(dialog_.get());
  }
  dialog_.reset();
  owner_.Answered(this);
  if (chosen.empty()) {
    Refuse();
    return;
  }
  path_ = chosen;
  name_ = Shown(Taken(g_path_get_basename(chosen.c_str())));
  const std::string uri = Taken(g_filename_to_uri(chosen.c_str(), nullptr, nullptr));
  if (uri.empty()) {
    Refuse();
    return;
  }
  // The dialog has asked before an existing file is replaced.
  webkit_download_set_allow_overwrite(download_.get(),
                                      g_file_test(chosen.c_str(), G_FILE_TEST_EXISTS));
  ShowProgress();
  webkit_download_set_destination(download_.get(), uri.c_str());
}

void Download::ShowProgress() {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  progress_ = Own(window);
  const std::string title = "Downloading " + name_;
  gtk_window_set_title(GTK_WINDOW(window), title.c_str());
  if (GtkWindow* parent = WindowOf(download_.get()); parent != nullptr) {
    gtk_window_set_transient_for(GTK_WINDOW(window), parent);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ON_PARENT);
  }
  gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_focus_on_map(GTK_WINDOW(window), FALSE);  // browsing goes on meanwhile
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
  gtk_container_set_border_width(GTK_CONTAINER(window), 12);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
  GtkWidget* text = gtk_label_new(name_.c_str());
  gtk_label_set_ellipsize(GTK_LABEL(text), PANGO_ELLIPSIZE_MIDDLE);
  gtk_label_set_width_chars(GTK_LABEL(text), 40);
  gtk_label_set_xalign(GTK_LABEL(text), 0.0F);
  GtkWidget* bar = gtk_progress_bar_new();
  GtkWidget* cancel = gtk_button_new_with_mnemonic("_Cancel");
  gtk_widget_set_halign(cancel, GTK_ALIGN_END);
  gtk_box_pack_start(GTK_BOX(box), text, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), cancel, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window), box);
  g_signal_connect(cancel, "clicked", G_CALLBACK(&Download::OnCancel), this);
  g_signal_connect(window, "delete-event", G_CALLBACK(&Download::OnProgressClosed), this);
  progressText_ = GTK_LABEL(text);
  progressBar_ = GTK_PROGRESS_BAR(bar);
  gtk_widget_show_all(window);
}

void Download::UpdateProgress() {
  if (!progress_) {
    return;
  }
  const guint64 received = webkit_download_get_received_data_length(download_.get());
  WebKitURIResponse* response = webkit_download_get_response(download_.get());
  const guint64 total = response != nullptr ? webkit_uri_response_get_content_length(response) : 0;
  std::string text = name_ + ": " + Taken(g_format_size(received));
  if (total > 0) {
    text += " of " + Taken(g_format_size(total));
    gtk_progress_bar_set_fraction(
        progressBar_,
        std::clamp(webkit_download_get_estimated_progress(download_.get()), 0.0, 1.0));
  } else {
    gtk_progress_bar_pulse(progressBar_);
  }
  gtk_label_set_text(progressText_, text.c_str());
}

void Download::Fail(const GError* error) {
  if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER) ==
      FALSE) {
    failure_ = error != nullptr && error->message != nullptr ? error->message : "unknown error";
  }
  dialog_.reset();
  owner_.Answered(this);
  RemovePartialFile();
}

void Download::Finish() {
  ended_ = true;
  dialog_.reset();
  progress_.reset();
  owner_.Answered(this);
  if (failure_.empty() && !cancelled_ && !path_.empty()) {
    failure_ = Truncation();
    if (!failure_.empty()) {
      created_ = true;  // the engine took it for complete: the file is there
      RemovePartialFile();
    }
  }
  GtkWindow* parent = WindowOf(download_.get());
  if (!failure_.empty()) {
    const std::string what = name_.empty() ? std::string("The file") : name_;
    owner_.Notice(parent, "Download Failed",
                  what + " could not be downloaded: " + failure_ + ".\nNothing was kept.");
  } else if (!cancelled_ && !path_.empty()) {
    const std::string folder = Taken(g_path_get_dirname(path_.c_str()));
    owner_.Notice(parent, "Download Complete", name_ + " was saved in " + Shown(folder) + ".");
  }
  owner_.Ended();
}

// The engine takes a connection that closes early for the end of the file;
// a body shorter than its announced length did not arrive whole. (A
// compressed body's length is not that of the data it gives.)
std::string Download::Truncation() const {
  WebKitURIResponse* response = webkit_download_get_response(download_.get());
  if (response == nullptr) {
    return {};
  }
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* encoding =
      headers != nullptr ? soup_message_headers_get_one(headers, "Content-Encoding") : nullptr;
  if (encoding != nullptr && g_ascii_strcasecmp(encoding, "identity") != 0) {
    return {};
  }
  const guint64 expected = webkit_uri_response_get_content_length(response);
  const guint64 received = webkit_download_get_received_data_length(download_.get());
  if (expected == 0 || received >= expected) {
    return {};
  }
  return "the connection closed after " + Taken(g_format_size(received)) + " of " +
         Taken(g_format_size(expected));
}

// A file the engine began to write is not left half written: neither the
// file at the chosen name nor the one it gathers the data in meanwhile.
void Download::RemovePartialFile() {
  if (created_ && !path_.empty()) {
    g_remove(path_.c_str());
    g_remove((path_ + ".wkdownload").c_str());
    created_ = false;
  }
}

gboolean Download::OnDecideDestination(WebKitDownload* engine, gchar* suggested,
                                       gpointer self) {
  auto* download = static_cast<Download*>(self);
  try {
    download->suggested_ = suggested != nullptr ? suggested : "";
    download->owner_.Question(download, engine);
  } catch (...) {
    download->Refuse();
  }
  return TRUE;  // the answer comes later; until then the engine writes nothing
}

void Download::OnCreatedDestination(WebKitDownload* /*download*/, gchar* /*destination*/,
                                    gpointer self) {
  static_cast<Download*>(self)->created_ = true;
}

void Download::OnReceivedData(WebKitDownload* /*download*/, guint64 /*length*/, gpointer self) {
  try {
    static_cast<Download*>(self)->UpdateProgress();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

void Download::OnFailed(WebKitDownload* /*download*/, GError* error, gpointer self) {
  try {
    static_cast<Download*>(self)->Fail(error);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

void Download::OnFinished(WebKitDownload* /*download*/, gpointer self) {
  try {
    static_cast<Download*>(self)->Finish();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the engine
  }
}

void Download::OnDialogResponse(GtkDialog* /*dialog*/, gint response, gpointer self) {
  try {
    static_cast<Download*>(self)->Answer(response);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into GTK
  }
}

void Download::OnCancel(GtkWidget* /*widget*/, gpointer self) {
  static_cast<Download*>(self)->Refuse();
}

gboolean Download::OnProgressClosed(GtkWidget* widget, GdkEvent* /*event*/, gpointer self) {
  OnCancel(widget, self);
  return TRUE;  // the window goes when the download has ended
}

}  // namespace corvane::gtk
