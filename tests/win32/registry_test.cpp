// GetKeyValue and the registry adapter against the real advapi32, with
// values the tests write themselves.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "about/frm_about.h"
#include "program/browser_program.h"
#include "platform/fake/fake_backend.h"
#include "platform/fake/memory_registry.h"
#include "platform/win32/win32_registry.h"
#include "platform/ports/window.h"
#include "../unit/sysinfo_cases.h"
#include "wine_helpers.h"

namespace corvane {
namespace {

using testing::OpenKey;
using testing::UniqueKey;

constexpr const char* kTestKey = "Software\\Corvane Ombrel Tests\\Registry";

// Passes every call on to the real registry and counts the keys opened and closed.
class CountingRegistry final : public Registry {
 public:
  std::int32_t OpenKey(Key root, const std::string& subKey, std::uint32_t options,
                       std::uint32_t access, Key& key) override {
    const std::int32_t result = real.OpenKey(root, subKey, options, access, key);
    opened += result == reg::kSuccess ? 1 : 0;
    return result;
  }
  std::int32_t QueryValue(Key key, const std::string& name, std::uint32_t& type,
                          std::uint8_t* data, std::uint32_t& size) override {
    return real.QueryValue(key, name, type, data, size);
  }
  std::int32_t CloseKey(Key key) override {
    const std::int32_t result = real.CloseKey(key);
    closed += result == reg::kSuccess ? 1 : 0;
    return result;
  }
  [[nodiscard]] std::string ToAnsi(const std::string& text) const override { return real.ToAnsi(text); }
  [[nodiscard]] std::string FromAnsi(const std::string& bytes) const override { return real.FromAnsi(bytes); }

  win32::Win32Registry real;
  int opened = 0;
  int closed = 0;
};

class RealRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
    key = OpenKey(HKEY_CURRENT_USER, kTestKey, true);
    ASSERT_TRUE(key);
  }
  void TearDown() override {
    key.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
  }
  // Stores exactly `bytes`. RegSetValueExA counts a string's terminator
  // that the caller left out when the byte after the data is zero, so a
  // non-zero byte follows here.
  void Put(const std::string& name, std::uint32_t type, const std::string& bytes) {
    const std::string padded = bytes + "X";
    ASSERT_EQ(RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(padded.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }
  bool Read(const std::string& keyName, const std::string& value, std::string& keyVal) {
    std::int32_t root = static_cast<std::int32_t>(Registry::kCurrentUser);
    std::string name = keyName;
    std::string valueName = value;
    return program.Get<frmAbout>().GetKeyValue(root, name, valueName, keyVal);
  }

  UniqueKey key;
  fake::FakeBackend backend;
  CountingRegistry registry;
  BrowserProgram program{Ports{backend, &registry, nullptr}, BuildSettings{"start.example"}};
};

TEST_F(RealRegistry, PredefinedRootsAreTheSameHandles) {
  EXPECT_EQ(reinterpret_cast<Registry::Key>(HKEY_LOCAL_MACHINE), Registry::kLocalMachine);
  EXPECT_EQ(reinterpret_cast<Registry::Key>(HKEY_CURRENT_USER), Registry::kCurrentUser);
  EXPECT_EQ(reinterpret_cast<Registry::Key>(HKEY_CLASSES_ROOT), Registry::kClassesRoot);
  EXPECT_EQ(reinterpret_cast<Registry::Key>(HKEY_USERS), Registry::kUsers);
}

TEST_F(RealRegistry, GetKeyValueReadsEachKindOfValueAsTheAboutBoxNeedsIt) {
  const auto cases = testing::KeyValueCases();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Put("v" + std::to_string(i), cases[i].type, cases[i].stored);
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.what);
    std::string keyVal = c.before;
    EXPECT_EQ(Read(kTestKey, "v" + std::to_string(i), keyVal), c.result);
    EXPECT_EQ(keyVal, c.after);
    EXPECT_EQ(registry.closed, registry.opened);
  }
}

TEST_F(RealRegistry, TheInMemoryRegistryAnswersAsTheRealOneDoes) {
  const auto cases = testing::KeyValueCases();
  MemoryRegistry memory;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Put("v" + std::to_string(i), cases[i].type, cases[i].stored);
    memory.SetValue(Registry::kCurrentUser, kTestKey, "v" + std::to_string(i), cases[i].type, cases[i].stored);
  }
  win32::Win32Registry real;
  Registry::Key realKey = 0;
  Registry::Key memoryKey = 0;
  ASSERT_EQ(real.OpenKey(Registry::kCurrentUser, kTestKey, 0, reg::kKeyRead, realKey), reg::kSuccess);
  ASSERT_EQ(memory.OpenKey(Registry::kCurrentUser, kTestKey, 0, reg::kKeyRead, memoryKey), reg::kSuccess);
  for (std::size_t i = 0; i <= cases.size(); ++i) {  // the last one is missing
    SCOPED_TRACE(i < cases.size() ? cases[i].what : "missing value");
    for (const std::uint32_t bufferSize : {1024U, 3U}) {
      std::array<std::uint8_t, 1024> realData{};
      std::array<std::uint8_t, 1024> memoryData{};
      std::uint32_t realType = 99;
      std::uint32_t memoryType = 99;
      std::uint32_t realSize = bufferSize;
      std::uint32_t memorySize = bufferSize;
      const std::string name = "v" + std::to_string(i);
      const std::int32_t realResult = real.QueryValue(realKey, name, realType, realData.data(), realSize);
      EXPECT_EQ(memory.QueryValue(memoryKey, name, memoryType, memoryData.data(), memorySize), realResult);
      EXPECT_EQ(memorySize, realSize);
      if (realResult == reg::kSuccess || realResult == reg::kMoreData) {
        EXPECT_EQ(memoryType, realType);
      }
      if (realResult == reg::kSuccess) {
        EXPECT_EQ(memoryData, realData);
      }
    }
  }
  EXPECT_EQ(real.CloseKey(realKey), reg::kSuccess);
  EXPECT_EQ(memory.CloseKey(memoryKey), reg::kSuccess);
}

TEST_F(RealRegistry, MissingKeyOrValueAnswersFalseWithKeyValEmpty) {
  Put("present", REG_SZ, std::string("x", 2));
  for (const auto& [keyName, value] : {std::pair<std::string, std::string>{kTestKey, "absent"},
                                       {std::string(kTestKey) + "\\Nothing", "present"}}) {
    SCOPED_TRACE(keyName + " / " + value);
    std::string keyVal = "caller's text";
    EXPECT_FALSE(Read(keyName, value, keyVal));
    EXPECT_EQ(keyVal, "");
    EXPECT_EQ(registry.closed, registry.opened);
  }
}

TEST_F(RealRegistry, AValueWithoutDataFailsWithTheKeyClosed) {
  Put("empty", REG_SZ, "");
  std::string keyVal = "caller's text";
  EXPECT_THROW(Read(kTestKey, "empty", keyVal), Failure);
  EXPECT_EQ(registry.opened, 1);
  EXPECT_EQ(registry.closed, 1);
}

TEST_F(RealRegistry, ReadsMachineWideKeysWithReadAccess) {
  // Present in every Windows installation, and in Wine's.
  std::int32_t root = static_cast<std::int32_t>(Registry::kLocalMachine);
  std::string keyName = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  std::string valueName = "CurrentVersion";
  std::string keyVal;
  EXPECT_TRUE(program.Get<frmAbout>().GetKeyValue(root, keyName, valueName, keyVal));
  EXPECT_FALSE(keyVal.empty());
  EXPECT_EQ(registry.closed, registry.opened);
}

}  // namespace
}  // namespace corvane
