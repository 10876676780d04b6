// The browser window's shortcuts in the running Windows program: keys sent
// to it as the keyboard sends them, the address box and the requests its web
// control makes to a loopback server showing where they went.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/win32_gui/program_driver.h"

namespace {

using namespace corvane::test;

// A loopback HTTP server that answers every request with 204 (nothing to
// show) and notes the path of each.
class LoopbackServer {
 public:
  LoopbackServer() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (listener_ != INVALID_SOCKET &&
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener_, 8) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ::ntohs(address.sin_port);
    }
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  ~LoopbackServer() {
    if (listener_ != INVALID_SOCKET) {
      ::closesocket(listener_);
    }
    if (started_) {
      ::WSACleanup();
    }
  }
  [[nodiscard]] int Port() const { return port_; }
  [[nodiscard]] std::wstring Url(const std::wstring& path) const {
    return L"http://127.0.0.1:" + std::to_wstring(port_) + path;
  }

  // Serves what has come in; answers the paths asked for so far.
  const std::vector<std::string>& Serve() {
    for (;;) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(listener_, &ready);
      timeval none{0, 0};
      if (::select(0, &ready, nullptr, nullptr, &none) != 1) {
        return paths_;
      }
      const SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) {
        return paths_;
      }
      std::string request;
      char buffer[2048];
      while (request.find("\r\n\r\n") == std::string::npos) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(client, &readable);
        timeval wait{10, 0};
        if (::select(0, &readable, nullptr, nullptr, &wait) != 1) {
          break;
        }
        const int got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) {
          break;
        }
        request.append(buffer, static_cast<std::size_t>(got));
      }
      // "GET /path HTTP/1.1"
      const auto first = request.find(' ');
      const auto second = request.find(' ', first + 1);
      if (first != std::string::npos && second != std::string::npos) {
        paths_.push_back(request.substr(first + 1, second - first - 1));
      }
      const char answer[] =
          "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n\r\nhello";
      ::send(client, answer, sizeof answer - 1, 0);
      ::closesocket(client);
    }
  }

 private:
  bool started_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::vector<std::string> paths_;
};

// The control's home page, for as long as the test runs.
class HomePage {
 public:
  explicit HomePage(const std::wstring& address) {
    Set(address);
  }
  HomePage(const HomePage&) = delete;
  HomePage& operator=(const HomePage&) = delete;
  ~HomePage() { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kMain, L"Start Page"); }

 private:
  static void Set(const std::wstring& address) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kMain, L"Start Page", REG_SZ, address.c_str(),
                      static_cast<DWORD>((address.size() + 1) * sizeof(wchar_t)));
  }
  static constexpr wchar_t kMain[] = L"Software\\Microsoft\\Internet Explorer\\Main";
};

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
  LoopbackServer server;
  ASSERT_NE(server.Port(), 0);
  const HomePage home(server.Url(L"/home"));
  RunningProgram program;
  ASSERT_TRUE(program.Started());
  HWND splash = WaitFor([&] { return TopWindow(program.Id(), kSplash); });
  ASSERT_NE(splash, nullptr);
  PostKey(FocusOf(splash), VK_SPACE);
  HWND browser = WaitFor([&] { return TopWindow(program.Id(), kBrowser); });
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
  // forward or reload, and is never busy).
  const struct {
    const char* what;
    std::function<void(HWND)> press;
    bool ctrl;
  } commands[] = {
      {"F5", [](HWND to) { PostKey(to, VK_F5); }, false},
      {"Ctrl+R", [](HWND to) { PostKey(to, 'R'); }, true},
      {"Alt+Left", [](HWND to) { PostSysKey(to, VK_LEFT); }, false},
      {"Alt+Right", [](HWND to) { PostSysKey(to, VK_RIGHT); }, false},
  };
  const std::wstring caption = TextOf(browser);
  const std::wstring marked = L"marked";
  for (const auto& key : commands) {
    SCOPED_TRACE(key.what);
    ::SendMessageW(browser, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(marked.c_str()));
    ASSERT_EQ(TextOf(browser), marked);
    const CtrlHeld ctrl(key.ctrl ? browser : nullptr);
    key.press(FocusOf(browser));
    EXPECT_TRUE(WaitUntil([&] { return TextOf(browser) == caption; }))
        << "the toolbar's handler did not run";
  }

  // Home: the control asks for its home page.
  PostSysKey(FocusOf(browser), VK_HOME);
  EXPECT_TRUE(WaitUntil([&] { return !server.Serve().empty(); })) << "the control asked for nothing";
  EXPECT_EQ(server.Serve(), std::vector<std::string>{"/home"});
  EXPECT_EQ(TextOf(edit).size(), length);

  ::PostMessageW(browser, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(20000), 0);
}

}  // namespace
