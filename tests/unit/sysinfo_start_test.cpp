// frmAbout::StartSysInfo and the System Info button, on the in-memory
// registry and the fake shell.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "program/browser_program.h"
#include "platform/fake/fake_backend.h"
#include "platform/fake/fake_shell.h"
#include "platform/fake/memory_registry.h"
#include "platform/ports/window.h"

namespace corvane {
namespace {

using fake::FakeShell;
using fake::FileKind;

constexpr const char* kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kMessage = "System Information Is Unavailable At This Time";
constexpr const char* kTool = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
constexpr const char* kFolder = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo";
constexpr const char* kFolderTool = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\MSINFO32.EXE";

// Records the keys opened, and throws from any call when told to.
class RecordingRegistry final : public Registry {
 public:
  std::int32_t OpenKey(Key root, const std::string& subKey, std::uint32_t options,
                       std::uint32_t access, Key& key) override {
    opened.push_back(subKey);
    if (broken) throw Failure("registry broke");
    return inner.OpenKey(root, subKey, options, access, key);
  }
  std::int32_t QueryValue(Key key, const std::string& name, std::uint32_t& type,
                          std::uint8_t* data, std::uint32_t& size) override {
    return inner.QueryValue(key, name, type, data, size);
  }
  std::int32_t CloseKey(Key key) override { return inner.CloseKey(key); }
  [[nodiscard]] std::string ToAnsi(const std::string& text) const override { return inner.ToAnsi(text); }
  [[nodiscard]] std::string FromAnsi(const std::string& bytes) const override { return inner.FromAnsi(bytes); }

  MemoryRegistry inner;
  std::vector<std::string> opened;
  bool broken = false;
};

struct Value {
  std::uint32_t type;
  std::string bytes;
};
Value Sz(const std::string& text) { return {reg::kSz, text + std::string(1, '\0')}; }

struct Machine {
  std::optional<Value> path;    // "PATH" under the first key
  bool toolKeyExists = false;   // the first key without its value
  std::optional<Value> folder;  // "MSINFO" under the second key
  std::vector<std::pair<std::string, FileKind>> files;
};

struct Outcome {
  std::vector<std::string> started;
  std::vector<std::string> messages;
  std::vector<std::string> keysOpened;
  int openHandles;
};

Outcome RunOn(const Machine& machine) {
  fake::FakeBackend backend;
  RecordingRegistry registry;
  FakeShell shell;
  if (machine.toolKeyExists) {
    registry.inner.CreateKey(Registry::kLocalMachine, kToolKey);
  }
  if (machine.path) {
    registry.inner.SetValue(Registry::kLocalMachine, kToolKey, "PATH", machine.path->type, machine.path->bytes);
  }
  if (machine.folder) {
    registry.inner.SetValue(Registry::kLocalMachine, kFolderKey, "MSINFO", machine.folder->type,
                            machine.folder->bytes);
  }
  for (const auto& [file, kind] : machine.files) {
    shell.AddFile(file, kind);
  }
  BrowserProgram program{Ports{backend, &registry, &shell}, BuildSettings{"start.example"}};
  program.Get<frmAbout>().StartSysInfo();
  Outcome outcome{shell.Started(), {}, registry.opened, registry.inner.OpenHandles()};
  for (const auto& message : shell.Messages()) {
    EXPECT_EQ(message.title, "Corvane Ombrel");
    outcome.messages.push_back(message.text);
  }
  return outcome;
}

using Strings = std::vector<std::string>;

TEST(StartSysInfo, FindsTheToolInTheTwoPlacesInOrderOrShowsTheMessage) {
  const std::string tooLong(1024, 'x');
  struct Case {
    const char* what;
    Machine machine;
    Strings started;
    Strings messages;
    Strings keysOpened;
  };
  const std::vector<Case> cases = {
      {"PATH present: started unchanged, second place unread",
       {Sz(kTool), false, Sz("C:\\Elsewhere"), {{kTool, FileKind::Normal}, {"C:\\Elsewhere\\MSINFO32.EXE", FileKind::Normal}}},
       {kTool}, {}, {kToolKey}},
      {"PATH used without a search or an appended name",
       {Sz("C:\\Tools\\info.exe"), false, std::nullopt, {{"C:\\Tools\\info.exe", FileKind::Normal}}},
       {"C:\\Tools\\info.exe"}, {}, {kToolKey}},
      {"PATH naming a missing file: the message, second place never read",
       {Sz("C:\\Gone\\msinfo32.exe"), false, Sz(kFolder), {{kFolderTool, FileKind::Normal}}},
       {}, {kMessage}, {kToolKey}},
      {"PATH of type REG_EXPAND_SZ: empty tool path, the message",
       {Value{reg::kExpandSz, std::string(kTool) + '\0'}, false, Sz(kFolder), {{kTool, FileKind::Normal}, {kFolderTool, FileKind::Normal}}},
       {}, {kMessage}, {kToolKey}},
      {"PATH a number: its digits name no program",
       {Value{reg::kDword, std::string("\x00\x01\x00\x00", 4)}, false, Sz(kFolder), {{kFolderTool, FileKind::Normal}}},
       {}, {kMessage}, {kToolKey}},
      {"PATH without data: the message, second place never read",
       {Value{reg::kSz, ""}, false, Sz(kFolder), {{kFolderTool, FileKind::Normal}}},
       {}, {kMessage}, {kToolKey}},
      {"first key missing, folder holds the tool",
       {std::nullopt, false, Sz(kFolder), {{kFolderTool, FileKind::Normal}}},
       {kFolderTool}, {}, {kToolKey, kFolderKey}},
      {"first key without PATH, folder holds the tool (read-only file)",
       {std::nullopt, true, Sz(kFolder), {{kFolderTool, FileKind::ReadOnly}}},
       {kFolderTool}, {}, {kToolKey, kFolderKey}},
      {"PATH too long for the buffer counts as missing",
       {Sz(tooLong), false, Sz(kFolder), {{kFolderTool, FileKind::Normal}}},
       {kFolderTool}, {}, {kToolKey, kFolderKey}},
      {"tool not in the folder",
       {std::nullopt, false, Sz(kFolder), {{kTool, FileKind::Normal}}},
       {}, {kMessage}, {kToolKey, kFolderKey}},
      {"tool in the folder is a directory",
       {std::nullopt, false, Sz(kFolder), {{kFolderTool, FileKind::Directory}}},
       {}, {kMessage}, {kToolKey, kFolderKey}},
      {"tool in the folder is hidden",
       {std::nullopt, false, Sz(kFolder), {{kFolderTool, FileKind::Hidden}}},
       {}, {kMessage}, {kToolKey, kFolderKey}},
      {"tool in the folder is a system file",
       {std::nullopt, false, Sz(kFolder), {{kFolderTool, FileKind::System}}},
       {}, {kMessage}, {kToolKey, kFolderKey}},
      {"folder value a number",
       {std::nullopt, false, Value{reg::kDword, std::string("\x07\x00\x00\x00", 4)}, {{"7\\MSINFO32.EXE", FileKind::Normal}}},
       {"7\\MSINFO32.EXE"}, {}, {kToolKey, kFolderKey}},
      {"both places missing",
       {std::nullopt, false, std::nullopt, {{kTool, FileKind::Normal}, {kFolderTool, FileKind::Normal}}},
       {}, {kMessage}, {kToolKey, kFolderKey}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome outcome = RunOn(c.machine);
    EXPECT_EQ(outcome.started, c.started);
    EXPECT_EQ(outcome.messages, c.messages);
    EXPECT_EQ(outcome.keysOpened, c.keysOpened);
    EXPECT_EQ(outcome.openHandles, 0);
  }
}

TEST(StartSysInfo, NoFailureReachesTheCallerAndEachEndsInTheMessage) {
  struct Case {
    const char* what;
    bool registryThrows;
    const char* shellFails;
    bool pathPresent;
  };
  for (const Case& c : {Case{"registry throws", true, "", true},
                        Case{"program start throws", false, "StartProgram", true},
                        Case{"file search throws", false, "FindFile", false}}) {
    SCOPED_TRACE(c.what);
    fake::FakeBackend backend;
    RecordingRegistry registry;
    registry.broken = c.registryThrows;
    FakeShell shell;
    shell.faults.FailOn(c.shellFails);
    shell.AddFile(kTool);
    shell.AddFile(kFolderTool);
    if (c.pathPresent) {
      registry.inner.SetString(Registry::kLocalMachine, kToolKey, "PATH", kTool);
    }
    registry.inner.SetString(Registry::kLocalMachine, kFolderKey, "MSINFO", kFolder);
    BrowserProgram program{Ports{backend, &registry, &shell}, BuildSettings{"start.example"}};
    EXPECT_NO_THROW(program.Get<frmAbout>().StartSysInfo());
    EXPECT_TRUE(shell.Started().empty());
    ASSERT_EQ(shell.Messages().size(), 1U);
    EXPECT_EQ(shell.Messages()[0].text, kMessage);
  }
}

TEST(StartSysInfo, AMessageBoxThatFailsOrMissingPortsEndNothing) {
  fake::FakeBackend backend;
  FakeShell shell;
  shell.faults.FailOn("ShowMessage");
  BrowserProgram failing{Ports{backend, nullptr, &shell}, BuildSettings{"start.example"}};
  EXPECT_NO_THROW(failing.Get<frmAbout>().StartSysInfo());
  EXPECT_EQ(shell.Calls(), (Strings{std::string("ShowMessage(") + kMessage + ")"}));

  // No registry (as on Linux): nothing found, the message.
  FakeShell plain;
  Program noRegistry{Ports{backend, nullptr, &plain}, BuildSettings{"start.example"}};
  noRegistry.Get<frmAbout>().StartSysInfo();
  EXPECT_EQ(plain.Calls(), (Strings{std::string("ShowMessage(") + kMessage + ")"}));

  // No shell: the tool cannot start and there is no one to tell.
  MemoryRegistry registry;
  registry.SetString(Registry::kLocalMachine, kToolKey, "PATH", kTool);
  Program noShell{Ports{backend, &registry, nullptr}, BuildSettings{"start.example"}};
  EXPECT_NO_THROW(noShell.Get<frmAbout>().StartSysInfo());
  EXPECT_EQ(registry.OpenHandles(), 0);
}

class SystemInfoButton : public ::testing::Test {
 protected:
  fake::FakeBackend backend;
  MemoryRegistry registry;
  FakeShell shell;
  BrowserProgram program{Ports{backend, &registry, &shell}, BuildSettings{"start.example"}};
};

TEST_F(SystemInfoButton, ShowsTheMessageOverTheOpenAboutBoxWhichStaysUsable) {
  program.Get<frmAbout>().Show();
  std::vector<bool> aboutOpenDuringMessage;
  shell.onMessage = [&](const FakeShell::Message&) {
    aboutOpenDuringMessage.push_back(program.Get<frmAbout>().Loaded());
  };
  backend.Window("frmAbout").ClickButton("cmdSysInfo");
  EXPECT_TRUE(program.Get<frmAbout>().Loaded());
  backend.Window("frmAbout").PressAccessKey('S');
  backend.Window("frmAbout").ClickButton("cmdSysInfo");
  EXPECT_EQ(aboutOpenDuringMessage, (std::vector<bool>{true, true, true}));
  EXPECT_TRUE(program.Get<frmAbout>().Loaded());
  EXPECT_FALSE(program.Ended());

  // Once the tool is installed, the same open box starts it.
  registry.SetString(Registry::kLocalMachine, kFolderKey, "MSINFO", kFolder);
  shell.AddFile(kFolderTool);
  backend.Window("frmAbout").ClickButton("cmdSysInfo");
  EXPECT_EQ(shell.Started(), Strings{kFolderTool});
  EXPECT_EQ(shell.Messages().size(), 3U);
  EXPECT_TRUE(program.Get<frmAbout>().Loaded());
}

TEST_F(SystemInfoButton, StartsTheToolNamedInTheRegistry) {
  registry.SetString(Registry::kLocalMachine, kToolKey, "PATH", kTool);
  shell.AddFile(kTool);
  program.Get<frmAbout>().Show();
  backend.Window("frmAbout").ClickButton("cmdSysInfo");
  EXPECT_EQ(shell.Started(), Strings{kTool});
  EXPECT_TRUE(shell.Messages().empty());
  EXPECT_TRUE(program.Get<frmAbout>().Loaded());
}

}  // namespace
}  // namespace corvane
