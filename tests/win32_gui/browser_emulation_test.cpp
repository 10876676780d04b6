// The web control's rendering mode: the per-program value written for a run
// under the user's feature-control key, from the engine's version, taken
// away again with the keys made for it at the run's end, and nothing else
// touched.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/browser_emulation.h"
#include "platform/win32/text.h"
#include "tests/win32_gui/program_driver.h"
#include "tests/win32_gui/registry_snapshot.h"

namespace corvane::win32 {
namespace {

TEST(BrowserEmulation, TheValueFollowsTheEnginesVersion) {
  const struct {
    const wchar_t* serviceVersion;
    const wchar_t* version;
    DWORD value;
  } cases[] = {
      {L"11.0.9600.18537", L"9.11.9600.18537", 11000},
      {L"11.0.22621.1", L"", 11000},
      {L"10.0.9200.16384", L"9.10.9200.16384", 10000},
      {L"", L"9.11.9600.17416", 11000},  // svcVersion missing: Version's minor tells
      {L"", L"9.10.9200.16384", 10000},
      {L"", L"9.0.8112.16421", 9000},
      {L"", L"8.0.6001.18702", 8000},
      {L"", L"7.0.5730.13", 0},  // no newer mode than the default
      {L"", L"6.0.2900.5512", 0},
      {L"", L"", 11000},  // unreadable: taken as the newest engine
      {L"x", L"none", 11000},
      {L"12.0.1", L"", 11000},  // there is no newer mode to ask for
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BrowserEmulationValue(c.serviceVersion, c.version), c.value)
        << "svcVersion '" << ToUtf8(std::wstring(c.serviceVersion)) << "' Version '" << ToUtf8(std::wstring(c.version))
        << "'";
  }
}

// A scratch key of this test, removed with everything under it.
class ScratchKey {
 public:
  explicit ScratchKey(const std::wstring& path) : path_(path) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key_, nullptr);
  }
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;
  ~ScratchKey() {
    ::RegCloseKey(key_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  }
  [[nodiscard]] HKEY get() const { return key_; }

 private:
  std::wstring path_;
  HKEY key_ = nullptr;
};

void SetText(HKEY root, const wchar_t* path, const wchar_t* name, const std::wstring& text) {
  ASSERT_EQ(::RegSetKeyValueW(root, path, name, REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void SetNumber(HKEY root, const wchar_t* path, const wchar_t* name, DWORD number) {
  ASSERT_EQ(::RegSetKeyValueW(root, path, name, REG_DWORD, &number, sizeof number), ERROR_SUCCESS);
}

using test::Snapshot;
using test::Take;

std::optional<DWORD> Number(HKEY root, const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (::RegGetValueW(root, kBrowserEmulationKey, name, RRF_RT_ANY, &type, &value, &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return value;
}

// What differs between two snapshots, one entry a line.
std::string Differences(const Snapshot& got, const Snapshot& want) {
  std::string text;
  for (const auto& [name, entry] : got) {
    const auto other = want.find(name);
    if (other == want.end()) {
      text += "added " + ToUtf8(name) + "\n";
    } else if (other->second != entry) {
      text += "changed " + ToUtf8(name) + "\n";
    }
  }
  for (const auto& [name, entry] : want) {
    if (got.count(name) == 0) {
      text += "removed " + ToUtf8(name) + "\n";
    }
  }
  return text;
}

const wchar_t kValueEntry[] =
    L"\\Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
    L"FEATURE_BROWSER_EMULATION|Corvane Ombrel.exe";

TEST(BrowserEmulation, ARunWritesOnlyItsMissingValueAndTakesItAway) {
  const struct Parent {
    Parent() = default;
    Parent(const Parent&) = delete;
    Parent& operator=(const Parent&) = delete;
    ~Parent() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\CorvaneOmbrelTests"); }
  } parent;
  const ScratchKey user(L"Software\\CorvaneOmbrelTests\\user");
  const ScratchKey machine(L"Software\\CorvaneOmbrelTests\\machine");
  ASSERT_NE(user.get(), nullptr);
  ASSERT_NE(machine.get(), nullptr);
  const wchar_t* program = L"Corvane Ombrel.exe";

  enum class Before { NoKey, OtherPrograms, Present, PresentAsText, OtherFeatures };
  // What happens in the user's registry while the run goes on.
  enum class During { Nothing, UserChangesTheValue, OtherProgramWrites };
  const struct {
    const char* what;
    Before before;
    const wchar_t* engineVersion;  // svcVersion; empty: no engine key at all
    std::optional<DWORD> after;    // this program's number during the run
    bool written;
    During during;
  } cases[] = {
      {"nothing there yet", Before::NoKey, L"11.0.9600.1", 11000, true, During::Nothing},
      {"other programs' values", Before::OtherPrograms, L"10.0.9200.1", 10000, true,
       During::Nothing},
      {"other features of the user", Before::OtherFeatures, L"11.0.9600.1", 11000, true,
       During::Nothing},
      {"the user's own value", Before::Present, L"11.0.9600.1", 7000, false, During::Nothing},
      {"a value of another type", Before::PresentAsText, L"11.0.9600.1", std::nullopt, false,
       During::Nothing},
      {"no engine version", Before::NoKey, L"", 11000, true, During::Nothing},
      {"an engine without newer modes", Before::OtherPrograms, L"7.0.5730.13", std::nullopt,
       false, During::Nothing},
      {"the user sets the value during the run", Before::OtherFeatures, L"11.0.9600.1", 11000,
       true, During::UserChangesTheValue},
      {"another program writes into the key made", Before::NoKey, L"11.0.9600.1", 11000, true,
       During::OtherProgramWrites},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::RegDeleteTreeW(user.get(), L"Software");
    ::RegDeleteTreeW(machine.get(), L"Software");
    const std::wstring feature = kBrowserEmulationKey;
    switch (c.before) {
      case Before::NoKey:
        break;
      case Before::OtherPrograms:
        SetNumber(user.get(), feature.c_str(), L"other.exe", 9000);
        SetNumber(user.get(), feature.c_str(), L"Corvane Ombrel.exe.bak", 8000);
        break;
      case Before::Present:
        SetNumber(user.get(), feature.c_str(), program, 7000);
        break;
      case Before::PresentAsText:
        SetText(user.get(), feature.c_str(), program, L"9000");
        break;
      case Before::OtherFeatures:
        SetNumber(user.get(),
                  L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
                  L"FEATURE_GPU_RENDERING",
                  program, 1);
        SetText(user.get(), L"Software\\Microsoft\\Internet Explorer\\Main", L"Start Page",
                L"http://home.example/");
        break;
    }
    if (*c.engineVersion != L'\0') {
      SetText(machine.get(), kEngineKey, L"svcVersion", c.engineVersion);
      SetText(machine.get(), kEngineKey, L"Version", L"9.0.0.0");
    }
    const Snapshot before = Take(user.get());
    Snapshot expected = before;
    if (c.written) {
      const DWORD value = *c.after;
      std::vector<BYTE> entry{REG_DWORD};
      entry.insert(entry.end(), reinterpret_cast<const BYTE*>(&value),
                   reinterpret_cast<const BYTE*>(&value) + sizeof value);
      expected[kValueEntry] = entry;
      // The keys on the way, where they were missing.
      std::wstring path;
      for (const wchar_t* part : kBrowserEmulationPath) {
        path += L"\\";
        path += part;
        expected.try_emplace(path);
      }
    }
    const Snapshot machineBefore = Take(machine.get());
    Snapshot expectedAfter = before;
    {
      const BrowserEmulation run(user.get(), machine.get(), program);
      EXPECT_EQ(run.Written(), c.written);
      EXPECT_EQ(Number(user.get(), program), c.after);
      EXPECT_EQ(Take(user.get()), expected) << "another setting changed";
      EXPECT_EQ(Take(machine.get()), machineBefore);
      {
        // A second run meanwhile finds the value and leaves it, at its end too.
        const BrowserEmulation second(user.get(), machine.get(), program);
        EXPECT_FALSE(second.Written());
        EXPECT_EQ(Take(user.get()), expected);
      }
      EXPECT_EQ(Take(user.get()), expected) << "the second run took the first one's value";
      switch (c.during) {
        case During::Nothing:
          break;
        case During::UserChangesTheValue:
          SetNumber(user.get(), feature.c_str(), program, 9999);
          expectedAfter = Take(user.get());  // no longer the run's: it stays
          break;
        case During::OtherProgramWrites:
          SetNumber(user.get(), feature.c_str(), L"other.exe", 9000);
          expectedAfter = Take(user.get());
          expectedAfter.erase(kValueEntry);  // the run's value goes, the key stays
          break;
      }
    }
    const Snapshot after = Take(user.get());
    EXPECT_TRUE(after == expectedAfter) << "after the run:\n" << Differences(after, expectedAfter);
    EXPECT_EQ(Take(machine.get()), machineBefore);
  }
}

// The value for the engine this system states.
DWORD EmulationForThisSystem() {
  wchar_t serviceVersion[128] = L"";
  wchar_t version[128] = L"";
  DWORD size = sizeof serviceVersion;
  ::RegGetValueW(HKEY_LOCAL_MACHINE, kEngineKey, L"svcVersion", RRF_RT_REG_SZ, nullptr,
                 serviceVersion, &size);
  size = sizeof version;
  ::RegGetValueW(HKEY_LOCAL_MACHINE, kEngineKey, L"Version", RRF_RT_REG_SZ, nullptr, version,
                 &size);
  return BrowserEmulationValue(serviceVersion, version);
}

// Deletes the emulation key when nothing is in it.
void DeleteKeyIfEmpty() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kBrowserEmulationKey, 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  DWORD subkeys = 1;
  DWORD values = 1;
  ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
  ::RegCloseKey(key);
  if (subkeys == 0 && values == 0) {
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kBrowserEmulationKey);
  }
}

TEST(BrowserEmulation, TheProgramSetsItsValueForTheRunOnly) {
  const wchar_t* program = L"Corvane Ombrel.exe";
  const struct {
    const char* what;
    std::optional<DWORD> users;  // the user's own value before the run
  } cases[] = {
      {"no value before: the run writes its own, and its key", std::nullopt},
      {"the user's own value: kept as it is", 9999},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kBrowserEmulationKey, program);
    DeleteKeyIfEmpty();
    if (c.users) {
      SetNumber(HKEY_CURRENT_USER, kBrowserEmulationKey, program, *c.users);
    }
    const Snapshot before = Take(HKEY_CURRENT_USER);
    {
      test::RunningProgram running;
      ASSERT_TRUE(running.Started());
      HWND splash = test::WaitFor([&] { return test::TopWindow(running.Id(), test::kSplash); });
      ASSERT_NE(splash, nullptr);
      const auto value = Number(HKEY_CURRENT_USER, program);
      ASSERT_TRUE(value.has_value()) << "written before any window shows";
      EXPECT_EQ(*value, c.users.value_or(EmulationForThisSystem()));
      ::PostMessageW(splash, WM_CLOSE, 0, 0);
      EXPECT_EQ(running.ExitCode(20000), 0);
    }
    const Snapshot after = Take(HKEY_CURRENT_USER);
    EXPECT_TRUE(after == before) << "the user's registry changed:\n" << Differences(after, before);
  }
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kBrowserEmulationKey, program);
}

}  // namespace
}  // namespace corvane::win32
