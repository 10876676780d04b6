// Keys going down in a window with key preview: the window sees each first,
// with its modifiers; a key it takes goes nowhere else, any other key takes
// its usual way (characters, access keys, Tab, Enter).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/ports/keys.h"
#include "platform/win32/backend.h"

namespace corvane::win32 {
namespace {

// Runs the thread's messages until none is left: each key posted below has
// then gone all its way.
void Drain() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// Records the events the keys lead to, and takes the keys it is told to.
class KeySink final : public EventSink {
 public:
  void Raise(Event& event) override {
    switch (event.type) {
      case EventType::KeyDown:
        seen.push_back("down " + std::to_string(*event.keyCode) + " " +
                       std::to_string(event.shift));
        if (*event.keyCode == take) {
          *event.keyCode = 0;
        }
        break;
      case EventType::KeyPress:
        if (!event.control.empty()) {
          seen.push_back("press " + event.control + " " + std::to_string(*event.keyAscii));
        }
        break;
      case EventType::Click:
        seen.push_back("click " + event.control);
        break;
      default:
        break;
    }
  }
  std::vector<std::string> seen;
  std::int16_t take = -1;
};

WindowDesign KeysDesign() {
  WindowDesign w;
  w.name = "frmKeys";
  w.caption = "Keys test";
  w.clientWidth = 6000;
  w.clientHeight = 3000;
  w.keyPreview = true;
  w.controls = {
      {.kind = ControlKind::ComboBox, .name = "cboText", .left = 150, .top = 150, .width = 3000,
       .height = 315, .tabIndex = 0, .tabStop = true},
      {.kind = ControlKind::CommandButton, .name = "cmdGo", .left = 150, .top = 700,
       .width = 1200, .height = 345, .caption = "&Go", .tabIndex = 1, .tabStop = true},
  };
  return w;
}

HWND Child(HWND parent, const wchar_t* className) {
  return ::FindWindowExW(parent, nullptr, className, nullptr);
}

// Holds modifier keys down in this thread's keyboard state for one scope.
class Held {
 public:
  explicit Held(std::initializer_list<BYTE> keys) {
    ::GetKeyboardState(saved_);
    BYTE state[256];
    ::GetKeyboardState(state);
    for (BYTE key : keys) {
      state[key] = 0x80;
    }
    ::SetKeyboardState(state);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() { ::SetKeyboardState(saved_); }

 private:
  BYTE saved_[256]{};
};

TEST(KeyPreview, EveryKeyGoesDownToTheWindowFirstAndATakenKeyGoesNoFurther) {
  Win32Backend backend(::GetModuleHandleW(nullptr));
  KeySink sink;
  const WindowDesign design = KeysDesign();
  auto window = backend.MakeWindow(design, sink);
  window->Show();
  Drain();
  HWND form = ::FindWindowW(nullptr, L"Keys test");
  ASSERT_NE(form, nullptr);
  HWND combo = Child(form, WC_COMBOBOXW);
  ASSERT_NE(combo, nullptr);
  HWND edit = Child(combo, L"Edit");
  ASSERT_NE(edit, nullptr);

  const auto go = [](std::int16_t code, std::int16_t shift) {
    return "down " + std::to_string(code) + " " + std::to_string(shift);
  };
  using namespace keys;
  const struct Case {
    const char* what;
    UINT message;
    WPARAM key;
    std::initializer_list<BYTE> held;
    bool altInMessage;
    bool take;
    std::vector<std::string> seen;
    bool focusLeaves;  // the focus leaves the box
  } cases[] = {
      {"a letter", WM_KEYDOWN, 'X', {}, false, false, {go(88, 0), "press cboText 120"}, false},
      {"a letter taken", WM_KEYDOWN, 'X', {}, false, true, {go(88, 0)}, false},
      {"Ctrl+L", WM_KEYDOWN, 'L', {VK_CONTROL}, false, true, {go(76, kCtrlMask)}, false},
      {"Ctrl+Shift+plus", WM_KEYDOWN, VK_OEM_PLUS, {VK_CONTROL, VK_SHIFT}, false, true,
       {go(kPlus, kCtrlMask | kShiftMask)}, false},
      {"F6", WM_KEYDOWN, VK_F6, {}, false, true, {go(117, 0)}, false},
      {"Alt+D", WM_SYSKEYDOWN, 'D', {}, true, true, {go(68, kAltMask)}, false},
      {"Alt+Left", WM_SYSKEYDOWN, VK_LEFT, {}, true, true, {go(kLeft, kAltMask)}, false},
      {"an access key", WM_SYSKEYDOWN, 'G', {}, true, false, {go(71, kAltMask), "click cmdGo"},
       true},  // the button pressed takes the focus
      {"an access key taken", WM_SYSKEYDOWN, 'G', {}, true, true, {go(71, kAltMask)}, false},
      {"AltGr+L is no Ctrl+L", WM_KEYDOWN, 'L', {VK_CONTROL, VK_MENU}, false, false,
       {go(76, kCtrlMask | kAltMask)}, false},
      {"Enter", WM_KEYDOWN, VK_RETURN, {}, false, false, {go(13, 0), "press cboText 13"}, false},
      {"Tab taken", WM_KEYDOWN, VK_TAB, {}, false, true, {go(9, 0)}, false},
      {"Tab", WM_KEYDOWN, VK_TAB, {}, false, false, {go(9, 0)}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::SetFocus(edit);
    ::SetWindowTextW(edit, L"");
    Drain();
    ASSERT_EQ(::GetFocus(), edit);
    sink.seen.clear();
    sink.take = c.take ? static_cast<std::int16_t>(c.key) : -1;
    {
      const Held held(c.held);
      const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(c.key), MAPVK_VK_TO_VSC);
      const LPARAM down = static_cast<LPARAM>(1 | (scan << 16) | (c.altInMessage ? 1U << 29 : 0));
      ::PostMessageW(edit, c.message, c.key, down);
      ::PostMessageW(edit, c.message == WM_SYSKEYDOWN ? WM_SYSKEYUP : WM_KEYUP, c.key,
                     down | static_cast<LPARAM>(3U << 30));
      Drain();
    }
    EXPECT_EQ(sink.seen, c.seen);
    EXPECT_EQ(::GetFocus() != edit, c.focusLeaves);
  }
}

}  // namespace
}  // namespace corvane::win32
