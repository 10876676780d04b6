// The Windows program started for real under Wine and driven through window
// messages, the way a user's keys and clicks reach it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "tests/win32_gui/program_driver.h"

namespace {

using namespace corvane::test;

TEST(WindowsProgram, SplashThenBrowserThenAboutAndAWholeSessionEndsWithExitCodeZero) {
  RunningProgram program;
  ASSERT_TRUE(program.Started());

  // The splash comes first: no title bar, not in the taskbar.
  HWND splash = WaitFor([&] { return TopWindow(program.Id(), kSplash); });
  ASSERT_NE(splash, nullptr) << "no splash window";
  const auto splashStyle = static_cast<DWORD>(::GetWindowLongPtrW(splash, GWL_STYLE));
  EXPECT_NE(splashStyle & WS_DLGFRAME, 0U);
  EXPECT_NE(splashStyle & WS_CAPTION, static_cast<DWORD>(WS_CAPTION)) << "the splash has a title bar";
  EXPECT_NE(::GetWindow(splash, GW_OWNER), nullptr) << "the splash would be in the taskbar";
  EXPECT_EQ(TopWindow(program.Id(), kBrowser), nullptr);

  // A key press dismisses it and opens the browser window.
  PostKey(FocusOf(splash), 'X');
  HWND browser = WaitFor([&] { return TopWindow(program.Id(), kBrowser); });
  ASSERT_NE(browser, nullptr) << "the browser window did not open";
  EXPECT_TRUE(WaitUntil([&] { return TopWindow(program.Id(), kSplash) == nullptr; }))
      << "the splash stayed";

  HWND toolbar = ChildOfClass(browser, TOOLBARCLASSNAMEW);
  ASSERT_NE(toolbar, nullptr);
  EXPECT_EQ(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), 7);
  HWND combo = ChildOfClass(browser, WC_COMBOBOXW);
  ASSERT_NE(combo, nullptr);
  const std::string configured = CORVANE_TEST_START_ADDRESS;
  const std::wstring start(configured.begin(), configured.end());
  EXPECT_EQ(TextOf(combo), start);
  EXPECT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), start.empty() ? 0 : 1);

  // The About button opens the About box; Esc closes it again.
  const int about = ToolbarCommand(program.Process(), toolbar, 6);
  ASSERT_GE(about, 0);
  ::PostMessageW(browser, WM_COMMAND, MAKEWPARAM(about, BN_CLICKED),
                 reinterpret_cast<LPARAM>(toolbar));
  const std::wstring aboutCaption = L"About Corvane Ombrel";
  HWND box = WaitFor([&] { return TopWindow(program.Id(), kAbout, &aboutCaption); });
  ASSERT_NE(box, nullptr) << "no About box";
  EXPECT_NE(::GetWindow(box, GW_OWNER), nullptr) << "the About box would be in the taskbar";
  PostKey(FocusWithin(box), VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return TopWindow(program.Id(), kAbout) == nullptr; }))
      << "Esc did not close the About box";

  // Closing the browser window ends the program.
  ::PostMessageW(browser, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(20000), 0);
}

TEST(WindowsProgram, HostileWindowSizesNeverEndTheProgram) {
  RunningProgram program;
  ASSERT_TRUE(program.Started());
  HWND splash = WaitFor([&] { return TopWindow(program.Id(), kSplash); });
  ASSERT_NE(splash, nullptr);
  PostKey(FocusOf(splash), VK_RETURN);
  HWND browser = WaitFor([&] { return TopWindow(program.Id(), kBrowser); });
  ASSERT_NE(browser, nullptr);

  const auto alive = [&] {
    DWORD_PTR ignored = 0;
    return program.Running() &&
           ::SendMessageTimeoutW(browser, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored) != 0;
  };
  ::ShowWindow(browser, SW_MINIMIZE);
  EXPECT_TRUE(alive()) << "minimised";
  ::ShowWindow(browser, SW_RESTORE);
  ::SetWindowPos(browser, nullptr, 0, 0, 1, 1, SWP_NOZORDER | SWP_NOMOVE);
  EXPECT_TRUE(alive()) << "1 x 1";
  ::ShowWindow(browser, SW_MAXIMIZE);
  ::ShowWindow(browser, SW_RESTORE);
  EXPECT_TRUE(alive()) << "maximised and restored";

  ::PostMessageW(browser, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(20000), 0);
}

}  // namespace
