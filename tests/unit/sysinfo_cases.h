// GetKeyValue cases that run against any registry a test can write to: the
// in-memory one here, the real one under Wine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ports/registry.h"

namespace corvane::testing {

struct KeyValueCase {
  const char* what;
  std::uint32_t type;
  std::string stored;  // the value's bytes exactly as stored
  std::string before;  // KeyVal as the caller passes it
  bool result;
  std::string after;   // KeyVal afterwards
};

inline std::string Dword(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFFU);
  }
  return bytes;
}

inline std::string Zero() { return std::string(1, '\0'); }

inline std::vector<KeyValueCase> KeyValueCases() {
  using namespace std::string_literals;
  const std::string a1023(1023, 'a');
  const std::string a1024(1024, 'a');
  return {
      {"REG_SZ stored with its terminator", reg::kSz, "hello" + Zero(), "old", true, "hello"},
      {"REG_SZ stored without a terminator", reg::kSz, "hello", "old", true, "hello"},
      {"REG_SZ with a zero inside, no terminator", reg::kSz, "ab\0cd"s, "old", true, "ab\0cd"s},
      {"REG_SZ with a zero inside and a terminator", reg::kSz, "ab\0cd\0"s, "old", true, "ab\0cd"s},
      {"REG_SZ holding only its terminator", reg::kSz, Zero(), "old", true, ""},
      {"REG_SZ of 1023 characters and terminator", reg::kSz, a1023 + Zero(), "old", true, a1023},
      {"REG_SZ of 1024 characters and terminator", reg::kSz, a1024 + Zero(), "old", false, ""},
      {"REG_SZ of 1024 characters, no terminator", reg::kSz, a1024, "old", true, a1024},
      {"REG_SZ of 1100 characters", reg::kSz, std::string(1100, 'b') + Zero(), "old", false, ""},
      {"REG_SZ in the ANSI code page", reg::kSz, "Caf\xE9" + Zero(), "old", true, "Caf\u00e9"},
      {"REG_DWORD 256 replaces text", reg::kDword, Dword(256), "whatever was here", true, "256"},
      {"REG_DWORD 256 replaces a number", reg::kDword, Dword(256), "17", true, "256"},
      {"REG_DWORD 0", reg::kDword, Dword(0), "old", true, "0"},
      {"REG_DWORD with the top bit set", reg::kDword, Dword(0x80000000U), "old", true, "2147483648"},
      {"REG_DWORD all bits set", reg::kDword, Dword(0xFFFFFFFFU), "", true, "4294967295"},
      {"REG_DWORD 0x01020304", reg::kDword, Dword(0x01020304U), "", true, "16909060"},
      {"REG_BINARY leaves KeyVal", reg::kBinary, "\x01\x02\x00\x03"s, "kept", true, "kept"},
      {"REG_EXPAND_SZ leaves KeyVal", reg::kExpandSz, "%SystemRoot%\\x" + Zero(), "kept", true, "kept"},
      {"REG_EXPAND_SZ leaves an empty KeyVal empty", reg::kExpandSz, "x" + Zero(), "", true, ""},
      {"REG_MULTI_SZ leaves KeyVal", reg::kMultiSz, "a\0b\0\0"s, "kept", true, "kept"},
  };
}

}  // namespace corvane::testing
