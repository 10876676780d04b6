#include "platform/posix/run_folder.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace corvane {

namespace {

constexpr const char* kFolder = "corvane-ombrel";
constexpr std::string_view kPrefix = "run-";

// A folder (not a link to one) of the user's that no one else may write to.
bool OwnFolder(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The process id in a run folder's name ("run-<pid>-XXXXXX", the six
// letters and digits mkdtemp's), or 0 for any other name.
pid_t RunOf(std::string_view name) {
  const std::string_view prefix = kPrefix;
  const std::size_t dash = name.find('-', prefix.size());
  if (!name.starts_with(prefix) || dash == std::string_view::npos || name.size() != dash + 7 ||
      !std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dash) + 1, name.end(),
                   [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
    return 0;
  }
  pid_t pid = 0;
  const char* end = name.data() + dash;
  const auto [stop, error] = std::from_chars(name.data() + prefix.size(), end, pid);
  return error == std::errc() && stop == end && pid > 0 ? pid : 0;
}

bool Alive(pid_t pid) {
  // This run has made no folder yet: one with its number is an earlier one's.
  return pid != ::getpid() && (::kill(pid, 0) == 0 || errno == EPERM);
}

// Removes the run folders in `parent` whose process is gone.
void SweepLeftovers(const std::string& parent) {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(parent.c_str()), &::closedir);
  if (!dir) {
    return;
  }
  std::vector<std::string> gone;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    const pid_t pid = RunOf(name);
    if (pid != 0 && !Alive(pid) && OwnFolder(parent + "/" + name)) {
      gone.push_back(parent + "/" + name);
    }
  }
  for (const std::string& path : gone) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
  }
}

}  // namespace

RunFolder::RunFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] != '/' || !OwnFolder(runtime)) {
    return;
  }
  const std::string parent = std::string(runtime) + "/" + kFolder;
  if (::mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) {
    return;
  }
  if (!OwnFolder(parent)) {
    return;
  }
  SweepLeftovers(parent);
  std::string name = parent + "/" + std::string(kPrefix) + std::to_string(::getpid()) + "-XXXXXX";
  if (::mkdtemp(name.data()) != nullptr) {  // 0700
    path_ = std::move(name);
  }
}

void RunFolder::Remove() {
  if (path_.empty()) {
    return;
  }
  std::error_code error;
  std::filesystem::remove_all(path_, error);
  path_.clear();
}

}  // namespace corvane
