#include "platform/gtk/downloads.h"

#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/download_names.h"
#include "platform/gtk/gobject_ptr.h"

namespace corvane::gtk {

namespace {

// A top-level window of ours: destroyed when it goes. It keeps a reference,
// so a window GTK has destroyed meanwhile is still safe to let go.
struct WidgetDestroyer {
  void operator()(GtkWidget* widget) const noexcept {
    gtk_widget_destroy(widget);
    g_object_unref(widget);
  }
};
using OwnedWidget = std::unique_ptr<GtkWidget, WidgetDestroyer>;

OwnedWidget Own(GtkWidget* window) { return OwnedWidget(GTK_WIDGET(g_object_ref(window))); }

// A string GLib hands over, as a std::string ("" for none).
std::string Taken(gchar* owned) {
  const std::unique_ptr<gchar, decltype(&g_free)> text(owned, &g_free);
  return text ? std::string(text.get()) : std::string();
}

std::string Shown(const std::string& path) { return Taken(g_filename_display_name(path.c_str())); }

// The window of the view the download came from, if it has one.
GtkWindow* WindowOf(WebKitDownload* download) {
  WebKitWebView* view = webkit_download_get_web_view(download);
  if (view == nullptr) {
    return nullptr;
  }
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  return gtk_widget_is_toplevel(top) != FALSE ? GTK_WINDOW(top) : nullptr;
}

// Once on the screen a window that asks takes the keyboard, also where no
// window manager hands it over.
gboolean TakeFocus(GtkWidget* window, GdkEvent* /*event*/, gpointer /*data*/) {
  gdk_window_focus(gtk_widget_get_window(window), GDK_CURRENT_TIME);
  return FALSE;
}

class Downloads;

// One download, from the question to the notice.
class Download {
 public:
  Download(Downloads& owner, WebKitDownload* download);
  ~Download();
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  [[nodiscard]] bool Ended() const { return ended_; }
  // Puts the question now (the owner asks one at a time).
  void Ask() noexcept;
  // Ends the download unasked: nothing is saved and nothing is said.
  void Refuse();

 private:
  template <class Callback>
  void On(const char* signal, Callback callback) {
    handlers_.push_back(g_signal_connect(download_.get(), signal, G_CALLBACK(callback), this));
  }

  void ShowQuestion();
  void Answer(int response);
  void ShowProgress();
  void UpdateProgress();
  void Fail(const GError* error);
  void Finish();
  void RemovePartialFile();
  [[nodiscard]] std::string Truncation() const;

  static gboolean OnDecideDestination(WebKitDownload* download, gchar* suggested, gpointer self);
  static void OnCreatedDestination(WebKitDownload* download, gchar* destination, gpointer self);
  static void OnReceivedData(WebKitDownload* download, guint64 length, gpointer self);
  static void OnFailed(WebKitDownload* download, GError* error, gpointer self);
  static void OnFinished(WebKitDownload* download, gpointer self);
  static void OnDialogResponse(GtkDialog* dialog, gint response, gpointer self);
  static void OnCancel(GtkWidget* widget, gpointer self);
  static gboolean OnProgressClosed(GtkWidget* widget, GdkEvent* event, gpointer self);

  Downloads& owner_;
  GObjectPtr<WebKitDownload> download_;
  std::vector<gulong> handlers_;
  OwnedWidget dialog_;    // the question, while it is asked
  OwnedWidget progress_;  // the progress window, while the transfer runs
  GtkLabel* progressText_ = nullptr;
  GtkProgressBar* progressBar_ = nullptr;
  std::string suggested_;   // the name the engine proposes
  std::string name_;        // the file's name, as shown
  std::string path_;        // where the user chose to save it
  bool created_ = false;    // the engine has made the file at path_
  bool cancelled_ = false;  // by the user: it ends without a notice
  bool ended_ = false;
  std::string failure_;
};

// Every download of one web context, and the notices still on screen.
class Downloads {
 public:
  explicit Downloads(WebKitWebContext* context) {
    g_signal_connect(context, "download-started", G_CALLBACK(&Downloads::OnStarted), this);
  }
  ~Downloads() {
    closing_ = true;
    running_.clear();
    if (sweep_ != 0) {
      g_source_remove(sweep_);
    }
  }
  Downloads(const Downloads&) = delete;
  Downloads& operator=(const Downloads&) = delete;

  // A download needs its question. One question is on screen at a time and
  // a few wait their turn; a page that asks for more has them refused, so it
  // can never bury the user in dialogs.
  void Question(Download* download) {
    if (asking_ == nullptr) {
      asking_ = download;
      download->Ask();
    } else if (waiting_.size() < kMostWaiting) {
      waiting_.push_back(download);
    } else {
      download->Refuse();
    }
  }

  // `download` needs no question any more (answered, ended, or gone): the
  // next one waiting is asked.
  void Answered(Download* download) {
    if (closing_) {
      return;
    }
    std::erase(waiting_, download);
    if (asking_ == download) {
      asking_ = nullptr;
    }
    while (asking_ == nullptr && !waiting_.empty()) {
      asking_ = waiting_.front();
      waiting_.erase(waiting_.begin());
      asking_->Ask();
    }
  }

  // A download has ended: it goes once its signal has returned.
  void Ended() {
    if (sweep_ == 0) {
      sweep_ = g_idle_add(&Downloads::Sweep, this);
    }
  }

  // A message box with one OK button over `parent`; it does not hold up the
  // main loop, so the engine and the other downloads go on meanwhile.
  void Notice(GtkWindow* parent, const std::string& title, const std::string& text) {
    GtkWidget* box = gtk_message_dialog_new(parent, GTK_DIALOG_DESTROY_WITH_PARENT,
                                            GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", text.c_str());
    notices_.push_back(Own(box));
    gtk_window_set_title(GTK_WINDOW(box), title.c_str());
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(box), TRUE);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER_ON_PARENT);
    g_signal_connect(box, "map-event", G_CALLBACK(&TakeFocus), nullptr);
    g_signal_connect(box, "response", G_CALLBACK(&Downloads::OnNoticeClosed), this);
    gtk_widget_show(box);
  }

 private:
  static void OnStarted(WebKitWebContext* /*context*/, WebKitDownload* download, gpointer self) {
    auto* downloads = static_cast<Downloads*>(self);
    try {
      downloads->running_.push_back(std::make_unique<Download>(*downloads, download));
    } catch (...) {
      webkit_download_cancel(download);  // what cannot ask is not saved
    }
  }

  static gboolean Sweep(gpointer self) {
    auto* downloads = static_cast<Downloads*>(self);
    downloads->sweep_ = 0;
    std::erase_if(downloads->running_, [](const auto& download) { return download->Ended(); });
    return G_SOURCE_REMOVE;
  }

  static void OnNoticeClosed(GtkDialog* box, gint /*response*/, gpointer self) {
    std::erase_if(static_cast<Downloads*>(self)->notices_,
                  [box](const OwnedWidget& notice) { return notice.get() == GTK_WIDGET(box); });
  }

  static constexpr std::size_t kMostWaiting = 3;

  std::vector<std::unique_ptr<Download>> running_;
  Download* asking_ = nullptr;      // its question is on screen
  std::vector<Download*> waiting_;  // for their questions, in turn
  std::vector<OwnedWidget> notices_;
  guint sweep_ = 0;
  bool closing_ = false;
};

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
  const char* home = g_get_home_dir();
  const std::string folder = DownloadsFolder(g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD),
                                             home != nullptr ? home : "");
  g_mkdir_with_parents(folder.c_str(), 0755);
  name_ = UniqueFileName(SafeFileName(suggested_), [&](const std::string& name) {
    return g_file_test((folder + "/" + name).c_str(), G_FILE_TEST_EXISTS) != FALSE;
  });

  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      "Save Download", WindowOf(download_.get()), GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
      GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
  dialog_ = Own(dialog);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  gtk_file_chooser_set_current_folder(chooser, folder.c_str());
  gtk_file_chooser_set_current_name(chooser, name_.c_str());
  // Where it comes from, so the user knows what is asked.
  WebKitURIRequest* request = webkit_download_get_request(download_.get());
  const gchar* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
  const std::string from = std::string("From ") + (uri != nullptr ? uri : "an unknown address");
  GtkWidget* source = gtk_label_new(from.c_str());
  gtk_label_set_ellipsize(GTK_LABEL(source), PANGO_ELLIPSIZE_MIDDLE);
  gtk_label_set_xalign(GTK_LABEL(source), 0.0F);
  gtk_file_chooser_set_extra_widget(chooser, source);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  g_signal_connect(dialog, "map-event", G_CALLBACK(&TakeFocus), nullptr);
  g_signal_connect(dialog, "response", G_CALLBACK(&Download::OnDialogResponse), this);
  gtk_widget_show(dialog);
}

void Download::Answer(int response) {
  std::string chosen;
  if (response == GTK_RESPONSE_ACCEPT) {
    chosen = Taken(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog_.get())));
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

gboolean Download::OnDecideDestination(WebKitDownload* /*download*/, gchar* suggested,
                                       gpointer self) {
  auto* download = static_cast<Download*>(self);
  try {
    download->suggested_ = suggested != nullptr ? suggested : "";
    download->owner_.Question(download);
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

gboolean OnDecidePolicy(WebKitWebView* /*view*/, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer /*data*/) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    return FALSE;
  }
  auto* responseDecision = WEBKIT_RESPONSE_POLICY_DECISION(decision);
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(responseDecision);
  SoupMessageHeaders* headers =
      response != nullptr ? webkit_uri_response_get_http_headers(response) : nullptr;
  const char* disposition =
      headers != nullptr ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
  if ((disposition != nullptr && IsAttachment(disposition)) ||
      webkit_response_policy_decision_is_mime_type_supported(responseDecision) == FALSE) {
    webkit_policy_decision_download(decision);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void GuardDownloads(WebKitWebContext* context) {
  auto downloads = std::make_unique<Downloads>(context);
  // The context owns it from here and ends it with itself.
  g_object_set_data_full(
      G_OBJECT(context), "corvane-downloads", downloads.release(),
      [](gpointer data) { const std::unique_ptr<Downloads> owned(static_cast<Downloads*>(data)); });
}

void DownloadUnshownResponses(WebKitWebView* view) {
  g_signal_connect(view, "decide-policy", G_CALLBACK(&OnDecidePolicy), nullptr);
}

}  // namespace corvane::gtk
