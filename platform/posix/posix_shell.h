// The shell on Linux: file search with stat, program start with a detached
// child, and the message box that the front end supplies.
#pragma once

#include <functional>
#include <string>

#include "platform/ports/shell.h"

namespace corvane {

class PosixShell final : public Shell {
 public:
  // Shows a modal message box (text, title) and returns when it is closed.
  using MessageBoxFunction = std::function<void(const std::string&, const std::string&)>;

  // Without a message box of the front end, messages go to standard error.
  explicit PosixShell(MessageBoxFunction messageBox = {});

  // A regular file whose name does not start with a dot; folders and
  // hidden files are not found.
  std::string FindFile(const std::string& path) override;
  // Starts the file `path` itself, with no search and no shell, as a
  // grandchild that nobody waits for (it leaves no zombie behind).
  void StartProgram(const std::string& path) override;
  void ShowMessage(const std::string& text, const std::string& title) override;

 private:
  MessageBoxFunction messageBox_;
};

}  // namespace corvane
