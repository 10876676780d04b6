// The browser window's shortcuts in the running Windows program: keys sent
// to it as the keyboard sends them, the address box and the caption showing
// where they went.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "tests/win32_gui/program_driver.h"

namespace {

using namespace corvane::test;

// The program's keyboard state holds Ctrl down for one scope: this thread
// shares the program's input state meanwhile.
class CtrlHeld {
 public:
  explicit CtrlHeld(HWND window)
      : thread_(::GetWindowThreadProcessId(window, nullptr)),
        attached_(::AttachThreadInput(::GetCurrentThreadId(), thread_, TRUE) != FALSE) {
    SetCtrl(0x80);
  }
  CtrlHeld(const CtrlHeld&) = delete;
  CtrlHeld& operator=(const CtrlHeld&) = delete;
  ~CtrlHeld() {
    SetCtrl(0);
    if (attached_) {
      ::AttachThreadInput(::GetCurrentThreadId(), thread_, FALSE);
    }
  }
  [[nodiscard]] bool Attached() const { return attached_; }

 private:
  static void SetCtrl(BYTE value) {
    BYTE state[256];
    ::GetKeyboardState(state);
    state[VK_CONTROL] = value;
    ::SetKeyboardState(state);
  }
  DWORD thread_;
  bool attached_;
};

void PostSysKey(HWND window, WPARAM key) {
  const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  const LPARAM alt = static_cast<LPARAM>(1 | (scan << 16) | (1U << 29));
  ::PostMessageW(window, WM_SYSKEYDOWN, key, alt);
  ::PostMessageW(window, WM_SYSKEYUP, key, alt | static_cast<LPARAM>(3U << 30));
}

std::pair<DWORD, DWORD> Selection(HWND edit) {
  DWORD start = 0;
  DWORD end = 0;
  ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {start, end};
}

TEST(WindowsProgram, ShortcutsPutTheFocusInTheAddressBoxAndRunTheToolbarsCommands) {
  RunningProgram program;
  ASSERT_TRUE(program.Started());
  HWND browser = OpenBrowser(program);
  ASSERT_NE(browser, nullptr);
  HWND edit = ChildOfClass(ChildOfClass(browser, WC_COMBOBOXW), L"Edit");
  ASSERT_NE(edit, nullptr);
  const auto length = static_cast<DWORD>(TextOf(edit).size());
  ASSERT_GT(length, 0U);

  // The address box: the focus goes there from elsewhere, its text selected.
  const struct {
    const char* what;
    std::function<void(HWND)> press;
    bool ctrl;
  } addressKeys[] = {
      {"F6", [](HWND to) { PostKey(to, VK_F6); }, false},
      {"Alt+D", [](HWND to) { PostSysKey(to, 'D'); }, false},
      {"Ctrl+L", [](HWND to) { PostKey(to, 'L'); }, true},
  };
  for (const auto& key : addressKeys) {
    SCOPED_TRACE(key.what);
    if (FocusOf(browser) == edit) {
      PostKey(edit, VK_TAB);
      ASSERT_TRUE(WaitUntil([&] { return FocusOf(browser) != edit; })) << "Tab kept the focus";
    }
    ::SendMessageW(edit, EM_SETSEL, 0, 0);
    {
      const CtrlHeld ctrl(key.ctrl ? browser : nullptr);
      if (key.ctrl) {
        ASSERT_TRUE(ctrl.Attached());
      }
      key.press(FocusOf(browser));
      EXPECT_TRUE(WaitUntil([&] {
        return FocusOf(browser) == edit && Selection(edit) == std::make_pair(DWORD{0}, length);
      })) << "focus in " << (FocusOf(browser) == edit) << ", selected to "
          << Selection(edit).second;
    }
  }
  EXPECT_EQ(TextOf(edit).size(), length) << "a shortcut was typed into the box";

  // Toolbar commands run the toolbar's handler, which sets the caption
  // again once the control is idle (Wine's control has no page to go back,
  // forward or reload, and is never busy). Home loads the control's home
  // page (https), whose failure may be told with other words than the start
  // page's (the program's own https handler where Wine reports an old
  // Windows): its caption is then that of our page. Which button each key
  // means is the browser window's own rule, shown on the fake backend.
  const struct {
    const char* what;
    std::function<void(HWND)> press;
    bool ctrl;
    bool loads;
  } commands[] = {
      {"F5", [](HWND to) { PostKey(to, VK_F5); }, false, false},
      {"Ctrl+R", [](HWND to) { PostKey(to, 'R'); }, true, false},
      {"Alt+Left", [](HWND to) { PostSysKey(to, VK_LEFT); }, false, false},
      {"Alt+Right", [](HWND to) { PostSysKey(to, VK_RIGHT); }, false, false},
      {"Alt+Home", [](HWND to) { PostSysKey(to, VK_HOME); }, false, true},
  };
  const std::wstring caption = TextOf(browser);
  const std::wstring marked = L"marked";
  const std::wstring suffix = L" - Corvane Ombrel - Varnhollow Software";
  for (const auto& key : commands) {
    SCOPED_TRACE(key.what);
    ::SendMessageW(browser, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(marked.c_str()));
    ASSERT_EQ(TextOf(browser), marked);
    const CtrlHeld ctrl(key.ctrl ? browser : nullptr);
    key.press(FocusOf(browser));
    EXPECT_TRUE(WaitUntil([&] {
      const std::wstring now = TextOf(browser);
      return key.loads ? now != marked && now.find(L"Working...") != 0 &&
                             now.size() > suffix.size() &&
                             now.compare(now.size() - suffix.size(), suffix.size(), suffix) == 0
                       : now == caption;
    })) << "the toolbar's handler did not run";
  }

  // Home goes to the control's home page: where that fails (no network),
  // the box shows the address that failed, the newest in its list.
  HWND box = ChildOfClass(browser, WC_COMBOBOXW);
  std::wstring newest(static_cast<std::size_t>(::SendMessageW(box, CB_GETLBTEXTLEN, 0, 0)), L'\0');
  ::SendMessageW(box, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(newest.data()));
  EXPECT_EQ(TextOf(edit), newest) << "a shortcut was typed into the box";

  ::PostMessageW(browser, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(20000), 0);
}

}  // namespace

namespace {

using namespace corvane::test;

const std::wstring kFind = L"CorvaneOmbrel.frmFind";
const wchar_t* const kWebHost = L"CorvaneOmbrel.WebHost";

// Ctrl+F: the Find window of the running program, owned by the browser
// window over its top-right corner; Esc closes it and the page has the
// keyboard again; the program still ends with the browser window while
// the Find window is open.
TEST(WindowsProgram, CtrlFOpensTheFindWindowOverTheBrowserWindowAndEscGoesBackToThePage) {
  RunningProgram program;
  ASSERT_TRUE(program.Started());
  HWND browser = OpenBrowser(program);
  ASSERT_NE(browser, nullptr);
  HWND page = ChildOfClass(browser, kWebHost);
  ASSERT_NE(page, nullptr);
  const auto openFind = [&] {
    const CtrlHeld ctrl(browser);
    PostKey(FocusOf(browser), 'F');
    return WaitFor([&] { return TopWindow(program.Id(), kFind); });
  };

  // From the address box (F6): the page gets the keyboard back all the same.
  HWND address = ChildOfClass(ChildOfClass(browser, WC_COMBOBOXW), L"Edit");
  // Pressed again until it lands: while the start page fails, the control
  // may replace the window a posted key was sent to, and the key is lost.
  ASSERT_TRUE(WaitUntil([&] {
    PostKey(FocusOf(browser), VK_F6);
    return WaitUntil([&] { return FocusOf(browser) == address; }, 2s);
  }));
  HWND find = openFind();
  ASSERT_NE(find, nullptr);
  EXPECT_EQ(::GetWindow(find, GW_OWNER), browser);
  RECT client{};
  ::GetClientRect(browser, &client);
  ::MapWindowPoints(browser, nullptr, reinterpret_cast<POINT*>(&client), 2);
  RECT placed{};
  ::GetWindowRect(find, &placed);
  EXPECT_GT(placed.left, (client.left + client.right) / 2);
  EXPECT_LE(placed.right, client.right);
  EXPECT_GT(placed.top, client.top);
  HWND text = ChildOfClass(find, L"Edit");
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(find) == text; }));
  for (const WPARAM key : {'W', 'O', 'R', 'D'}) {
    PostKey(text, key);
  }
  PostKey(text, VK_RETURN);  // Find Next: no page here, so nothing found
  ASSERT_TRUE(WaitUntil([&] { return TextOf(text) == L"word"; }));
  EXPECT_TRUE(::IsWindowVisible(find));

  PostKey(text, VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindow(find) == FALSE; }));
  EXPECT_TRUE(WaitUntil([&] {
    HWND focus = FocusOf(browser);
    return focus == page || ::IsChild(page, focus) != FALSE;
  })) << "the focus is not in the page";

  find = openFind();
  ASSERT_NE(find, nullptr);
  EXPECT_EQ(TextOf(ChildOfClass(find, L"Edit")), L"word");
  ::PostMessageW(browser, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(20000), 0);
}

}  // namespace
