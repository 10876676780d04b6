#include "platform/win32/win32_registry.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace corvane::win32 {

// The port speaks in the registry's own numbers.
static_assert(reg::kSuccess == ERROR_SUCCESS && reg::kFileNotFound == ERROR_FILE_NOT_FOUND &&
              reg::kAccessDenied == ERROR_ACCESS_DENIED && reg::kInvalidHandle == ERROR_INVALID_HANDLE &&
              reg::kInvalidParameter == ERROR_INVALID_PARAMETER && reg::kMoreData == ERROR_MORE_DATA);
static_assert(reg::kNone == REG_NONE && reg::kSz == REG_SZ && reg::kExpandSz == REG_EXPAND_SZ &&
              reg::kBinary == REG_BINARY && reg::kDword == REG_DWORD && reg::kMultiSz == REG_MULTI_SZ);
static_assert(reg::kKeyRead == KEY_READ && reg::kKeyAllAccess == KEY_ALL_ACCESS);

namespace {

HKEY ToHandle(Registry::Key key) {
  return reinterpret_cast<HKEY>(key);  // NOLINT(performance-no-int-to-ptr): a handle is a number
}

}  // namespace

std::int32_t Win32Registry::OpenKey(Key root, const std::string& subKey, std::uint32_t options,
                                    std::uint32_t access, Key& key) {
  HKEY opened = nullptr;
  const LONG result = RegOpenKeyExA(ToHandle(root), subKey.c_str(), options, access, &opened);
  if (result == ERROR_SUCCESS) {
    key = reinterpret_cast<Key>(opened);
  }
  return static_cast<std::int32_t>(result);
}

std::int32_t Win32Registry::QueryValue(Key key, const std::string& name, std::uint32_t& type,
                                       std::uint8_t* data, std::uint32_t& size) {
  DWORD valueType = REG_NONE;
  DWORD valueSize = size;
  const LONG result =
      RegQueryValueExA(ToHandle(key), name.c_str(), nullptr, &valueType, data, &valueSize);
  type = valueType;
  size = valueSize;
  return static_cast<std::int32_t>(result);
}

std::int32_t Win32Registry::CloseKey(Key key) {
  return static_cast<std::int32_t>(RegCloseKey(ToHandle(key)));
}

std::string Win32Registry::ToAnsi(const std::string& text) const { return win32::ToAnsi(text); }

std::string Win32Registry::FromAnsi(const std::string& bytes) const {
  return win32::FromAnsi(bytes);
}

}  // namespace corvane::win32
