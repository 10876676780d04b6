// Every key and value under a registry key, to show that something changed
// nothing but what it should have.
#pragma once

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace corvane::test {

// "path\key" -> {} for keys, "path|value" -> type followed by the data.
using Snapshot = std::map<std::wstring, std::vector<BYTE>>;

inline void Take(HKEY key, const std::wstring& path, Snapshot& into) {
  DWORD longestName = 0;
  DWORD longestData = 0;
  DWORD longestKey = 0;
  if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longestKey, nullptr, nullptr,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
    into[path + L"|<unreadable>"] = {};
    return;
  }
  std::vector<wchar_t> name(std::max(longestName, longestKey) + 2);
  std::vector<BYTE> data(longestData + 2);
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS) {
      break;
    }
    std::vector<BYTE> entry{static_cast<BYTE>(type)};
    entry.insert(entry.end(), data.begin(), data.begin() + size);
    into[path + L"|" + std::wstring(name.data(), nameLength)] = entry;
  }
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (::RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    const std::wstring childName(name.data(), nameLength);
    const std::wstring child = path + L"\\" + childName;
    into[child] = {};
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(key, childName.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS) {
      Take(opened, child, into);
      ::RegCloseKey(opened);
    }
  }
}

inline Snapshot Take(HKEY key) {
  Snapshot snapshot;
  Take(key, L"", snapshot);
  return snapshot;
}

}  // namespace corvane::test
