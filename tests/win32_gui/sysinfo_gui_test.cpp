// The About box's System Info button in the running program, on the real
// registry and process start under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/win32/wine_helpers.h"
#include "tests/win32_gui/program_driver.h"

namespace {

using namespace corvane::test;
using corvane::testing::FirstToRun;
using corvane::testing::Narrow;
using corvane::testing::PlacedMarker;
using corvane::testing::ScopedValue;

constexpr const char* kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const std::wstring kMessage = L"System Information Is Unavailable At This Time";
const std::wstring kTitle = L"Corvane Ombrel";

// The message box's OK button, which has its focus.
HWND OkOf(HWND box) {
  HWND ok = ::GetDlgItem(box, IDOK);
  return ok != nullptr ? ok : box;
}

class SystemInfoButton : public ::testing::Test {
 protected:
  ScopedValue path{HKEY_LOCAL_MACHINE, kToolKey, "PATH"};
  ScopedValue folder{HKEY_LOCAL_MACHINE, kFolderKey, "MSINFO"};
  RunningProgram program;

  // Ends the session as a user would: About box, then browser window.
  void CloseAll(const Opened& opened) {
    ::PostMessageW(opened.about, WM_CLOSE, 0, 0);
    ::PostMessageW(opened.browser, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.ExitCode(20000), 0);
  }
};

TEST_F(SystemInfoButton, APathValueNamingAProgramStartsThatProgram) {
  // A folder with a blank: only the named file may start.
  PlacedMarker tool(L"C:\\Program Files\\Corvane GUI Test\\MSINFO32.EXE");
  ASSERT_TRUE(tool.Placed());
  ASSERT_TRUE(path.SetText(Narrow(tool.Path())));
  folder.Delete();
  ASSERT_TRUE(program.Started());
  const Opened opened = OpenAbout(program);
  ASSERT_NE(opened.about, nullptr) << "no About box";

  PostAltKey(FocusWithin(opened.about), L's');
  EXPECT_EQ(FirstToRun({&tool}), &tool) << "the tool was not started";
  EXPECT_EQ(TopWindow(program.Id(), L"#32770"), nullptr) << "a message was shown";
  EXPECT_NE(TopWindow(program.Id(), kAbout), nullptr) << "the About box went";
  CloseAll(opened);
}

TEST_F(SystemInfoButton, WithNothingRegisteredTheMessageAppearsAndTheAboutBoxStaysUsable) {
  path.Delete();
  folder.Delete();
  ASSERT_TRUE(program.Started());
  const Opened opened = OpenAbout(program);
  ASSERT_NE(opened.about, nullptr) << "no About box";

  PostAltKey(FocusWithin(opened.about), L's');
  HWND box = WaitFor([&] { return TopWindow(program.Id(), L"#32770", &kTitle); });
  ASSERT_NE(box, nullptr) << "no message";
  HWND text = nullptr;
  for (HWND child = ::FindWindowExW(box, nullptr, L"Static", nullptr); child != nullptr;
       child = ::FindWindowExW(box, child, L"Static", nullptr)) {
    if (TextOf(child) == kMessage) {
      text = child;
    }
  }
  EXPECT_NE(text, nullptr) << "the message text is not shown";

  // OK closes the message; the About box is still there and still works.
  PostKey(OkOf(box), VK_RETURN);
  EXPECT_TRUE(WaitUntil([&] { return TopWindow(program.Id(), L"#32770") == nullptr; }));
  ASSERT_NE(TopWindow(program.Id(), kAbout), nullptr) << "the About box went";
  PostAltKey(FocusWithin(opened.about), L's');
  HWND again = WaitFor([&] { return TopWindow(program.Id(), L"#32770", &kTitle); });
  EXPECT_NE(again, nullptr) << "System Info did nothing the second time";
  if (again != nullptr) {
    PostKey(OkOf(again), VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return TopWindow(program.Id(), L"#32770") == nullptr; }));
  }
  CloseAll(opened);
}

}  // namespace
