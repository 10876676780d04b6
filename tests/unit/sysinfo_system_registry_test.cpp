// The Linux registry port: the desktop's system-information tool, found on
// the search path, answers System Info's two lookups; stand-in tools in
// temporary folders play the installed ones.
#include <gtest/gtest.h>

#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): setenv, unsetenv
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "about/frm_about.h"
#include "program/browser_program.h"
#include "platform/fake/fake_backend.h"
#include "platform/posix/posix_shell.h"
#include "platform/posix/system_info_registry.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kMessage = "System Information Is Unavailable At This Time";

class SystemInfoRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "corvane tools XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  // A stand-in tool: writes the path it was started as into `marker`
  // (aside first, then renamed, so it is never read half-written).
  fs::path Tool(const std::string& folder, const std::string& name, fs::perms perms = fs::perms::owner_all) {
    fs::create_directories(dir / folder);
    const fs::path file = dir / folder / name;
    const std::string marker = (dir / "started").string();
    std::ofstream(file) << "#!/bin/sh\necho \"$0\" > \"" << marker << ".part\"\nmv \"" << marker << ".part\" \""
                        << marker << "\"\n";
    fs::permissions(file, perms);
    return file;
  }
  [[nodiscard]] std::optional<std::string> StartedTool() const {
    const fs::path marker = dir / "started";
    for (int i = 0; i < 400; ++i) {
      if (fs::exists(marker)) {
        std::string started;
        std::getline(std::ifstream(marker), started);
        return started;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return std::nullopt;
  }
  [[nodiscard]] std::string In(const std::string& folder) const { return (dir / folder).string(); }

  fs::path dir;
};

TEST_F(SystemInfoRegistryTest, FindsTheFirstToolOfTheListInTheSearchPathsFolders) {
  Tool("kde", "kinfocenter");
  Tool("both", "hardinfo");
  Tool("both", "kinfocenter");
  Tool("plain", "hardinfo", fs::perms::owner_read | fs::perms::owner_write);  // not executable
  fs::create_directories(dir / "folder" / "hardinfo");                        // a folder, not a program
  Tool("newer", "hardinfo2");
  const std::vector<std::string> tools = SystemInfoRegistry::Tools();
  struct Case {
    const char* what;
    std::string searchPath;
    std::string found;
  };
  const std::vector<Case> cases = {
      {"none installed", In("empty") + ":/nonexistent", ""},
      {"empty search path", "", ""},
      {"the only one there", In("kde"), In("kde") + "/kinfocenter"},
      {"earlier tool wins over an earlier folder", In("kde") + ":" + In("both"), In("both") + "/hardinfo"},
      {"earlier folder wins for the same tool", In("both") + ":" + In("kde"), In("both") + "/hardinfo"},
      {"hardinfo2 before hardinfo", In("both") + ":" + In("newer"), In("newer") + "/hardinfo2"},
      {"not executable, or a folder: passed over", In("plain") + ":" + In("folder") + ":" + In("kde"),
       In("kde") + "/kinfocenter"},
      {"empty and relative folders skipped, trailing slash dropped", "::kde:relative:" + In("kde") + "/",
       In("kde") + "/kinfocenter"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SystemInfoRegistry::FindTool(c.searchPath, tools), c.found);
  }
  EXPECT_EQ(tools.front(), "hardinfo2");
}

TEST_F(SystemInfoRegistryTest, AnswersTheTwoLookupsThroughGetKeyValue) {
  Tool("bin", "kinfocenter");
  std::string searchPath = In("bin");
  fake::FakeBackend backend;
  SystemInfoRegistry registry{[&] { return searchPath; }};
  BrowserProgram program{Ports{backend, &registry, nullptr}, BuildSettings{"start.example"}};
  auto& about = program.Get<frmAbout>();
  std::int32_t root = static_cast<std::int32_t>(Registry::kLocalMachine);
  struct Case {
    const char* what;
    std::string key;
    std::string value;
    bool read;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"the tool's path", kToolKey, "PATH", true, In("bin") + "/kinfocenter"},
      {"names in any case", "software\\microsoft\\shared tools\\msinfo", "path", true, In("bin") + "/kinfocenter"},
      {"the tool's folder", kFolderKey, "MSINFO", true, In("bin")},
      {"another value of the key", kToolKey, "MSINFO", false, ""},
      {"another key", "SOFTWARE\\Microsoft\\Shared Tools", "PATH", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string key = c.key;
    std::string value = c.value;
    std::string text = "before";
    EXPECT_EQ(about.GetKeyValue(root, key, value, text), c.read);
    EXPECT_EQ(text, c.text);
  }
  // Other roots hold nothing; the tool is looked for at each lookup.
  std::int32_t user = static_cast<std::int32_t>(Registry::kCurrentUser);
  std::string key = kToolKey;
  std::string value = "PATH";
  std::string text;
  EXPECT_FALSE(about.GetKeyValue(user, key, value, text));
  searchPath = In("elsewhere");
  EXPECT_FALSE(about.GetKeyValue(root, key, value, text));
  // A path too long for the reader's buffer is refused, not cut.
  const std::string deep = "bin/" + std::string(250, 'd') + "/" + std::string(250, 'e') + "/" +
                           std::string(250, 'f') + "/" + std::string(250, 'g');
  Tool(deep, "hardinfo");
  searchPath = In(deep);
  text = "before";
  EXPECT_FALSE(about.GetKeyValue(root, key, value, text));
  EXPECT_EQ(text, "");
}

TEST_F(SystemInfoRegistryTest, SystemInfoStartsTheToolOnTheEnvironmentsPathOrSaysItIsUnavailable) {
  const char* saved = std::getenv("PATH");
  const std::string original = saved == nullptr ? std::string() : saved;
  struct Case {
    const char* what;
    std::vector<std::string> tools;  // stand-ins put into "bin folder" on PATH
    std::string started;             // file name, or empty: the message instead
  };
  const std::vector<Case> cases = {
      {"none installed", {}, ""},
      {"one installed, in a folder with a blank", {"kinfocenter"}, "kinfocenter"},
      {"two installed: the first of the order", {"kinfocenter", "hardinfo"}, "hardinfo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir);
    fs::create_directories(dir / "bin folder");
    for (const std::string& tool : c.tools) {
      Tool("bin folder", tool);
    }
    ASSERT_EQ(::setenv("PATH", (In("bin folder") + ":/usr/bin:/bin").c_str(), 1), 0);
    std::vector<std::string> messages;
    {
      fake::FakeBackend backend;
      SystemInfoRegistry registry;
      PosixShell shell{[&](const std::string& text, const std::string&) { messages.push_back(text); }};
      BrowserProgram program{Ports{backend, &registry, &shell}, BuildSettings{"start.example"}};
      program.Get<frmAbout>().StartSysInfo();
    }
    if (c.started.empty()) {
      EXPECT_EQ(messages, std::vector<std::string>{kMessage});
      EXPECT_FALSE(fs::exists(dir / "started"));
    } else {
      EXPECT_TRUE(messages.empty());
      EXPECT_EQ(StartedTool(), In("bin folder") + "/" + c.started);
    }
  }
  if (saved == nullptr) {
    ::unsetenv("PATH");
  } else {
    ::setenv("PATH", original.c_str(), 1);
  }
}

}  // namespace
}  // namespace corvane
