#include "platform/win32/https/proxy.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/win32_registry.h"

namespace corvane::win32::https {
namespace {

constexpr const char* kInternetSettings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
// Longer values are not settings a person made.
constexpr std::uint32_t kMostBytes = 64 * 1024;

// One value's type and bytes; false when it cannot be read.
bool ReadValue(Registry& registry, Registry::Key key, const char* name, std::uint32_t& type,
               std::string& bytes) {
  std::uint32_t size = 256;
  for (;;) {
    std::vector<std::uint8_t> buffer(size);
    std::uint32_t got = size;
    const std::int32_t status = registry.QueryValue(key, name, type, buffer.data(), got);
    if (status == reg::kSuccess && got <= size) {
      bytes.assign(buffer.begin(), buffer.begin() + got);
      return true;
    }
    if (status != reg::kMoreData || got <= size || got > kMostBytes) {
      return false;
    }
    size = got;
  }
}

// A REG_SZ's text (UTF-8), or empty.
std::string Text(Registry& registry, Registry::Key key, const char* name) {
  std::uint32_t type = 0;
  std::string bytes;
  if (!ReadValue(registry, key, name, type, bytes) || (type != reg::kSz && type != reg::kExpandSz)) {
    return {};
  }
  if (const std::size_t end = bytes.find('\0'); end != std::string::npos) {
    bytes.resize(end);
  }
  return registry.FromAnsi(bytes);
}

// ProxyEnable: a REG_DWORD, or on some systems four bytes of REG_BINARY.
bool Enabled(Registry& registry, Registry::Key key) {
  std::uint32_t type = 0;
  std::string bytes;
  if (!ReadValue(registry, key, "ProxyEnable", type, bytes) ||
      (type != reg::kDword && type != reg::kBinary) || bytes.empty()) {
    return false;
  }
  return bytes.find_first_not_of('\0') != std::string::npos;
}

}  // namespace

net::ProxySettings UserProxySettings(Registry& registry) {
  Registry::Key key = 0;
  if (registry.OpenKey(Registry::kCurrentUser, kInternetSettings, 0, reg::kKeyRead, key) !=
      reg::kSuccess) {
    return {};
  }
  const bool enabled = Enabled(registry, key);
  const std::string server = enabled ? Text(registry, key, "ProxyServer") : std::string();
  const std::string override = enabled ? Text(registry, key, "ProxyOverride") : std::string();
  registry.CloseKey(key);
  return net::ParseProxySettings(enabled, server, override);
}

net::ProxySettings UserProxySettings() {
  Win32Registry registry;
  return UserProxySettings(registry);
}

}  // namespace corvane::win32::https
