// The registry port over advapi32's ANSI functions.
#pragma once

#include "platform/ports/registry.h"

namespace corvane::win32 {

class Win32Registry final : public Registry {
 public:
  std::int32_t OpenKey(Key root, const std::string& subKey, std::uint32_t options,
                       std::uint32_t access, Key& key) override;
  std::int32_t QueryValue(Key key, const std::string& name, std::uint32_t& type,
                          std::uint8_t* data, std::uint32_t& size) override;
  std::int32_t CloseKey(Key key) override;
  [[nodiscard]] std::string ToAnsi(const std::string& text) const override;
  [[nodiscard]] std::string FromAnsi(const std::string& bytes) const override;
};

}  // namespace corvane::win32
