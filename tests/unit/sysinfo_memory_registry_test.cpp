// The in-memory registry keeps the Windows registry's contract.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "platform/fake/memory_registry.h"

namespace corvane {
namespace {

TEST(MemoryRegistry, QueryReportsTypeAndSizeAndRefusesABufferTooSmall) {
  MemoryRegistry registry;
  registry.SetString(Registry::kLocalMachine, "A\\B", "hello", "hello");
  Registry::Key key = 0;
  ASSERT_EQ(registry.OpenKey(Registry::kLocalMachine, "A\\B", 0, reg::kKeyRead, key), reg::kSuccess);

  std::array<std::uint8_t, 8> buffer{};
  std::uint32_t type = 0;
  std::uint32_t size = 5;  // one short of "hello" and its terminator
  EXPECT_EQ(registry.QueryValue(key, "hello", type, buffer.data(), size), reg::kMoreData);
  EXPECT_EQ(size, 6U);
  EXPECT_EQ(buffer[0], 0);  // nothing copied

  size = 6;
  EXPECT_EQ(registry.QueryValue(key, "hello", type, buffer.data(), size), reg::kSuccess);
  EXPECT_EQ(type, reg::kSz);
  EXPECT_EQ(size, 6U);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 6), std::string("hello", 6));

  size = 0;
  EXPECT_EQ(registry.QueryValue(key, "HELLO", type, nullptr, size), reg::kSuccess);  // size only, any case
  EXPECT_EQ(size, 6U);
  EXPECT_EQ(registry.QueryValue(key, "other", type, buffer.data(), size), reg::kFileNotFound);
  EXPECT_EQ(registry.CloseKey(key), reg::kSuccess);
  EXPECT_EQ(registry.CloseKey(key), reg::kInvalidHandle);
  EXPECT_EQ(registry.QueryValue(key, "hello", type, buffer.data(), size), reg::kInvalidHandle);
}

TEST(MemoryRegistry, KeysOpenBelowRootsAndOpenKeysAndEveryPartOfThePathExists) {
  MemoryRegistry registry;
  registry.SetDword(Registry::kCurrentUser, "Software\\Deep\\Er", "n", 7);
  Registry::Key upper = 0;
  Registry::Key lower = 0;
  EXPECT_EQ(registry.OpenKey(Registry::kCurrentUser, "software\\deep", 0, reg::kKeyRead, upper), reg::kSuccess);
  EXPECT_EQ(registry.OpenKey(upper, "ER", 0, reg::kKeyRead, lower), reg::kSuccess);
  EXPECT_NE(upper, lower);
  EXPECT_EQ(registry.OpenHandles(), 2);
  Registry::Key none = 0;
  EXPECT_EQ(registry.OpenKey(Registry::kLocalMachine, "Software\\Deep", 0, reg::kKeyRead, none), reg::kFileNotFound);
  EXPECT_EQ(registry.OpenKey(Registry::kCurrentUser, "Software\\Deep\\Er\\Not", 0, reg::kKeyRead, none),
            reg::kFileNotFound);

  std::array<std::uint8_t, 4> buffer{};
  std::uint32_t type = 0;
  std::uint32_t size = 4;
  EXPECT_EQ(registry.QueryValue(lower, "n", type, buffer.data(), size), reg::kSuccess);
  EXPECT_EQ(type, reg::kDword);
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{7, 0, 0, 0}));
  registry.CloseKey(lower);
  registry.CloseKey(upper);
  EXPECT_EQ(registry.OpenHandles(), 0);
}

TEST(MemoryRegistry, RefusesWideAccessWhenToldToButNotReading) {
  MemoryRegistry registry;
  registry.CreateKey(Registry::kLocalMachine, "SOFTWARE\\X");
  registry.refuseWriteAccess = true;
  Registry::Key key = 0;
  EXPECT_EQ(registry.OpenKey(Registry::kLocalMachine, "SOFTWARE\\X", 0, reg::kKeyAllAccess, key), reg::kAccessDenied);
  EXPECT_EQ(registry.OpenKey(Registry::kLocalMachine, "SOFTWARE\\X", 0, reg::kKeyRead, key), reg::kSuccess);
  EXPECT_EQ(registry.OpenHandles(), 1);
}

TEST(MemoryRegistry, CodePageIsLatin1WithAQuestionMarkForTheRest) {
  const MemoryRegistry registry;
  struct Case {
    std::string text;
    std::string ansi;
  };
  for (const Case& c : {Case{"plain", "plain"}, Case{"Caf\u00e9 \u00ff", "Caf\xE9 \xFF"},
                        Case{"\u20ac1 \u03a9", "?1 ?"}, Case{"\U0001F600!", "?!"},
                        Case{"bad \xC3", "bad ?"}, Case{std::string("a\0b", 3), std::string("a\0b", 3)}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(registry.ToAnsi(c.text), c.ansi);
  }
  EXPECT_EQ(registry.FromAnsi("Caf\xE9 \xFF"), "Caf\u00e9 \u00ff");
  EXPECT_EQ(registry.FromAnsi(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace corvane
