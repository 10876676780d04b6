// The About box's System Info: find the system-information tool through the
// registry and start it, or tell the user it is unavailable.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "about/frm_about.h"
#include "app/identity.h"
#include "app/program.h"
#include "platform/ports/failure.h"
#include "platform/ports/registry.h"
#include "platform/ports/shell.h"

namespace corvane {

namespace {

constexpr std::size_t kReadBufferSize = 1024;
constexpr const char* kToolFile = "\\MSINFO32.EXE";
constexpr const char* kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kToolValue = "PATH";
constexpr const char* kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kFolderValue = "MSINFO";
constexpr const char* kUnavailable = "System Information Is Unavailable At This Time";

// A key opened by GetKeyValue; closed on every path out, failures included.
class OpenedKey {
 public:
  explicit OpenedKey(Registry& registry) : registry_(registry) {}
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() {
    if (open) {
      try {
        registry_.CloseKey(handle);  // its answer does not matter
      } catch (...) {  // NOLINT(bugprone-empty-catch): a failed close changes nothing for the caller
      }
    }
  }

  Registry::Key handle = 0;
  bool open = false;

 private:
  Registry& registry_;
};

Shell& Require(Shell* shell) {
  if (shell == nullptr) {
    throw Failure("this program has no shell to start programs with");
  }
  return *shell;
}

}  // namespace

bool frmAbout::GetKeyValue(std::int32_t& KeyRoot, std::string& KeyName, std::string& SubKeyRef,
                           std::string& KeyVal) {
  Registry* registry = TheProgram().ThePorts().registry;
  if (registry == nullptr) {  // a system without a registry: no key opens
    KeyVal.clear();
    return false;
  }
  // Names go to the registry in its code page and come back as it carried them.
  const std::string keyName = registry->ToAnsi(KeyName);
  const std::string valueName = registry->ToAnsi(SubKeyRef);
  KeyName = registry->FromAnsi(keyName);
  SubKeyRef = registry->FromAnsi(valueName);

  OpenedKey key(*registry);
  // Read access is all this needs; full access is refused to a standard user.
  if (registry->OpenKey(static_cast<Registry::Key>(KeyRoot), keyName, 0, reg::kKeyRead,
                        key.handle) != reg::kSuccess) {
    KeyVal.clear();
    return false;
  }
  key.open = true;

  std::array<std::uint8_t, kReadBufferSize> buffer{};
  std::uint32_t type = reg::kNone;
  std::uint32_t size = kReadBufferSize;
  if (registry->QueryValue(key.handle, valueName, type, buffer.data(), size) != reg::kSuccess) {
    KeyVal.clear();  // also data longer than the buffer (kMoreData)
    return false;
  }

  // Trim to the data: when the byte at position n (from 1) is zero, the
  // value was stored with its terminator, which goes; otherwise all n stay.
  // There is no position 0: a value without data is an invalid argument.
  if (size == 0) {
    throw Failure("Invalid procedure call or argument");
  }
  std::size_t kept = std::min<std::size_t>(size, kReadBufferSize);
  if (size <= kReadBufferSize && buffer[size - 1] == 0) {
    kept = size - 1;
  }

  if (type == reg::kSz) {
    KeyVal = registry->FromAnsi(std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(kept)));
  } else if (type == reg::kDword) {
    // Least significant byte first; the number is unsigned, so a value with
    // its top bit set reads as the large positive number, never negative.
    const std::uint32_t number = static_cast<std::uint32_t>(buffer[0]) |
                                 (static_cast<std::uint32_t>(buffer[1]) << 8U) |
                                 (static_cast<std::uint32_t>(buffer[2]) << 16U) |
                                 (static_cast<std::uint32_t>(buffer[3]) << 24U);
    KeyVal = std::to_string(number);
  }
  // Any other type counts as read and leaves KeyVal as it was.
  return true;
}

void frmAbout::StartSysInfo() noexcept {
  Shell* shell = TheProgram().ThePorts().shell;
  try {
    std::int32_t root = static_cast<std::int32_t>(Registry::kLocalMachine);
    std::string SysInfoPath;
    std::string keyName = kToolKey;
    std::string valueName = kToolValue;
    bool found = GetKeyValue(root, keyName, valueName, SysInfoPath);
    if (!found) {
      // Only the folder is known there; the tool must be in it.
      keyName = kFolderKey;
      valueName = kFolderValue;
      if (GetKeyValue(root, keyName, valueName, SysInfoPath) &&
          !Require(shell).FindFile(SysInfoPath + kToolFile).empty()) {
        SysInfoPath += kToolFile;
        found = true;
      }
    }
    // The path read from the first place is used as it is: if it names
    // nothing that can start, the start fails and the message follows.
    if (found) {
      Require(shell).StartProgram(SysInfoPath);
      return;
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): every failure ends in the message below
  }
  try {
    if (shell != nullptr) {
      shell->ShowMessage(kUnavailable, identity::Title);
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to tell the user with
  }
}

}  // namespace corvane
