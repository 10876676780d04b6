// The run's own folder in the user's runtime folder, and where there is none.
#include "platform/posix/run_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane {
namespace {

namespace fs = std::filesystem;

class RunFolderTest : public ::testing::Test {
 protected:
  RunFolderTest() {
    std::string name = (fs::temp_directory_path() / "corvane-runtime-XXXXXX").string();
    root_ = ::mkdtemp(name.data());
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    saved_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
  }
  ~RunFolderTest() override {
    if (saved_) {
      setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
    fs::remove_all(root_);
  }
  fs::path root_;
  std::optional<std::string> saved_;
};

TEST_F(RunFolderTest, IsMadeOnlyInAPrivateRuntimeFolderOfTheUser) {
  const fs::path runtime = root_ / "run";
  struct Case {
    std::string what;
    std::function<void()> arrange;
    bool made;
  };
  const std::vector<Case> cases = {
      {"unset", [] { unsetenv("XDG_RUNTIME_DIR"); }, false},
      {"relative", [] { setenv("XDG_RUNTIME_DIR", "run", 1); }, false},
      {"a file", [&] { std::fclose(std::fopen(runtime.c_str(), "w")); }, false},
      {"open to others",
       [&] {
         fs::create_directory(runtime);
         ::chmod(runtime.c_str(), 0777);
       },
       false},
      {"a link to a private folder",
       [&] {
         fs::create_directory(root_ / "real");
         ::chmod((root_ / "real").c_str(), 0700);
         fs::create_directory_symlink(root_ / "real", runtime);
       },
       false},
      {"private",
       [&] {
         fs::create_directory(runtime);
         ::chmod(runtime.c_str(), 0700);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(runtime);
    fs::remove_all(root_ / "real");
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    c.arrange();
    RunFolder folder;
    ASSERT_EQ(!folder.Path().empty(), c.made) << folder.Path();
    if (!c.made) {
      EXPECT_FALSE(fs::exists(runtime / "corvane-ombrel"));
      continue;
    }
    const std::string mine =
        (runtime / "corvane-ombrel" / "run-").string() + std::to_string(getpid()) + "-";
    EXPECT_EQ(folder.Path().rfind(mine, 0), 0U) << folder.Path();
    struct stat info {};
    ASSERT_EQ(::lstat(folder.Path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700U);
    const std::string path = folder.Path();
    fs::create_directories(path + "/data/deep");
    folder.Remove();
    EXPECT_FALSE(fs::exists(path));
  }
}

}  // namespace
}  // namespace corvane
