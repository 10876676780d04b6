// The Linux shell: file search and program start on the real system.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/posix/posix_shell.h"
#include "platform/ports/window.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class PosixShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "corvane shell XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  fs::path Write(const std::string& name, const std::string& content, fs::perms perms) {
    const fs::path file = dir / name;
    std::ofstream(file) << content;
    fs::permissions(file, perms);
    return file;
  }
  static bool WaitFor(const fs::path& file) {
    for (int i = 0; i < 400; ++i) {
      if (fs::exists(file)) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  }

  fs::path dir;
  PosixShell shell;
};

TEST_F(PosixShellTest, FindsOnlyNormalFiles) {
  Write("MSINFO32.EXE", "x", fs::perms::owner_read);
  Write(".hidden", "x", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directory(dir / "folder");
  struct Case {
    std::string path;
    std::string found;
  };
  for (const Case& c : {Case{(dir / "MSINFO32.EXE").string(), "MSINFO32.EXE"},
                        Case{(dir / ".hidden").string(), ""},
                        Case{(dir / "folder").string(), ""},
                        Case{(dir / "missing").string(), ""},
                        Case{"", ""}}) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(shell.FindFile(c.path), c.found);
  }
}

TEST_F(PosixShellTest, StartsExactlyTheFileEvenWithBlanksAndLeavesNoChildBehind) {
  const fs::path marker = dir / "ran";
  const fs::path program =
      Write("system info tool",
            // Written aside and renamed, so the test never reads it half-written.
            "#!/bin/sh\necho \"$0\" > \"" + marker.string() + ".part\"\nmv \"" + marker.string() + ".part\" \"" +
                marker.string() + "\"\n",
            fs::perms::owner_all);
  // What a command line split at the blank would start instead.
  Write("system", "#!/bin/sh\ntouch \"" + (dir / "decoy").string() + "\"\n", fs::perms::owner_all);

  shell.StartProgram(program.string());
  ASSERT_TRUE(WaitFor(marker));
  std::string started;
  std::getline(std::ifstream(marker), started);
  EXPECT_EQ(started, program.string());
  EXPECT_FALSE(fs::exists(dir / "decoy"));
  // Nobody waits for the tool, and it is nobody's zombie.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixShellTest, RefusesWhatCannotStart) {
  const fs::path text = Write("notes.txt", "not a program", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directory(dir / "folder");
  for (const std::string& path : {(dir / "missing").string(), text.string(), (dir / "folder").string(),
                                  std::string()}) {
    SCOPED_TRACE(path);
    EXPECT_THROW(shell.StartProgram(path), Failure);
  }
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(PosixShellTest, MessageGoesToTheFrontEndsBox) {
  std::string shown;
  PosixShell withBox([&](const std::string& text, const std::string& title) { shown = title + "|" + text; });
  withBox.ShowMessage("System Information Is Unavailable At This Time", "Corvane Ombrel");
  EXPECT_EQ(shown, "Corvane Ombrel|System Information Is Unavailable At This Time");
}

}  // namespace
}  // namespace corvane
