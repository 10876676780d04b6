// A box that asks the user about the page shown, without stopping the
// program: it stays over the browser window and answers through a callback.
// A box that leaves the keyboard with the browser window (for a page that
// loses what it asked for once its window is no longer the active one) is
// answered by a click; Esc pressed in the browser window closes it. Its
// mnemonics are not taken from there: Alt+A is the browser's own.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gtk/gobject_ptr.h"

namespace corvane::gtk {

// A button label with its access key marked for GTK ("&Wait" -> "_Wait").
inline std::string Mnemonic(std::string label) {
  for (char& c : label) {
    if (c == '&') {
      c = '_';
    }
  }
  return label;
}

class QuestionBox {
 public:
  enum class Keyboard { kTaken, kLeftWithParent };
  using Answer = std::function<void(int)>;
  QuestionBox() = default;
  ~QuestionBox() { Close(); }
  QuestionBox(const QuestionBox&) = delete;
  QuestionBox& operator=(const QuestionBox&) = delete;

  // Shows a box titled `title` over `parent` with `text`, `detail` and one
  // button per (label, answer) pair (labels may hold a mnemonic: "_Wait");
  // the first button has the focus. A box already shown is closed first.
  // `answer` gets the answer of the button pressed; closing the box by its
  // title bar (or Esc) answers `closed`. With Keyboard::kLeftWithParent the
  // box never takes the focus from `parent`.
  void Ask(GtkWindow* parent, const std::string& title, const std::string& text,
           const std::string& detail, const std::vector<std::pair<std::string, int>>& buttons,
           int closed, Answer answer, Keyboard keyboard = Keyboard::kTaken);
  // Closes the box without an answer.
  void Close();
  [[nodiscard]] bool Shown() const { return box_ != nullptr; }

 private:
  static void OnResponse(GtkDialog* dialog, gint response, gpointer self);
  static gboolean OnParentKey(GtkWidget* parent, GdkEvent* event, gpointer self);

  GtkWidget* box_ = nullptr;  // owned while shown
  gulong handler_ = 0;
  GObjectPtr<GtkWidget> parent_;  // whose keys the box takes, if any
  gulong parentHandler_ = 0;
  int closed_ = 0;
  Answer answer_;
};

}  // namespace corvane::gtk
