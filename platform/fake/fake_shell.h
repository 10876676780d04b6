// An in-memory shell for tests: a file system of named files with their
// attributes, programs "started" from it, and message boxes that are recorded
// and closed at once. Every call is journaled in order; any operation can be
// told to fail.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/fake/fake_backend.h"
#include "platform/ports/shell.h"

namespace corvane::fake {

enum class FileKind : std::uint8_t { Normal, ReadOnly, Hidden, System, Directory };

class FakeShell final : public Shell {
 public:
  std::string FindFile(const std::string& path) override;
  void StartProgram(const std::string& path) override;
  void ShowMessage(const std::string& text, const std::string& title) override;

  // Setup: a file (or folder) at `path` (backslashes, as Windows writes it).
  void AddFile(const std::string& path, FileKind kind = FileKind::Normal) { files_[path] = kind; }

  struct Message {
    std::string text;
    std::string title;
  };
  // Message boxes shown, in order.
  [[nodiscard]] const std::vector<Message>& Messages() const { return messages_; }
  // Programs started, in order.
  [[nodiscard]] const std::vector<std::string>& Started() const { return started_; }
  // Every call, in order: "FindFile(path)", "StartProgram(path)", "ShowMessage(text)".
  [[nodiscard]] const std::vector<std::string>& Calls() const { return calls_; }
  // Called while a message box is up (before the user closes it).
  std::function<void(const Message&)> onMessage;
  Faults faults;  // "FindFile", "StartProgram", "ShowMessage"

 private:
  std::map<std::string, FileKind> files_;
  std::vector<Message> messages_;
  std::vector<std::string> started_;
  std::vector<std::string> calls_;
};

}  // namespace corvane::fake
