// Words typed into the running browser window's address box reach the
// system's web control as the search address, and a script address typed
// there reaches it not at all (the rule itself is the core's,
// tests/unit/typed_address_test.cpp).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "program/browser_program.h"
#include "browser/form1.h"
#include "platform/win32/backend.h"
#include "tests/win32_gui/program_driver.h"

namespace corvane::win32 {
namespace {

// Runs this thread's messages until `done` or `seconds` are up.
bool PumpUntil(const std::function<bool()>& done, int seconds = 15) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (done()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= end) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

using test::ChildOfClass;
using test::PostKey;

HWND OurWindow(const wchar_t* className) {
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, className, nullptr)) != nullptr) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) != FALSE) {
      return window;
    }
  }
  return nullptr;
}

TEST(TypedWords, WordsTypedIntoTheAddressBoxReachTheControlAsTheSearchAddress) {
  // Port 9 on loopback: nothing answers, and the control keeps the address.
  Win32Backend backend(::GetModuleHandleW(nullptr));
  BrowserProgram program{Ports{backend},
                         BuildSettings{.startAddress = "",
                                       .searchQuery = "http://127.0.0.1:9/find?q=%s"}};
  program.Start();
  HWND splash = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (splash = OurWindow(L"CorvaneOmbrel.frmSplash")); }));
  PostKey(::GetFocus() != nullptr ? ::GetFocus() : splash, VK_SPACE);
  HWND browser = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (browser = OurWindow(L"CorvaneOmbrel.Form1")); }));
  HWND combo = ChildOfClass(browser, WC_COMBOBOXW);
  ASSERT_NE(combo, nullptr);
  HWND edit = ChildOfClass(combo, L"Edit");
  ASSERT_NE(edit, nullptr);

  ::SetFocus(edit);
  ::SetWindowTextW(edit, L"weather in paris");
  PostKey(edit, VK_RETURN);
  const WebBrowser& view = program.Get<Form1>().brwWebBrowser();
  const std::string expected = "http://127.0.0.1:9/find?q=weather%20in%20paris";
  ASSERT_TRUE(PumpUntil([&] { return view.LocationURL() == expected; }))
      << "the control is at " << view.LocationURL();

  // A script address typed there is refused: the control goes nowhere.
  ::SetWindowTextW(edit, L"javascript:location.href='http://127.0.0.1:9/ran'");
  PostKey(edit, VK_RETURN);
  EXPECT_FALSE(PumpUntil([&] { return view.LocationURL() != expected; }, 3))
      << "the control went to " << view.LocationURL();
}

}  // namespace
}  // namespace corvane::win32
