// The registry port: the three calls the About box makes to read one value
// of the machine-wide settings, with the status codes and value types Windows
// uses. Names and data cross this port as bytes in the system's ANSI code
// page; the port also converts between that code page and the program's
// UTF-8 text.
//
// Implementations: Win32Registry (advapi32), SystemInfoRegistry (Linux, which
// has no registry: the system-information tool's two places only) and
// MemoryRegistry (in memory, for tests).
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

namespace reg {

// Status codes (Windows error numbers).
inline constexpr std::int32_t kSuccess = 0;          // ERROR_SUCCESS
inline constexpr std::int32_t kFileNotFound = 2;     // ERROR_FILE_NOT_FOUND: no such key or value
inline constexpr std::int32_t kAccessDenied = 5;     // ERROR_ACCESS_DENIED
inline constexpr std::int32_t kInvalidHandle = 6;    // ERROR_INVALID_HANDLE
inline constexpr std::int32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr std::int32_t kMoreData = 234;       // ERROR_MORE_DATA: the data does not fit

// Value types.
inline constexpr std::uint32_t kNone = 0;       // REG_NONE
inline constexpr std::uint32_t kSz = 1;         // REG_SZ
inline constexpr std::uint32_t kExpandSz = 2;   // REG_EXPAND_SZ
inline constexpr std::uint32_t kBinary = 3;     // REG_BINARY
inline constexpr std::uint32_t kDword = 4;      // REG_DWORD
inline constexpr std::uint32_t kMultiSz = 7;    // REG_MULTI_SZ

// Access masks.
inline constexpr std::uint32_t kKeyRead = 0x20019;       // KEY_READ
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;  // KEY_ALL_ACCESS

}  // namespace reg

class Registry {
 public:
  // A key handle as the registry hands it out: a predefined root or an
  // opened key. Predefined roots are their 32-bit values, sign-extended.
  using Key = std::intptr_t;
  static constexpr Key kClassesRoot = static_cast<std::int32_t>(0x80000000U);
  static constexpr Key kCurrentUser = static_cast<std::int32_t>(0x80000001U);
  static constexpr Key kLocalMachine = static_cast<std::int32_t>(0x80000002U);
  static constexpr Key kUsers = static_cast<std::int32_t>(0x80000003U);

  Registry() = default;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;
  virtual ~Registry() = default;

  // Opens the key `subKey` (ANSI) below `root` with `access`; on success
  // stores its handle in `key`. Answers a status code.
  virtual std::int32_t OpenKey(Key root, const std::string& subKey, std::uint32_t options,
                               std::uint32_t access, Key& key) = 0;
  // Reads the value `name` (ANSI) of an open key into `data`, which holds
  // `size` bytes. Answers a status code; stores the value's type in `type`
  // and its size in bytes in `size` (the size needed when the answer is
  // kMoreData). A string's size counts its terminating zero when it was
  // stored with one.
  virtual std::int32_t QueryValue(Key key, const std::string& name, std::uint32_t& type,
                                  std::uint8_t* data, std::uint32_t& size) = 0;
  // Closes a key opened by OpenKey. Answers a status code.
  virtual std::int32_t CloseKey(Key key) = 0;

  // UTF-8 text to the ANSI code page; a character the code page cannot
  // represent becomes the code page's substitute.
  [[nodiscard]] virtual std::string ToAnsi(const std::string& text) const = 0;
  // ANSI bytes (zero bytes included) back to UTF-8 text.
  [[nodiscard]] virtual std::string FromAnsi(const std::string& bytes) const = 0;
};

}  // namespace corvane
