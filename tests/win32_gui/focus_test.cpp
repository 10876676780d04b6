// Keyboard focus of the Windows program's windows: leaving a window for
// another and coming back gives the keyboard back to the control that had it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/win32/backend.h"

namespace corvane::win32 {
namespace {

void Pump(std::chrono::milliseconds time = std::chrono::milliseconds(200)) {
  const auto end = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < end) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

struct Search {
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK Visit(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t name[64] = {};
  ::GetClassNameW(child, name, 64);
  if (::lstrcmpiW(name, search->className) == 0) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

// The first window of a class anywhere below `parent`.
HWND Descendant(HWND parent, const wchar_t* className) {
  Search search{className, nullptr};
  ::EnumChildWindows(parent, &Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class NoEvents final : public EventSink {
 public:
  void Raise(Event& /*event*/) override {}
};

WindowDesign FocusDesign() {
  WindowDesign w;
  w.name = "frmFocus";
  w.caption = "Focus test";
  w.clientWidth = 6000;
  w.clientHeight = 3000;
  w.controls = {
      {.kind = ControlKind::CommandButton, .name = "cmdOne", .left = 150, .top = 150,
       .width = 1200, .height = 345, .caption = "One", .tabIndex = 0, .tabStop = true},
      {.kind = ControlKind::ComboBox, .name = "cboTwo", .left = 150, .top = 700, .width = 3000,
       .height = 315, .tabIndex = 1, .tabStop = true},
      {.kind = ControlKind::CommandButton, .name = "cmdThree", .left = 150, .top = 1300,
       .width = 1200, .height = 345, .caption = "Three", .tabIndex = 2, .tabStop = true},
  };
  return w;
}

TEST(WindowFocus, ComingBackToAWindowGivesTheKeyboardBackToTheControlThatHadIt) {
  Win32Backend backend(::GetModuleHandleW(nullptr));
  NoEvents sink;
  const WindowDesign design = FocusDesign();
  auto window = backend.MakeWindow(design, sink);
  window->Show();
  Pump();
  HWND form = ::FindWindowW(nullptr, L"Focus test");
  ASSERT_NE(form, nullptr);
  HWND combo = Descendant(form, WC_COMBOBOXW);
  ASSERT_NE(combo, nullptr);
  HWND edit = Descendant(combo, L"Edit");
  ASSERT_NE(edit, nullptr);
  ::SetFocus(edit);
  Pump();
  ASSERT_EQ(::GetFocus(), edit);

  HWND other = ::CreateWindowExW(0, L"STATIC", L"Another window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 400, 400, 300, 200, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                 nullptr);
  ASSERT_NE(other, nullptr);
  ::SetForegroundWindow(other);
  ::SetActiveWindow(other);
  Pump();
  EXPECT_EQ(::GetActiveWindow(), other);
  EXPECT_NE(::GetFocus(), edit);

  ::SetForegroundWindow(form);
  ::SetActiveWindow(form);
  Pump();
  EXPECT_EQ(::GetActiveWindow(), form);
  EXPECT_EQ(::GetFocus(), edit);
  ::DestroyWindow(other);
}

}  // namespace
}  // namespace corvane::win32
