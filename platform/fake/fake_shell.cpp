#include "platform/fake/fake_shell.h"

#include "platform/ports/window.h"

namespace corvane::fake {

std::string FakeShell::FindFile(const std::string& path) {
  calls_.push_back("FindFile(" + path + ")");
  faults.Check("FindFile");
  const auto file = files_.find(path);
  if (file == files_.end() || file->second == FileKind::Hidden ||
      file->second == FileKind::System || file->second == FileKind::Directory) {
    return {};
  }
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void FakeShell::StartProgram(const std::string& path) {
  calls_.push_back("StartProgram(" + path + ")");
  faults.Check("StartProgram");
  // As the system does: only an existing file that is not a folder starts,
  // and only by its exact name.
  const auto file = files_.find(path);
  if (file == files_.end() || file->second == FileKind::Directory) {
    throw Failure("File not found");
  }
  started_.push_back(path);
}

void FakeShell::ShowMessage(const std::string& text, const std::string& title) {
  calls_.push_back("ShowMessage(" + text + ")");
  faults.Check("ShowMessage");
  messages_.push_back(Message{text, title});
  if (onMessage) {
    onMessage(messages_.back());
  }
}

}  // namespace corvane::fake
