// frmAbout::GetKeyValue on the in-memory registry.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "program/browser_program.h"
#include "platform/fake/fake_backend.h"
#include "platform/fake/memory_registry.h"
#include "platform/ports/window.h"
#include "sysinfo_cases.h"

namespace corvane {
namespace {

constexpr const char* kKey = "SOFTWARE\\Corvane Tests\\Values";

// Passes every call on to a memory registry, counting them, and can be told
// to throw from one of them.
class CountingRegistry final : public Registry {
 public:
  explicit CountingRegistry(MemoryRegistry& inner) : inner_(inner) {}
  std::int32_t OpenKey(Key root, const std::string& subKey, std::uint32_t options,
                       std::uint32_t access, Key& key) override {
    if (throwOn == "OpenKey") throw Failure("open broke");
    const std::int32_t result = inner_.OpenKey(root, subKey, options, access, key);
    opened += result == reg::kSuccess ? 1 : 0;
    return result;
  }
  std::int32_t QueryValue(Key key, const std::string& name, std::uint32_t& type,
                          std::uint8_t* data, std::uint32_t& size) override {
    if (throwOn == "QueryValue") throw Failure("read broke");
    return inner_.QueryValue(key, name, type, data, size);
  }
  std::int32_t CloseKey(Key key) override {
    ++closed;
    const std::int32_t result = inner_.CloseKey(key);
    if (throwOn == "CloseKey") throw Failure("close broke");
    return result;
  }
  [[nodiscard]] std::string ToAnsi(const std::string& text) const override { return inner_.ToAnsi(text); }
  [[nodiscard]] std::string FromAnsi(const std::string& bytes) const override { return inner_.FromAnsi(bytes); }

  std::string throwOn;
  int opened = 0;
  int closed = 0;

 private:
  MemoryRegistry& inner_;
};

class GetKeyValueTest : public ::testing::Test {
 protected:
  fake::FakeBackend backend;
  MemoryRegistry registry;
  BrowserProgram program{Ports{backend, &registry, nullptr}, BuildSettings{"start.example"}};

  bool Read(const std::string& key, const std::string& value, std::string& keyVal,
            Registry::Key root = Registry::kLocalMachine) {
    std::int32_t keyRoot = static_cast<std::int32_t>(root);
    std::string keyName = key;
    std::string subKeyRef = value;
    const bool result = program.Get<frmAbout>().GetKeyValue(keyRoot, keyName, subKeyRef, keyVal);
    EXPECT_EQ(keyRoot, static_cast<std::int32_t>(root));  // never written
    return result;
  }
};

TEST_F(GetKeyValueTest, ReadsEachKindOfValueAsTheAboutBoxNeedsIt) {
  const auto cases = testing::KeyValueCases();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    registry.SetValue(Registry::kLocalMachine, kKey, "v" + std::to_string(i), cases[i].type,
                      cases[i].stored);
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.what);
    std::string keyVal = c.before;
    EXPECT_EQ(Read(kKey, "v" + std::to_string(i), keyVal), c.result);
    EXPECT_EQ(keyVal, c.after);
    EXPECT_EQ(registry.OpenHandles(), 0);
  }
}

TEST_F(GetKeyValueTest, MissingKeyOrValueAnswersFalseWithKeyValEmptyAndNothingLeftOpen) {
  registry.SetString(Registry::kLocalMachine, kKey, "present", "x");
  struct Case {
    const char* what;
    const char* key;
    const char* value;
    Registry::Key root;
  };
  for (const Case& c : {Case{"missing key", "SOFTWARE\\Corvane Tests\\Nothing", "present", Registry::kLocalMachine},
                        Case{"missing value", kKey, "absent", Registry::kLocalMachine},
                        Case{"key below another root", kKey, "present", Registry::kCurrentUser},
                        Case{"root that is no key", kKey, "present", 0x1234}}) {
    SCOPED_TRACE(c.what);
    std::string keyVal = "caller's text";
    EXPECT_FALSE(Read(c.key, c.value, keyVal, c.root));
    EXPECT_EQ(keyVal, "");
    EXPECT_EQ(registry.OpenHandles(), 0);
  }
}

TEST_F(GetKeyValueTest, OpensForReadingOnlySoARestrictedUserStillReads) {
  registry.refuseWriteAccess = true;  // machine-wide keys, standard user
  registry.SetString(Registry::kLocalMachine, kKey, "PATH", "C:\\tool.exe");
  std::string keyVal;
  EXPECT_TRUE(Read(kKey, "PATH", keyVal));
  EXPECT_EQ(keyVal, "C:\\tool.exe");
  EXPECT_EQ(registry.AccessRequested(), std::vector<std::uint32_t>{reg::kKeyRead});
}

TEST_F(GetKeyValueTest, AValueWithoutDataFailsTowardsTheCallerWithTheKeyClosed) {
  registry.SetValue(Registry::kLocalMachine, kKey, "empty", reg::kSz, "");
  std::string keyVal = "caller's text";
  EXPECT_THROW(Read(kKey, "empty", keyVal), Failure);
  EXPECT_EQ(registry.OpenHandles(), 0);
}

TEST_F(GetKeyValueTest, EveryOpenedKeyIsClosedOnEveryPath) {
  MemoryRegistry inner;
  inner.SetString(Registry::kLocalMachine, kKey, "text", "abc");
  inner.SetValue(Registry::kLocalMachine, kKey, "empty", reg::kSz, "");
  inner.SetValue(Registry::kLocalMachine, kKey, "long", reg::kSz, std::string(2000, 'x'));
  CountingRegistry counting(inner);
  BrowserProgram p{Ports{backend, &counting, nullptr}, BuildSettings{"start.example"}};
  struct Case {
    const char* what;
    const char* key;
    const char* value;
    const char* throwOn;
    bool throws;
  };
  for (const Case& c : {Case{"value read", kKey, "text", "", false},
                        Case{"value missing", kKey, "none", "", false},
                        Case{"value too long", kKey, "long", "", false},
                        Case{"value without data", kKey, "empty", "", true},
                        Case{"read throws", kKey, "text", "QueryValue", true},
                        Case{"close throws", kKey, "text", "CloseKey", false},
                        Case{"key missing", "SOFTWARE\\None", "text", "", false},
                        Case{"open throws", kKey, "text", "OpenKey", true}}) {
    SCOPED_TRACE(c.what);
    counting.throwOn = c.throwOn;
    const int openedBefore = counting.opened;
    const int closedBefore = counting.closed;
    std::int32_t root = static_cast<std::int32_t>(Registry::kLocalMachine);
    std::string keyName = c.key;
    std::string valueName = c.value;
    std::string keyVal;
    if (c.throws) {
      EXPECT_THROW(p.Get<frmAbout>().GetKeyValue(root, keyName, valueName, keyVal), Failure);
    } else {
      EXPECT_NO_THROW(p.Get<frmAbout>().GetKeyValue(root, keyName, valueName, keyVal));
    }
    EXPECT_EQ(counting.closed - closedBefore, counting.opened - openedBefore);
    EXPECT_EQ(inner.OpenHandles(), 0);
  }
}

TEST_F(GetKeyValueTest, NamesTravelInTheCodePageAndComeBackAsItCarriedThem) {
  registry.SetString(Registry::kLocalMachine, "SOFTWARE\\Caf\xE9", "Na\xEFve", "ok");
  std::int32_t root = static_cast<std::int32_t>(Registry::kLocalMachine);
  std::string keyName = "SOFTWARE\\Caf\u00e9";
  std::string valueName = "Na\u00efve";
  std::string keyVal;
  EXPECT_TRUE(program.Get<frmAbout>().GetKeyValue(root, keyName, valueName, keyVal));
  EXPECT_EQ(keyVal, "ok");
  EXPECT_EQ(keyName, "SOFTWARE\\Caf\u00e9");
  EXPECT_EQ(valueName, "Na\u00efve");

  // Characters the code page cannot hold come back as its substitute.
  keyName = "SOFTWARE\\\u03a9mega";
  valueName = "\u2603";
  keyVal = "caller's text";
  EXPECT_FALSE(program.Get<frmAbout>().GetKeyValue(root, keyName, valueName, keyVal));
  EXPECT_EQ(keyName, "SOFTWARE\\?mega");
  EXPECT_EQ(valueName, "?");
  EXPECT_EQ(keyVal, "");
}

TEST_F(GetKeyValueTest, AProgramWithoutARegistryFindsNothing) {
  BrowserProgram p{Ports{backend, nullptr, nullptr}, BuildSettings{"start.example"}};
  std::int32_t root = static_cast<std::int32_t>(Registry::kLocalMachine);
  std::string keyName = kKey;
  std::string valueName = "PATH";
  std::string keyVal = "caller's text";
  EXPECT_FALSE(p.Get<frmAbout>().GetKeyValue(root, keyName, valueName, keyVal));
  EXPECT_EQ(keyVal, "");
}

}  // namespace
}  // namespace corvane
