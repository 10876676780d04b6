// StartSysInfo on the real registry and the real CreateProcess; only the
// message box is recorded instead of shown.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about/frm_about.h"
#include "program/browser_program.h"
#include "platform/fake/fake_backend.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "wine_helpers.h"

namespace corvane {
namespace {

using testing::FirstToRun;
using testing::Narrow;
using testing::PlacedMarker;
using testing::ScopedValue;

constexpr const char* kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const wchar_t* kFolder = L"C:\\Program Files\\Corvane Ombrel Test";
constexpr const wchar_t* kTool = L"C:\\Program Files\\Corvane Ombrel Test\\MSINFO32.EXE";
constexpr const wchar_t* kDecoy = L"C:\\Program.exe";
constexpr const char* kMessage = "System Information Is Unavailable At This Time";

class RecordingShell final : public win32::Win32Shell {
 public:
  void StartProgram(const std::string& path) override {
    starts.push_back(path);
    win32::Win32Shell::StartProgram(path);
  }
  void ShowMessage(const std::string& text, const std::string& title) override {
    messages.push_back(title + ": " + text);
  }
  std::vector<std::string> starts;
  std::vector<std::string> messages;
};

class SysInfoUnderWine : public ::testing::Test {
 protected:
  ScopedValue path{HKEY_LOCAL_MACHINE, kToolKey, "PATH"};
  ScopedValue folder{HKEY_LOCAL_MACHINE, kFolderKey, "MSINFO"};
  PlacedMarker tool{kTool};
  PlacedMarker decoy{kDecoy};
  fake::FakeBackend backend;
  win32::Win32Registry registry;
  RecordingShell shell;
  BrowserProgram program{Ports{backend, &registry, &shell}, BuildSettings{"start.example"}};
  const std::string message = std::string("Corvane Ombrel: ") + kMessage;

  void SetUp() override {
    ASSERT_TRUE(tool.Placed());
    ASSERT_TRUE(decoy.Placed());
  }
};

TEST_F(SysInfoUnderWine, StartsThePathFromTheFirstPlaceAsItIs) {
  ASSERT_TRUE(path.SetText(Narrow(kTool)));
  ASSERT_TRUE(folder.SetText("C:\\nowhere"));
  program.Get<frmAbout>().StartSysInfo();
  EXPECT_EQ(FirstToRun({&tool, &decoy}), &tool);
  EXPECT_EQ(shell.starts, std::vector<std::string>{Narrow(kTool)});
  EXPECT_TRUE(shell.messages.empty());
}

TEST_F(SysInfoUnderWine, StartsTheToolInTheFolderOfTheSecondPlace) {
  path.Delete();
  ASSERT_TRUE(folder.SetText(Narrow(kFolder)));
  program.Get<frmAbout>().StartSysInfo();
  EXPECT_EQ(FirstToRun({&tool, &decoy}), &tool);
  EXPECT_EQ(shell.starts, std::vector<std::string>{Narrow(kFolder) + "\\MSINFO32.EXE"});
  EXPECT_TRUE(shell.messages.empty());
}

TEST_F(SysInfoUnderWine, AMissingFileGivesTheMessageAndTheSecondPlaceIsNotTried) {
  ASSERT_TRUE(path.SetText("C:\\Program Files\\Corvane Ombrel Test\\gone.exe"));
  ASSERT_TRUE(folder.SetText(Narrow(kFolder)));
  program.Get<frmAbout>().StartSysInfo();
  EXPECT_EQ(shell.messages, std::vector<std::string>{message});
  EXPECT_EQ(shell.starts, std::vector<std::string>{"C:\\Program Files\\Corvane Ombrel Test\\gone.exe"});
  EXPECT_EQ(FirstToRun({&tool, &decoy}, std::chrono::milliseconds(300)), nullptr);
}

TEST_F(SysInfoUnderWine, NothingInEitherPlaceGivesTheMessage) {
  path.Delete();
  folder.Delete();
  program.Get<frmAbout>().StartSysInfo();
  EXPECT_EQ(shell.messages, std::vector<std::string>{message});
  EXPECT_TRUE(shell.starts.empty());
}

TEST_F(SysInfoUnderWine, AFolderWithoutTheToolGivesTheMessage) {
  path.Delete();
  ASSERT_TRUE(folder.SetText("C:\\Program Files"));
  program.Get<frmAbout>().StartSysInfo();
  EXPECT_EQ(shell.messages, std::vector<std::string>{message});
  EXPECT_TRUE(shell.starts.empty());
}

}  // namespace
}  // namespace corvane
