#include "platform/gtk/pictures.h"

#include <filesystem>
#include <system_error>
#include <vector>

#ifndef CORVANE_SOURCE_RESOURCES
#define CORVANE_SOURCE_RESOURCES ""
#endif

namespace corvane::gtk {

namespace {

std::vector<std::filesystem::path> Folders() {
  std::vector<std::filesystem::path> folders;
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    folders.push_back(self.parent_path().parent_path() / "share" / "corvane-ombrel" / "pictures");
  }
  const std::filesystem::path source = CORVANE_SOURCE_RESOURCES;
  if (!source.empty()) {
    folders.push_back(source);
  }
  return folders;
}

bool PlainName(const std::string& name) {
  if (name.empty()) {
    return false;
  }
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    if (!ok) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string PicturePath(const std::string& name) {
  if (!PlainName(name)) {
    return {};
  }
  for (const std::filesystem::path& folder : Folders()) {
    for (const char* group : {"", "icons", "toolbar"}) {
      const std::filesystem::path file = folder / group / (name + ".png");
      std::error_code error;
      if (std::filesystem::is_regular_file(file, error)) {
        return file.string();
      }
    }
  }
  return {};
}

}  // namespace corvane::gtk
