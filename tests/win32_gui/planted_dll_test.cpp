// No DLL planted beside the program or in its current folder ever runs: a
// marker DLL under the name of each DLL the program loads, static imports and
// those loaded at run time, with Wine told to prefer such files to its own,
// while the program starts, shows its windows, is asked for its accessible
// objects and opens System Info.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleacc.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/win32/ui_com.h"
#include "tests/win32/wine_helpers.h"
#include "tests/win32_gui/program_driver.h"

namespace {

using namespace corvane::test;
using corvane::testing::ScopedValue;

// The DLLs the program loads: planted under each name. `preferred`: Wine is
// told to take such a file before its own DLL. Not for the imports other than
// the common controls: Wine has no known-DLL list in effect, so when told to,
// it loads any of them from the program's folder before the program's first
// instruction (Windows takes them from the system folder: release.pe-flags
// checks that the program imports no others).
const struct {
  const wchar_t* name;
  bool preferred;
} kPlanted[] = {
    // Loaded at run time.
    {L"oleacc", true},
    {L"urlmon", true},
    // Imported; the common controls side by side, through the manifest.
    {L"comctl32", true},
    {L"advapi32", false},
    {L"gdi32", false},
    {L"kernel32", false},
    {L"msvcrt", false},
    {L"ole32", false},
    {L"oleaut32", false},
    {L"user32", false},
};

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

std::wstring Environment(const wchar_t* name) {
  wchar_t value[2048];
  const DWORD length = ::GetEnvironmentVariableW(name, value, 2048);
  return length > 0 && length < 2048 ? std::wstring(value, length) : std::wstring();
}

// Wine's per-program DLL load order for the program, in the registry
// (WINEDLLOVERRIDES would not reach it: Wine reads that variable from the
// environment it was itself started in).
class NativeFirst {
 public:
  NativeFirst() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    ::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kKey) + L"\\DllOverrides").c_str(), 0,
                      nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
  }
  NativeFirst(const NativeFirst&) = delete;
  NativeFirst& operator=(const NativeFirst&) = delete;
  ~NativeFirst() {
    ::RegCloseKey(key_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
  }
  bool Prefer(const wchar_t* name) {
    const wchar_t order[] = L"native,builtin";
    return ::RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                            sizeof order) == ERROR_SUCCESS;
  }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Wine\\AppDefaults\\Corvane Ombrel.exe";
  HKEY key_ = nullptr;
};

// An environment variable set for this process (and the programs it starts)
// until the end of the scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const std::wstring& value)
      : name_(name), had_(::GetEnvironmentVariableW(name, nullptr, 0) > 0), old_(Environment(name)) {
    ::SetEnvironmentVariableW(name, value.c_str());
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() { ::SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

 private:
  const wchar_t* name_;
  bool had_;
  std::wstring old_;
};

// A scratch folder with a copy of the program and the markers beside it, a
// current folder with markers too, and the marker's log; gone at the end.
class PlantedFolders {
 public:
  PlantedFolders() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"corvane-planted-" + std::to_wstring(::GetCurrentProcessId());
    Remove();
    ::CreateDirectoryW(root_.c_str(), nullptr);
    ::CreateDirectoryW(Program().c_str(), nullptr);
    ::CreateDirectoryW(Current().c_str(), nullptr);
  }
  PlantedFolders(const PlantedFolders&) = delete;
  PlantedFolders& operator=(const PlantedFolders&) = delete;
  ~PlantedFolders() { Remove(); }

  [[nodiscard]] std::wstring Program() const { return root_ + L"\\program"; }
  [[nodiscard]] std::wstring Current() const { return root_ + L"\\current"; }
  [[nodiscard]] std::wstring Log() const { return root_ + L"\\ran.txt"; }
  [[nodiscard]] std::string LogText() const {
    std::ifstream in{std::filesystem::path(Log())};
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  void Remove() const {
    for (const std::wstring& folder : {Program(), Current()}) {
      WIN32_FIND_DATAW found;
      const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
      if (search != INVALID_HANDLE_VALUE) {
        do {
          ::DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (::FindNextFileW(search, &found) != FALSE);
        ::FindClose(search);
      }
      ::RemoveDirectoryW(folder.c_str());
    }
    ::DeleteFileW(Log().c_str());
    ::RemoveDirectoryW(root_.c_str());
  }

  std::wstring root_;
};

TEST(PlantedDlls, NoneRunsWhileTheProgramShowsItsWindowsAndSystemInfo) {
  const std::wstring bin = Folder(ProgramPath());
  const std::wstring marker = bin + L"\\planted_marker.dll";
  PlantedFolders folders;
  const ScopedEnvironment log(L"CORVANE_PLANTED_LOG", folders.Log());

  // The marker does tell when it runs.
  {
    const HMODULE loaded = ::LoadLibraryW(marker.c_str());
    ASSERT_NE(loaded, nullptr) << "the marker DLL cannot be loaded";
    ::FreeLibrary(loaded);
    ASSERT_NE(folders.LogText(), "") << "the marker ran without telling";
    ::DeleteFileW(folders.Log().c_str());
  }

  const std::wstring program = folders.Program() + L"\\Corvane Ombrel.exe";
  ASSERT_TRUE(::CopyFileW(ProgramPath().c_str(), program.c_str(), FALSE));
  // Wine takes its own DLLs first unless told otherwise; Windows has no such
  // switch and searches the folders as set.
  NativeFirst native;
  for (const auto& planted : kPlanted) {
    for (const std::wstring& folder : {folders.Program(), folders.Current()}) {
      ASSERT_TRUE(::CopyFileW(marker.c_str(), (folder + L"\\" + planted.name + L".dll").c_str(),
                              FALSE))
          << "cannot plant " << corvane::testing::Narrow(planted.name);
    }
    if (planted.preferred) {
      ASSERT_TRUE(native.Prefer(planted.name));
    }
  }
  // Nothing registered: System Info shows its message.
  ScopedValue path{HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH"};
  ScopedValue tool{HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO"};
  path.Delete();
  tool.Delete();

  RunningProgram running(program, folders.Current().c_str());
  ASSERT_TRUE(running.Started());
  const Opened opened = OpenAbout(running);
  ASSERT_NE(opened.browser, nullptr) << "no browser window";
  ASSERT_NE(opened.about, nullptr) << "no About box";
  // An accessibility client's question: the program loads its accessibility
  // library to answer.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (HWND window : {opened.browser, opened.about}) {
    corvane::winui::ComPtr<IAccessible> accessible;
    EXPECT_EQ(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                           IID_IAccessible,
                                           reinterpret_cast<void**>(accessible.Out())),
              S_OK);
  }
  if (SUCCEEDED(com)) {
    ::CoUninitialize();
  }
  PostAltKey(FocusWithin(opened.about), L's');
  const std::wstring title = L"Corvane Ombrel";
  HWND box = WaitFor([&] { return TopWindow(running.Id(), L"#32770", &title); });
  EXPECT_NE(box, nullptr) << "System Info showed nothing";
  if (box != nullptr) {
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return TopWindow(running.Id(), L"#32770") == nullptr; }));
  }
  ::PostMessageW(opened.about, WM_CLOSE, 0, 0);
  ::PostMessageW(opened.browser, WM_CLOSE, 0, 0);
  EXPECT_EQ(running.ExitCode(20000), 0);

  EXPECT_EQ(folders.LogText(), "") << "planted DLLs ran in the program";
}

}  // namespace
