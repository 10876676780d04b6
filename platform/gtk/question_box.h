// A box that asks the user about the page shown, without stopping the
// program: it stays over the browser window and answers through a callback.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace corvane::gtk {

class QuestionBox {
 public:
  using Answer = std::function<void(int)>;
  QuestionBox() = default;
  ~QuestionBox() { Close(); }
  QuestionBox(const QuestionBox&) = delete;
  QuestionBox& operator=(const QuestionBox&) = delete;

  // Shows a box titled `title` over `parent` with `text`, `detail` and one
  // button per (label, answer) pair (labels may hold a mnemonic: "_Wait");
  // the first button has the focus. A box already shown is closed first.
  // `answer` gets the answer of the button pressed; closing the box by its
  // title bar answers `closed`.
  void Ask(GtkWindow* parent, const std::string& title, const std::string& text,
           const std::string& detail, const std::vector<std::pair<std::string, int>>& buttons,
           int closed, Answer answer);
  // Closes the box without an answer.
  void Close();
  [[nodiscard]] bool Shown() const { return box_ != nullptr; }

 private:
  static void OnResponse(GtkDialog* dialog, gint response, gpointer self);

  GtkWidget* box_ = nullptr;  // owned while shown
  gulong handler_ = 0;
  int closed_ = 0;
  Answer answer_;
};

}  // namespace corvane::gtk
