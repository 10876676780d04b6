// A registry kept in memory, with the contract of the Windows one: value
// types and sizes as stored (a string's terminating zero included when it was
// stored with one), kMoreData when the data does not fit the caller's buffer,
// kFileNotFound for a missing key or value, case-insensitive names. Its ANSI
// code page is Latin-1 ("?" stands for what Latin-1 cannot hold).
//
// The core tests fill it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/ports/registry.h"

namespace corvane {

class MemoryRegistry final : public Registry {
 public:
  std::int32_t OpenKey(Key root, const std::string& subKey, std::uint32_t options,
                       std::uint32_t access, Key& key) override;
  std::int32_t QueryValue(Key key, const std::string& name, std::uint32_t& type,
                          std::uint8_t* data, std::uint32_t& size) override;
  std::int32_t CloseKey(Key key) override;
  [[nodiscard]] std::string ToAnsi(const std::string& text) const override;
  [[nodiscard]] std::string FromAnsi(const std::string& bytes) const override;

  // Setup: creates the key `subKey` below `root` (and the keys above it).
  void CreateKey(Key root, const std::string& subKey);
  // Setup: stores a value of any type with exactly these bytes, creating its key.
  void SetValue(Key root, const std::string& subKey, const std::string& name,
                std::uint32_t type, std::string bytes);
  // Setup: a REG_SZ of ANSI text, with or without its terminating zero.
  void SetString(Key root, const std::string& subKey, const std::string& name,
                 const std::string& text, bool withTerminator = true);
  // Setup: a REG_DWORD, least significant byte first.
  void SetDword(Key root, const std::string& subKey, const std::string& name,
                std::uint32_t value);

  // When set, opening a key for more than reading is refused with
  // kAccessDenied, as the machine-wide keys are for a standard user.
  bool refuseWriteAccess = false;

  // Keys opened and not closed yet.
  [[nodiscard]] int OpenHandles() const { return static_cast<int>(open_.size()); }
  // Every access mask asked for, in order.
  [[nodiscard]] const std::vector<std::uint32_t>& AccessRequested() const { return access_; }

 private:
  // The folded full path of `subKey` below `root`, or false when `root` is
  // neither a predefined root nor an open key.
  bool Resolve(Key root, const std::string& subKey, std::string& path) const;

  struct Value {
    std::uint32_t type;
    std::string bytes;
  };
  std::set<std::string> keys_;
  std::map<std::pair<std::string, std::string>, Value> values_;
  std::map<Key, std::string> open_;
  std::vector<std::uint32_t> access_;
  Key next_ = 0x100;
};

}  // namespace corvane
