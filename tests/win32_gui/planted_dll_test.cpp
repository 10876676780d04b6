// No DLL planted beside the program or in its current folder ever runs: a
// marker DLL under the name of each DLL the program loads, static imports and
// those loaded at run time, with Wine told to prefer such files to its own,
// while the program starts, shows its windows, is asked for its accessible
// objects and opens System Info.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/win32/wine_helpers.h"
#include "tests/win32_gui/program_driver.h"

namespace {

using namespace corvane::test;
using corvane::testing::ScopedValue;
namespace fs = std::filesystem;

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

// Wine's DLL load order for the program, in the registry (WINEDLLOVERRIDES
// would not reach it: Wine reads that variable from the environment it was
// itself started in). Gone at the end.
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

// A scratch folder with the program's folder and its current folder in it,
// and the marker's record; all gone at the end.
struct Scratch {
  fs::path root = fs::temp_directory_path() / "corvane-planted";
  fs::path program = root / "program";
  fs::path current = root / "current";
  fs::path record = fs::temp_directory_path() / "corvane-planted-ran.txt";
  Scratch() {
    Clear();
    fs::create_directories(program);
    fs::create_directories(current);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() { Clear(); }
  void Clear() const {
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::remove(record, ignored);
  }
  [[nodiscard]] std::string Ran() const {
    std::ifstream in{record};
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST(PlantedDlls, NoneRunsWhileTheProgramShowsItsWindowsAndSystemInfo) {
  // The marker is built beside the tests (the program may be an installed one).
  const fs::path marker = fs::path(TestFolder()) / "planted_marker.dll";
  const Scratch scratch;
  // The marker does tell when it runs (and then refuses to load).
  ASSERT_EQ(::LoadLibraryW(marker.c_str()), nullptr);
  ASSERT_NE(scratch.Ran(), "") << "the marker ran without telling";
  fs::remove(scratch.record);
  const fs::path program = scratch.program / "Corvane Ombrel.exe";
  fs::copy_file(ProgramPath(), program);
  // Wine takes its own DLLs first unless told otherwise; Windows has no such
  // switch and searches the folders as set.
  NativeFirst native;
  for (const auto& planted : kPlanted) {
    for (const fs::path& folder : {scratch.program, scratch.current}) {
      fs::copy_file(marker, folder / (std::wstring(planted.name) + L".dll"));
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

  RunningProgram running(program.wstring(), scratch.current.c_str());
  ASSERT_TRUE(running.Started());
  const Opened opened = OpenAbout(running);
  ASSERT_NE(opened.browser, nullptr) << "no browser window";
  ASSERT_NE(opened.about, nullptr) << "no About box";
  // An accessibility client's question: the program loads its accessibility
  // library to answer it.
  for (HWND window : {opened.browser, opened.about}) {
    DWORD_PTR answer = 0;
    EXPECT_NE(::SendMessageTimeoutW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT),
                                    SMTO_BLOCK, 5000, &answer),
              0);
    EXPECT_NE(answer, 0U) << "the program gave no accessible object";
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

  EXPECT_EQ(scratch.Ran(), "") << "planted DLLs ran in the program";
}

}  // namespace
