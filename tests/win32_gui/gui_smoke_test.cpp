// The Windows program started for real under Wine and driven through window
// messages, the way a user's keys and clicks reach it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "tests/win32_gui/program_path.h"

namespace {

using namespace std::chrono_literals;

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        nullptr);
  return text;
}

// Polls `found` until it answers a window or the time is up.
HWND WaitFor(const std::function<HWND()>& found, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (HWND window = found()) {
      return window;
    }
    std::this_thread::sleep_for(50ms);
  }
  return nullptr;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) {
      return false;
    }
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

struct TopSearch {
  DWORD pid;
  const std::wstring& className;
  const std::wstring* caption;
  HWND found;
};

BOOL CALLBACK MatchTop(HWND window, LPARAM data) {
  auto& s = *reinterpret_cast<TopSearch*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == s.pid && ::IsWindowVisible(window) != FALSE &&
      (s.className.empty() || ClassOf(window) == s.className) &&
      (s.caption == nullptr || TextOf(window) == *s.caption)) {
    s.found = window;
    return FALSE;
  }
  return TRUE;
}

// A visible top-level window of process `pid` with class `className` (or
// any class) and caption `caption` (or any caption).
HWND TopWindow(DWORD pid, const std::wstring& className, const std::wstring* caption = nullptr) {
  TopSearch search{pid, className, caption, nullptr};
  ::EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct ChildSearch {
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM data) {
  auto& s = *reinterpret_cast<ChildSearch*>(data);
  if (ClassOf(window) == s.className) {
    s.found = window;
    return FALSE;
  }
  return TRUE;
}

HWND ChildOfClass(HWND parent, const wchar_t* className) {
  ChildSearch search{className, nullptr};
  ::EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A key as the keyboard driver posts it: down, then up.
void PostKey(HWND window, WPARAM key) {
  const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  ::PostMessageW(window, WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scan << 16)));
  ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(1 | (scan << 16) | (3U << 30)));
}

// The window with the keyboard focus in the thread that owns `window`.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus != nullptr ? info.hwndFocus : window;
}

// The command id of toolbar button `index`, read from the program's memory.
int ToolbarCommand(HANDLE process, HWND toolbar, int index) {
  void* remote = ::VirtualAllocEx(process, nullptr, sizeof(TBBUTTON), MEM_COMMIT, PAGE_READWRITE);
  if (remote == nullptr) {
    return -1;
  }
  TBBUTTON button{};
  if (::SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(remote)) == FALSE ||
      ::ReadProcessMemory(process, remote, &button, sizeof button, nullptr) == FALSE) {
    button.idCommand = -1;
  }
  ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return button.idCommand;
}

class RunningProgram {
 public:
  RunningProgram() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring path = corvane::test::ProgramPath();
    std::wstring commandLine = L"\"" + path + L"\"";
    started_ = ::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, &startup, &info_) != FALSE;
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  ~RunningProgram() {
    if (started_) {
      if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(info_.hProcess, 99);
        ::WaitForSingleObject(info_.hProcess, 5000);
      }
      ::CloseHandle(info_.hThread);
      ::CloseHandle(info_.hProcess);
    }
  }
  [[nodiscard]] bool Started() const { return started_; }
  [[nodiscard]] DWORD Id() const { return info_.dwProcessId; }
  [[nodiscard]] HANDLE Process() const { return info_.hProcess; }
  [[nodiscard]] bool Running() const {
    return ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
  }
  // Waits for the end; answers the exit code, or -1 when it does not end.
  [[nodiscard]] long ExitCode(DWORD limitMs) const {
    if (::WaitForSingleObject(info_.hProcess, limitMs) != WAIT_OBJECT_0) {
      return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
  }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

const std::wstring kSplash = L"CorvaneOmbrel.frmSplash";
const std::wstring kBrowser = L"CorvaneOmbrel.Form1";
const std::wstring kAbout = L"CorvaneOmbrel.frmAbout";

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
  PostKey(FocusOf(box), VK_ESCAPE);
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
