// The shell port: the three things the About box asks of the operating
// system besides the registry.
//
// Implementations: Win32Shell (FindFirstFile, CreateProcess, MessageBox),
// PosixShell (Linux; its message box comes from the front end) and
// fake::FakeShell (tests).
#pragma once

#include <string>

namespace corvane {

class Shell {
 public:
  Shell() = default;
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;
  virtual ~Shell() = default;

  // Looks for the file named by `path` with normal attributes: directories,
  // hidden files and system files are not found. Answers the name found
  // (without its folder), or the empty text when there is none. May throw
  // Failure for a name that is not valid.
  virtual std::string FindFile(const std::string& path) = 0;

  // Starts exactly the program file `path` in a normal window that gets the
  // focus, without waiting for it. Throws Failure when it cannot be started.
  virtual void StartProgram(const std::string& path) = 0;

  // A modal message box with only an OK button and no icon, titled `title`;
  // returns when the user has closed it.
  virtual void ShowMessage(const std::string& text, const std::string& title) = 0;
};

}  // namespace corvane
