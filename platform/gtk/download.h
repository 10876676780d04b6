// The parts of the downloads (downloads.h) the two files share: one
// download from its question to its notice (download.cpp), and every
// download of a web context with its notices (downloads.cpp).
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/save_dialog.h"

namespace corvane::gtk {

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
  explicit Downloads(WebKitWebContext* context);
  ~Downloads();
  Downloads(const Downloads&) = delete;
  Downloads& operator=(const Downloads&) = delete;

  // A download needs its question: the offering page's policy hears of it.
  // One question is on screen at a time and a few wait their turn; a page
  // that asks for more has them refused, as its policy says, so it can
  // never bury the user in dialogs.
  void Question(Download* download, WebKitDownload* engine);

  // `download` needs no question any more (answered, ended, or gone): the
  // next one waiting is asked.
  void Answered(Download* download);

  // A download has ended: it goes once its signal has returned.
  void Ended();

  // A message box with one OK button over `parent`; it does not hold up the
  // main loop, so the engine and the other downloads go on meanwhile.
  void Notice(GtkWindow* parent, const std::string& title, const std::string& text) {
    notices_.Show(parent, title, text);
  }

 private:
  static void OnStarted(WebKitWebContext* context, WebKitDownload* download, gpointer self);
  static gboolean Sweep(gpointer self);


  std::vector<std::unique_ptr<Download>> running_;
  Download* asking_ = nullptr;      // its question is on screen
  std::vector<Download*> waiting_;  // for their questions, in turn
  Notices notices_;
  guint sweep_ = 0;
  bool closing_ = false;
};

}  // namespace corvane::gtk
