#include "platform/posix/system_info_registry.h"

#include "platform/kit/registry_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace corvane {

namespace {

constexpr const char* kToolKey = "SOFTWARE\\MICROSOFT\\SHARED TOOLS\\MSINFO";
constexpr const char* kToolValue = "PATH";
constexpr const char* kFolderKey = "SOFTWARE\\MICROSOFT\\SHARED TOOLS LOCATION";
constexpr const char* kFolderValue = "MSINFO";

bool IsProgram(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string EnvironmentPath() {
  const char* path = std::getenv("PATH");
  return path == nullptr ? std::string() : std::string(path);
}

}  // namespace

std::vector<std::string> SystemInfoRegistry::Tools() { return {"hardinfo2", "hardinfo", "kinfocenter"}; }

SystemInfoRegistry::SystemInfoRegistry(SearchPath searchPath, std::vector<std::string> tools)
    : searchPath_(searchPath ? std::move(searchPath) : SearchPath(EnvironmentPath)), tools_(std::move(tools)) {}

std::string SystemInfoRegistry::FindTool(const std::string& searchPath, const std::vector<std::string>& tools) {
  for (const std::string& tool : tools) {
    if (tool.empty() || tool.find('/') != std::string::npos) {
      continue;
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
      std::size_t end = searchPath.find(':', start);
      if (end == std::string::npos) {
        end = searchPath.size();
      }
      std::string folder = searchPath.substr(start, end - start);
      start = end + 1;
      // A relative folder would make the answer depend on where the
      // program was started from.
      if (folder.empty() || folder.front() != '/') {
        continue;
      }
      while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
      }
      const std::string candidate = (folder == "/" ? "" : folder) + "/" + tool;
      if (IsProgram(candidate)) {
        return candidate;
      }
    }
  }
  return {};
}

std::int32_t SystemInfoRegistry::OpenKey(Key root, const std::string& subKey, std::uint32_t /*options*/,
                                         std::uint32_t /*access*/, Key& key) {
  if (root != kLocalMachine) {
    return open_.count(root) != 0 || root == kClassesRoot || root == kCurrentUser || root == kUsers
               ? reg::kFileNotFound
               : reg::kInvalidHandle;
  }
  const std::string path = JoinRegistryPath("", subKey);
  if (path != kToolKey && path != kFolderKey) {
    return reg::kFileNotFound;
  }
  const std::string tool = FindTool(searchPath_(), tools_);
  if (tool.empty()) {
    return reg::kFileNotFound;
  }
  OpenedKey opened;
  if (path == kToolKey) {
    opened = {kToolValue, tool};
  } else {
    opened = {kFolderValue, tool.substr(0, std::max<std::size_t>(tool.rfind('/'), 1))};
  }
  key = next_;
  next_ += 4;
  open_[key] = std::move(opened);
  return reg::kSuccess;
}

std::int32_t SystemInfoRegistry::QueryValue(Key key, const std::string& name, std::uint32_t& type,
                                            std::uint8_t* data, std::uint32_t& size) {
  const auto opened = open_.find(key);
  if (opened == open_.end()) {
    return reg::kInvalidHandle;
  }
  if (FoldRegistryName(name) != opened->second.valueName) {
    return reg::kFileNotFound;
  }
  // A string value, stored with its terminating zero.
  const std::string& text = opened->second.text;
  const auto needed = static_cast<std::uint32_t>(text.size() + 1);
  type = reg::kSz;
  if (data != nullptr && size < needed) {
    size = needed;
    return reg::kMoreData;
  }
  if (data != nullptr) {
    std::memcpy(data, text.c_str(), needed);
  }
  size = needed;
  return reg::kSuccess;
}

std::int32_t SystemInfoRegistry::CloseKey(Key key) {
  if (open_.erase(key) != 0 || key == kLocalMachine || key == kClassesRoot || key == kCurrentUser ||
      key == kUsers) {
    return reg::kSuccess;
  }
  return reg::kInvalidHandle;
}

}  // namespace corvane
