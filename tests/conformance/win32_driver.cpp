// The conformance cases on the Win32 backend under Wine, with keys and
// clicks posted to the windows as the system posts them.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <thread>

#include "platform/win32/backend.h"
#include "tests/conformance/driver.h"
#include "tests/support/page_policy.h"

namespace corvane::conformance {
namespace {

using namespace std::chrono_literals;

void Drain() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// Holds modifier keys down in this thread's keyboard state for one scope.
class Held {
 public:
  Held(bool shift, bool alt) {
    ::GetKeyboardState(saved_);
    BYTE state[256];
    ::GetKeyboardState(state);
    if (shift) {
      state[VK_SHIFT] = 0x80;
    }
    if (alt) {
      state[VK_MENU] = 0x80;
    }
    ::SetKeyboardState(state);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() { ::SetKeyboardState(saved_); }

 private:
  BYTE saved_[256]{};
};

class Win32Driver final : public Driver {
 public:
  Backend& TheBackend() override { return backend_; }

  std::unique_ptr<NativeWindow> Open(const WindowDesign& design, EventSink& sink) override {
    auto window = backend_.MakeWindow(design, sink);
    window->Show();
    Drain();
    return window;
  }

  void Press(NativeWindow& window, const Stroke& stroke) override {
    UINT key = 0;
    switch (stroke.key) {
      case Stroke::Key::Enter:
        key = VK_RETURN;
        break;
      case Stroke::Key::Escape:
        key = VK_ESCAPE;
        break;
      case Stroke::Key::Tab:
        key = VK_TAB;
        break;
      case Stroke::Key::F5:
        key = VK_F5;
        break;
      case Stroke::Key::Space:
        key = VK_SPACE;
        break;
      case Stroke::Key::Left:
        key = VK_LEFT;
        break;
      case Stroke::Key::Shift:
        key = VK_SHIFT;
        break;
      case Stroke::Key::Letter:
        key = static_cast<UINT>(stroke.letter - 'a' + 'A');
        break;
    }
    HWND target = ::GetFocus();
    if (target == nullptr) {
      target = win32::TopWindow(window);
    }
    const Held held(stroke.shift || stroke.key == Stroke::Key::Shift, stroke.alt);
    const UINT scan = ::MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    const auto down = static_cast<LPARAM>(1 | (scan << 16) | (stroke.alt ? 1U << 29 : 0));
    ::PostMessageW(target, stroke.alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, down);
    ::PostMessageW(target, stroke.alt ? WM_SYSKEYUP : WM_KEYUP, key,
                   down | static_cast<LPARAM>(3U << 30));
    Drain();
  }

  // The click goes to the deepest visible window under the point.
  void ClickAt(NativeWindow& window, float x, float y) override {
    HWND at = win32::TopWindow(window);
    POINT p{static_cast<LONG>(x / backend_.TwipsPerPixelX()),
            static_cast<LONG>(y / backend_.TwipsPerPixelY())};
    for (;;) {
      HWND child = ::ChildWindowFromPointEx(at, p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
      if (child == nullptr || child == at) {
        break;
      }
      ::MapWindowPoints(at, child, &p, 1);
      at = child;
    }
    const LPARAM where = MAKELPARAM(p.x, p.y);
    ::PostMessageW(at, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageW(at, WM_LBUTTONUP, 0, where);
    Drain();
  }

  void Focus(NativeWindow& window, const std::string& name) override {
    HWND handle = win32::ControlWindow(window, name);
    if (handle == nullptr) {
      return;
    }
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (::GetComboBoxInfo(handle, &info) != FALSE && info.hwndItem != nullptr) {
      handle = info.hwndItem;
    }
    ::SetFocus(handle);
  }

  std::string Focused(NativeWindow& window) override {
    HWND focus = ::GetFocus();
    if (focus == nullptr || focus == win32::TopWindow(window)) {
      return {};  // no control has it (the window keeps the keys itself)
    }
    // The control whose window is the focus or holds it (frames aside).
    for (const ControlDesign& c : win32::DesignOf(window).controls) {
      HWND handle = win32::ControlWindow(window, c.name, c.index);
      const bool container = c.kind == ControlKind::Frame || c.kind == ControlKind::PictureBox;
      if (handle != nullptr &&
          (focus == handle || (!container && ::IsChild(handle, focus) != FALSE))) {
        return c.name;
      }
    }
    return "?";
  }

  void Settle() override { Drain(); }

  bool TimePasses(NativeWindow& /*window*/, const std::function<bool()>& condition) override {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      Drain();
    }
    return true;
  }

  std::optional<TextFit> Fit(NativeWindow& window, const std::string& label) override {
    const SIZE text = win32::LabelTextSize(window, label);
    const SIZE own = win32::LabelSize(window, label);
    return TextFit{static_cast<int>(text.cx), static_cast<int>(text.cy), static_cast<int>(own.cx),
                   static_cast<int>(own.cy)};
  }

  [[nodiscard]] std::string Cannot(Need need) const override {
    switch (need) {
      case Need::PageEngine:
      case Need::NewWindows:
        return "Wine has no page engine here: its web view never raises NavigateComplete2";
      case Need::PageProcess:
        return "the web control runs its pages in the program's own process: a page's "
               "process ending is not reported";
      case Need::ScriptDialogs:
        return "the web view leaves a page's script dialogs to the control's own boxes (its "
               "host does not take them), and Wine has no page engine here";
      case Need::Permissions:
        return "the web control asks about a page's permissions itself and reports none";
      case Need::Downloads:
        return "the web control shows its own download prompt and reports no download";
      case Need::TextMetrics:
      case Need::PassingTime:
      case Need::FailingLoads:
        break;
    }
    return {};
  }

 private:
  win32::Win32Backend backend_{::GetModuleHandleW(nullptr)};
  testing::PolicyGiven policy_{backend_, "", ""};
};

}  // namespace

std::unique_ptr<Driver> MakeDriver() { return std::make_unique<Win32Driver>(); }

}  // namespace corvane::conformance
