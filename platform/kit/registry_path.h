// Registry key paths as the registry compares them: names without regard to
// the case of ASCII letters, and empty components (doubled or leading
// backslashes) not counted.
#pragma once

#include <string>

namespace corvane {

inline std::string FoldRegistryName(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return folded;
}

// `base` followed by the folded, non-empty components of `subKey`, each after
// a backslash (no backslash before the first when `base` is empty).
inline std::string JoinRegistryPath(const std::string& base, const std::string& subKey) {
  std::string path = base;
  std::string part;
  auto flush = [&] {
    if (!part.empty()) {
      if (!path.empty()) {
        path += '\\';
      }
      path += FoldRegistryName(part);
      part.clear();
    }
  };
  for (char c : subKey) {
    if (c == '\\') {
      flush();
    } else {
      part += c;
    }
  }
  flush();
  return path;
}

}  // namespace corvane
