// What the tests under Wine need to set the stage: registry values and
// files of their own, and the marker program placed where a test wants it.
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <type_traits>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/text.h"

namespace corvane::testing {

inline std::string Narrow(const std::wstring& utf16) { return win32::ToUtf8(utf16); }
inline std::wstring Widen(const std::string& utf8) { return win32::ToWide(utf8); }

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// Opens (or with `create`, makes) a key; empty when it cannot.
inline UniqueKey OpenKey(HKEY root, const std::string& path, bool create = false) {
  HKEY key = nullptr;
  const LONG result =
      create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
             : RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key);
  return UniqueKey(result == ERROR_SUCCESS ? key : nullptr);
}

// The marker program, built next to the test program.
inline std::wstring MarkerProgram() {
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
  return self.substr(0, self.find_last_of(L'\\') + 1) + L"corvane_marker.exe";
}

inline bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Deletes a file, waiting a little while a program that ran from it ends.
inline void Remove(const std::wstring& path) {
  for (int i = 0; i < 100 && Exists(path); ++i) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(path.c_str()) != FALSE) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Copies the marker program to `path`, making its folder; removes it and
// what it leaves behind at the end.
class PlacedMarker {
 public:
  explicit PlacedMarker(std::wstring path) : path_(std::move(path)) {
    CreateDirectoryW(Folder().c_str(), nullptr);
    Remove(Ran());
    ok_ = CopyFileW(MarkerProgram().c_str(), path_.c_str(), FALSE) != FALSE;
  }
  PlacedMarker(const PlacedMarker&) = delete;
  PlacedMarker& operator=(const PlacedMarker&) = delete;
  ~PlacedMarker() {
    Remove(path_);
    Remove(Ran());
    Remove(path_ + L".part");
    RemoveDirectoryW(Folder().c_str());  // only when empty; C:\ stays
  }
  [[nodiscard]] bool Placed() const { return ok_; }
  [[nodiscard]] const std::wstring& Path() const { return path_; }
  [[nodiscard]] std::wstring Ran() const { return path_ + L".ran"; }
  [[nodiscard]] bool HasRun() const { return Exists(Ran()); }
  // The command line the marker was given (UTF-8), once it has run.
  [[nodiscard]] std::string CommandLine() const {
    std::string text;
    HANDLE raw = CreateFileW(Ran().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
      return text;
    }
    const UniqueHandle file(raw);
    char buffer[1024];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) != FALSE && got > 0) {
      text.append(buffer, got);
    }
    return text;
  }

 private:
  [[nodiscard]] std::wstring Folder() const { return path_.substr(0, path_.find_last_of(L'\\')); }
  std::wstring path_;
  bool ok_ = false;
};

// Waits until one of the markers has run; answers which (or nullptr).
inline const PlacedMarker* FirstToRun(const std::vector<const PlacedMarker*>& markers,
                                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    for (const PlacedMarker* marker : markers) {
      if (marker->HasRun()) {
        return marker;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return nullptr;
}

// A registry value set for a test and put back as it was afterwards.
class ScopedValue {
 public:
  ScopedValue(HKEY root, std::string key, std::string name)
      : root_(root), key_(std::move(key)), name_(std::move(name)) {
    if (const UniqueKey opened = OpenKey(root_, key_)) {
      keyExisted_ = true;
      DWORD type = 0;
      DWORD size = 0;
      if (RegQueryValueExA(opened.get(), name_.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        RegQueryValueExA(opened.get(), name_.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(bytes.data()), &size);
        bytes.resize(size);
        saved_ = Saved{type, bytes};
      }
    }
  }
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;
  ~ScopedValue() {
    if (saved_) {
      Set(saved_->type, saved_->bytes);
    } else {
      Delete();
    }
    if (!keyExisted_) {
      RegDeleteKeyA(root_, key_.c_str());
    }
  }
  bool Set(DWORD type, const std::string& bytes) {
    const UniqueKey key = OpenKey(root_, key_, true);
    return key && RegSetValueExA(key.get(), name_.c_str(), 0, type,
                                 reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
  }
  bool SetText(const std::string& text) { return Set(REG_SZ, text + std::string(1, '\0')); }
  void Delete() {
    if (const UniqueKey key = OpenKey(root_, key_)) {
      RegDeleteValueA(key.get(), name_.c_str());
    }
  }

 private:
  struct Saved {
    DWORD type;
    std::string bytes;
  };
  HKEY root_;
  std::string key_;
  std::string name_;
  bool keyExisted_ = false;
  std::optional<Saved> saved_;
};

}  // namespace corvane::testing
