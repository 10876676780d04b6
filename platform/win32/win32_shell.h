// The shell port on Windows: FindFirstFile, CreateProcess and MessageBox.
#pragma once

#include "platform/ports/shell.h"

namespace corvane::win32 {

class Win32Shell : public Shell {
 public:
  std::string FindFile(const std::string& path) override;
  // The path is the application name and, quoted, the whole command line:
  // a path with blanks starts that file and never a shorter one.
  void StartProgram(const std::string& path) override;
  void ShowMessage(const std::string& text, const std::string& title) override;
};

}  // namespace corvane::win32
