#include "platform/win32/keyboard.h"

#include <cstdint>

#include "platform/ports/keys.h"
#include "platform/kit/window_rules.h"
#include "platform/win32/backend.h"
#include "platform/win32/window.h"
#include "platform/win32/window_procs.h"

namespace corvane::win32 {

namespace {

thread_local Win32Backend* hooked = nullptr;

}  // namespace

void SetKeyboardTarget(Win32Backend* backend) { hooked = backend; }

// Sees every message the thread takes from its queue, also in message loops
// that are not the program's own (the web view's, a message box's), so keys
// reach the windows the same way everywhere. A key for one of the program's
// windows is taken aside and comes back as a message of its own, handled when
// the loop dispatches it: handlers never run inside the hook.
LRESULT CALLBACK KeyboardHook(int code, WPARAM removal, LPARAM data) {
  if (code == HC_ACTION && removal == PM_REMOVE && hooked != nullptr) {
    auto& message = *reinterpret_cast<MSG*>(data);
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
      try {
        hooked->TakeKey(message);
      } catch (...) {  // NOLINT(bugprone-empty-catch): the key then goes its ordinary way
      }
    }
  }
  return ::CallNextHookEx(nullptr, code, removal, data);
}

namespace {

// The modifiers held with the key of a WM_KEYDOWN or WM_SYSKEYDOWN message,
// as the KeyDown event states them (platform/ports/keys.h).
std::int16_t ShiftState(const MSG& message) {
  std::int16_t shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0) {
    shift |= keys::kShiftMask;
  }
  if (::GetKeyState(VK_CONTROL) < 0) {
    shift |= keys::kCtrlMask;
  }
  // Alt as the message states it; also Alt held with Ctrl, which is how the
  // right Alt key (AltGr) types a layout's third characters: Ctrl alone
  // would make those keys shortcuts.
  if ((HIWORD(message.lParam) & KF_ALTDOWN) != 0 || ::GetKeyState(VK_MENU) < 0) {
    shift |= keys::kAltMask;
  }
  return shift;
}

}  // namespace

// A character typed in this window: the window sees it first when it has
// key preview; Enter and Esc press the default and cancel buttons; the
// combo box sees the rest. Answers true when the key goes no further.
bool Win32Window::OnChar(MSG& message) {
  auto key = static_cast<std::int16_t>(message.wParam);
  if (RouteCharacter(Routing(), key) == CharacterRoute::Taken) {
    return true;
  }
  message.wParam = static_cast<WPARAM>(static_cast<std::uint16_t>(key));
  return false;
}

// Alt + letter: a button is pressed, a label hands the focus on.
bool Win32Window::OnAccessKey(wchar_t letter) {
  if (letter > 0x7F) {
    return false;
  }
  return RouteAccessKey(Routing(), static_cast<char>(letter));
}

bool Win32Window::OnTab(bool forward) {
  Item* focused = FocusedItem();
  if (const ControlDesign* next =
          NextFocus(design_, focused != nullptr ? &focused->Design() : nullptr, forward,
                    [this](const ControlDesign& c) { return CanFocus(c); })) {
    FocusControl(*next);
  }
  return true;
}

KeyRouting Win32Window::Routing() {
  return KeyRouting{
      .design = design_,
      .raise = [this](Event& event) { Raise(event); },
      .alive = [this] { return visible_ && backend_.FormOf(hwnd_.get()) == this; },
      .focused = [this]() -> const ControlDesign* {
        Item* item = FocusedItem();
        return item != nullptr ? &item->Design() : nullptr;
      },
      .focus = [this](const ControlDesign& control) { FocusControl(control); },
      .press = [this](const ControlDesign& control) { PressControl(control); },
  };
}

bool Win32Backend::PreTranslate(MSG& message) {
  HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
  Win32Window* form = FormOf(root);
  if (form == nullptr) {
    return false;
  }
  if (::IsWindowEnabled(root) == FALSE) {
    return true;  // a modal message is up: the window takes no keys
  }
  if ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) &&
      !RouteKeyDown(form->Routing(), static_cast<std::int16_t>(message.wParam),
                    ShiftState(message))) {
    // The window sees every key going down first, before access keys, Tab,
    // characters and the page's own keys: taken, or the window went.
    return true;
  }
  switch (message.message) {
    case WM_CHAR:
      return form->OnChar(message);
    case WM_SYSCHAR:
      return form->OnAccessKey(static_cast<wchar_t>(message.wParam));
    case WM_KEYDOWN:
      if (form->OfferKey(message)) {
        return true;  // the page's own key
      }
      if (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE) {
        // An edit control would tell its window as well (IDOK, IDCANCEL),
        // pressing the button twice: there the key is only a character.
        const ControlDesign* focused = form->Routing().focused();
        if (focused != nullptr && focused->kind == ControlKind::TextBox) {
          ::TranslateMessage(&message);
          return true;
        }
        return false;  // they come back as characters
      }
      if (message.wParam == VK_TAB && ::GetKeyState(VK_MENU) >= 0) {
        return form->OnTab(::GetKeyState(VK_SHIFT) >= 0);
      }
      return ::IsDialogMessageW(form->Hwnd(), &message) != FALSE;
    case WM_KEYUP:
      return form->OfferKey(message);
    default:
      return false;
  }
}

void Win32Backend::TakeKey(MSG& message) {
  if (FormOf(::GetAncestor(message.hwnd, GA_ROOT)) == nullptr) {
    return;
  }
  keys_.push_back(message);
  message.hwnd = messages_.get();
  message.message = kHandleKey;
  message.wParam = 0;
  message.lParam = 0;
}

void Win32Backend::HandleKey() {
  if (keys_.empty()) {
    return;
  }
  MSG message = keys_.front();
  keys_.pop_front();
  if (!PreTranslate(message)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace corvane::win32
