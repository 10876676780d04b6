// Starting the Windows program and driving it from another process through
// window messages, as keys and clicks reach it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "tests/win32_gui/program_path.h"

namespace corvane::test {

using namespace std::chrono_literals;

inline const std::wstring kSplash = L"CorvaneOmbrel.frmSplash";
inline const std::wstring kBrowser = L"CorvaneOmbrel.Form1";
inline const std::wstring kAbout = L"CorvaneOmbrel.frmAbout";

inline std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  return name;
}

inline std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        nullptr);
  return text;
}

// Polls `found` until it answers a window or the time is up.
inline HWND WaitFor(const std::function<HWND()>& found, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (HWND window = found()) {
      return window;
    }
    std::this_thread::sleep_for(50ms);
  }
  return nullptr;
}

inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
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

inline BOOL CALLBACK MatchTop(HWND window, LPARAM data) {
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
inline HWND TopWindow(DWORD pid, const std::wstring& className, const std::wstring* caption = nullptr) {
  TopSearch search{pid, className, caption, nullptr};
  ::EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct ChildSearch {
  const wchar_t* className;
  HWND found;
};

inline BOOL CALLBACK MatchChild(HWND window, LPARAM data) {
  auto& s = *reinterpret_cast<ChildSearch*>(data);
  if (ClassOf(window) == s.className) {
    s.found = window;
    return FALSE;
  }
  return TRUE;
}

inline HWND ChildOfClass(HWND parent, const wchar_t* className) {
  ChildSearch search{className, nullptr};
  ::EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A key as the keyboard driver posts it: down, then up.
inline void PostKey(HWND window, WPARAM key) {
  const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  ::PostMessageW(window, WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scan << 16)));
  ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(1 | (scan << 16) | (3U << 30)));
}

// The window with the keyboard focus in the thread that owns `window`.
inline HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus != nullptr ? info.hwndFocus : window;
}

// The focused control of `window` once the keyboard focus has arrived in it:
// a window is shown before it takes the focus, and a key sent before that
// goes to the window that had it. Answers `window` itself if the focus does
// not come.
inline HWND FocusWithin(HWND window) {
  HWND focus = nullptr;
  WaitUntil([&] {
    focus = FocusOf(window);
    return focus == window || ::IsChild(window, focus) != FALSE;
  });
  return focus == window || ::IsChild(window, focus) != FALSE ? focus : window;
}

// The command id of toolbar button `index`, read from the program's memory.
inline int ToolbarCommand(HANDLE process, HWND toolbar, int index) {
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
  RunningProgram() : RunningProgram(corvane::test::ProgramPath()) {}
  // The program file `path`, started in the current folder `folder` (this
  // process's when null).
  explicit RunningProgram(const std::wstring& path, const wchar_t* folder = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + path + L"\"";
    started_ = ::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                nullptr, folder, &startup, &info_) != FALSE;
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

// Dismisses the running program's splash with a key; answers the browser
// window it opens (nullptr where either does not come).
inline HWND OpenBrowser(const RunningProgram& program) {
  HWND splash = WaitFor([&] { return TopWindow(program.Id(), kSplash); });
  if (splash == nullptr) {
    return nullptr;
  }
  PostKey(FocusOf(splash), VK_SPACE);
  return WaitFor([&] { return TopWindow(program.Id(), kBrowser); });
}

// Starts the program, dismisses the splash and opens the About box through
// the toolbar; answers the browser window and the About box (or nullptrs).
struct Opened {
  HWND browser = nullptr;
  HWND about = nullptr;
};

inline Opened OpenAbout(const RunningProgram& program) {
  Opened opened;
  opened.browser = OpenBrowser(program);
  if (opened.browser == nullptr) {
    return opened;
  }
  HWND toolbar = ChildOfClass(opened.browser, TOOLBARCLASSNAMEW);
  const int about = toolbar != nullptr ? ToolbarCommand(program.Process(), toolbar, 6) : -1;
  if (about < 0) {
    return opened;
  }
  ::PostMessageW(opened.browser, WM_COMMAND, MAKEWPARAM(about, BN_CLICKED),
                 reinterpret_cast<LPARAM>(toolbar));
  opened.about = WaitFor([&] { return TopWindow(program.Id(), kAbout); });
  return opened;
}

// Alt + letter, as the keyboard driver posts it.
inline void PostAltKey(HWND window, wchar_t letter) {
  const auto key = static_cast<WPARAM>(::towupper(letter));
  const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  const LPARAM alt = static_cast<LPARAM>(1 | (scan << 16) | (1U << 29));
  ::PostMessageW(window, WM_SYSKEYDOWN, key, alt);
  ::PostMessageW(window, WM_SYSCHAR, static_cast<WPARAM>(letter), alt);
  ::PostMessageW(window, WM_SYSKEYUP, key, alt | static_cast<LPARAM>(3U << 30));
}

}  // namespace corvane::test
