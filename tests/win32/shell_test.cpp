// The shell adapter on the real system: FindFirstFile and CreateProcess.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_shell.h"
#include "platform/ports/window.h"
#include "wine_helpers.h"

namespace corvane {
namespace {

using testing::FirstToRun;
using testing::Narrow;
using testing::PlacedMarker;
using testing::Remove;
using testing::Widen;

// A path with blanks whose first word names a decoy, C:\Program.exe.
constexpr const wchar_t* kTool = L"C:\\Program Files\\Corvane Ombrel Test\\MSINFO32.EXE";
constexpr const wchar_t* kDecoy = L"C:\\Program.exe";

class Win32ShellTest : public ::testing::Test {
 protected:
  win32::Win32Shell shell;
};

TEST_F(Win32ShellTest, FindsOnlyFilesWithNormalAttributes) {
  std::wstring temp(MAX_PATH, L'\0');
  temp.resize(GetTempPathW(MAX_PATH, temp.data()));
  const std::wstring dir = temp + L"corvane find test";
  CreateDirectoryW(dir.c_str(), nullptr);
  struct Case {
    const wchar_t* name;
    DWORD attributes;  // 0: a folder
    const char* found;
  };
  const Case cases[] = {
      {L"normal.exe", FILE_ATTRIBUTE_NORMAL, "normal.exe"},
      {L"readonly.exe", FILE_ATTRIBUTE_READONLY, "readonly.exe"},
      {L"archive.exe", FILE_ATTRIBUTE_ARCHIVE, "archive.exe"},
      {L"hidden.exe", FILE_ATTRIBUTE_HIDDEN, ""},
      {L"system.exe", FILE_ATTRIBUTE_SYSTEM, ""},
      {L"folder.exe", 0, ""},
  };
  for (const Case& c : cases) {
    const std::wstring path = dir + L"\\" + c.name;
    if (c.attributes == 0) {
      CreateDirectoryW(path.c_str(), nullptr);
    } else {
      const testing::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
    }
    if (c.attributes != 0) {
      ASSERT_NE(SetFileAttributesW(path.c_str(), c.attributes), FALSE);
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    EXPECT_EQ(shell.FindFile(Narrow(dir + L"\\" + c.name)), c.found);
  }
  EXPECT_EQ(shell.FindFile(Narrow(dir + L"\\NORMAL.EXE")), "normal.exe");  // names ignore case
  EXPECT_EQ(shell.FindFile(Narrow(dir + L"\\missing.exe")), "");
  EXPECT_EQ(shell.FindFile(Narrow(dir + L"\\no folder\\missing.exe")), "");
  EXPECT_EQ(shell.FindFile(""), "");

  for (const Case& c : cases) {
    const std::wstring path = dir + L"\\" + c.name;
    if (c.attributes == 0) {
      RemoveDirectoryW(path.c_str());
    } else {
      Remove(path);
    }
  }
  RemoveDirectoryW(dir.c_str());
}

TEST_F(Win32ShellTest, AnUnquotedStartOfThisPathWouldRunTheDecoy) {
  // The trap the next test relies on is live on this system.
  const PlacedMarker tool(kTool);
  const PlacedMarker decoy(kDecoy);
  ASSERT_TRUE(tool.Placed());
  ASSERT_TRUE(decoy.Placed());
  std::string commandLine = Narrow(kTool);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ASSERT_NE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &started),
            FALSE);
  const testing::UniqueHandle process(started.hProcess);
  const testing::UniqueHandle thread(started.hThread);
  EXPECT_EQ(FirstToRun({&tool, &decoy}), &decoy);
}

TEST_F(Win32ShellTest, StartsExactlyTheFileNamedByAPathWithBlanks) {
  const PlacedMarker tool(kTool);
  const PlacedMarker decoy(kDecoy);
  ASSERT_TRUE(tool.Placed());
  ASSERT_TRUE(decoy.Placed());
  shell.StartProgram(Narrow(kTool));
  EXPECT_EQ(FirstToRun({&tool, &decoy}), &tool);
  EXPECT_EQ(tool.CommandLine(), "\"" + Narrow(kTool) + "\"");
  EXPECT_FALSE(decoy.HasRun());
}

TEST_F(Win32ShellTest, RefusesWhatCannotStart) {
  const PlacedMarker decoy(kDecoy);
  ASSERT_TRUE(decoy.Placed());
  for (const std::string& path : {Narrow(kTool), std::string("C:\\Program Files"), std::string(),
                                  std::string("C:\\bad\"name.exe")}) {
    SCOPED_TRACE(path);
    EXPECT_THROW(shell.StartProgram(path), Failure);
  }
  EXPECT_EQ(FirstToRun({&decoy}, std::chrono::milliseconds(300)), nullptr);
}

}  // namespace
}  // namespace corvane
