#include "platform/win32/browser_emulation.h"

#include <cstddef>
#include <cwchar>
#include <utility>
#include <vector>

namespace corvane::win32 {

namespace {

// A registry key opened here, closed when it goes.
class OpenedKey {
 public:
  OpenedKey() = default;
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() {
    if (key_ != nullptr) {
      ::RegCloseKey(key_);
    }
  }
  HKEY* Out() { return &key_; }
  [[nodiscard]] HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// A text value of `key`, or empty.
std::wstring TextValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ || size == 0 || size > 1024) {
    return {};
  }
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return text.data();  // up to the terminator, stored or not
}

// The leading number of a version text and the one after its first dot;
// -1 where there is none.
std::pair<long, long> MajorMinor(const std::wstring& version) {
  const wchar_t* text = version.c_str();
  wchar_t* end = nullptr;
  if (*text < L'0' || *text > L'9') {
    return {-1, -1};
  }
  const long major = std::wcstol(text, &end, 10);
  long minor = -1;
  if (*end == L'.' && end[1] >= L'0' && end[1] <= L'9') {
    minor = std::wcstol(end + 1, nullptr, 10);
  }
  return {major, minor};
}

// Engines of version 10 and 11 state "9.10..." and "9.11..." as their
// Version (their true one is svcVersion).
long EngineMajor(const std::wstring& serviceVersion, const std::wstring& version) {
  if (const long major = MajorMinor(serviceVersion).first; major > 0) {
    return major;
  }
  const auto [major, minor] = MajorMinor(version);
  if (major == 9 && minor >= 10) {
    return minor;
  }
  return major;
}

// The running program's file name, or empty.
std::wstring ProgramName() noexcept {
  try {
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    for (;;) {
      length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (length == 0) {
        return {};
      }
      if (length < path.size()) {
        break;
      }
      if (path.size() >= 32768) {
        return {};
      }
      path.resize(path.size() * 2);  // cut short: a longer path
    }
    const std::wstring full(path.data(), length);
    const auto slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
  } catch (...) {
    return {};
  }
}

}  // namespace

DWORD BrowserEmulationValue(const std::wstring& serviceVersion, const std::wstring& version) {
  // The newest engine that has this setting is 11; newer systems still
  // carry engine 11. An engine whose version cannot be read is taken to be
  // that one.
  constexpr long kNewest = 11;
  long major = EngineMajor(serviceVersion, version);
  if (major < 0 || major > kNewest) {
    major = kNewest;
  }
  // Engines before 8 know only their default mode.
  if (major < 8) {
    return 0;
  }
  // NNNN000: pages are shown in the engine's newest standards mode, and
  // pages that ask for another mode (or have no doctype) still get it.
  return static_cast<DWORD>(major) * 1000;
}

BrowserEmulation::BrowserEmulation(HKEY user, HKEY machine, std::wstring program) noexcept
    : user_(user), program_(std::move(program)) {
  try {
    Write(machine);
  } catch (...) {  // NOLINT(bugprone-empty-catch): the default rendering remains
  }
}

BrowserEmulation::BrowserEmulation() noexcept
    : BrowserEmulation(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, ProgramName()) {}

void BrowserEmulation::Write(HKEY machine) {
  if (program_.empty()) {
    return;
  }
  {
    OpenedKey existing;
    if (::RegOpenKeyExW(user_, kBrowserEmulationKey, 0, KEY_QUERY_VALUE, existing.Out()) ==
            ERROR_SUCCESS &&
        ::RegQueryValueExW(existing.get(), program_.c_str(), nullptr, nullptr, nullptr, nullptr) !=
            ERROR_FILE_NOT_FOUND) {
      return;  // the user's (or another run's) value stays
    }
  }
  std::wstring serviceVersion;
  std::wstring version;
  {
    OpenedKey engine;
    if (::RegOpenKeyExW(machine, kEngineKey, 0, KEY_QUERY_VALUE, engine.Out()) == ERROR_SUCCESS) {
      serviceVersion = TextValue(engine.get(), L"svcVersion");
      version = TextValue(engine.get(), L"Version");
    }
  }
  value_ = BrowserEmulationValue(serviceVersion, version);
  if (value_ == 0) {
    return;
  }
  // Key by key, to know which ones this run makes.
  HKEY parent = user_;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    const bool last = i + 1 == keys_.size();
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(parent, kBrowserEmulationPath[i], 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_QUERY_VALUE | (last ? KEY_SET_VALUE : KEY_CREATE_SUB_KEY), nullptr,
                          &key, &disposition) != ERROR_SUCCESS) {
      return;  // the keys made so far go at the end
    }
    keys_[i].reset(key);
    if (disposition == REG_CREATED_NEW_KEY && firstMade_ == keys_.size()) {
      firstMade_ = i;
    }
    parent = key;
  }
  written_ = ::RegSetValueExW(keys_.back().get(), program_.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&value_),
                              sizeof value_) == ERROR_SUCCESS;
}

BrowserEmulation::~BrowserEmulation() {
  HKEY values = keys_.back().get();
  DWORD type = 0;
  DWORD now = 0;
  DWORD size = sizeof now;
  // The value goes unless it changed meanwhile: then it is no longer this
  // run's but the user's (or another program's).
  if (written_ &&
      ::RegQueryValueExW(values, program_.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&now),
                         &size) == ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof now && now == value_) {
    ::RegDeleteValueW(values, program_.c_str());
  }
  // The keys this run made, deepest first, while nothing else is in them.
  for (std::size_t i = keys_.size(); i-- > firstMade_;) {
    if (!keys_[i]) {
      continue;  // never made
    }
    DWORD subkeys = 1;
    DWORD count = 1;
    if (::RegQueryInfoKeyW(keys_[i].get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                           &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0 || count != 0) {
      return;
    }
    keys_[i].reset();
    if (::RegDeleteKeyW(i == 0 ? user_ : keys_[i - 1].get(), kBrowserEmulationPath[i]) !=
        ERROR_SUCCESS) {
      return;
    }
  }
}

}  // namespace corvane::win32
