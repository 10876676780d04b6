#include "platform/win32/window_procs.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/win32/backend.h"
#include "platform/win32/combo_box.h"
#include "platform/win32/controls.h"
#include "platform/win32/input_controls.h"
#include "platform/win32/toolbar.h"
#include "platform/win32/window.h"

namespace corvane::win32 {

// ---- the window's native events --------------------------------------------------

// A click on the window or a container goes to the control under it, as the
// design's hit rule finds it; lines take no clicks.
void Win32Window::ClickAt(HWND surface, LPARAM lParam) {
  POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ::MapWindowPoints(surface, hwnd_.get(), &p, 1);
  // Each control where it is now (a label may have sized itself to its text).
  const ControlDesign* hit = HitTest(design_, TwX(p.x), TwY(p.y), [this](const ControlDesign& c) {
    for (const std::unique_ptr<Item>& item : items_) {
      if (&item->Design() == &c) {
        return item->Area();
      }
    }
    return Rect{c.left, c.top, c.width, c.height};
  });
  if (hit != nullptr && TakesOwnClicks(hit->kind)) {
    return;  // the control's own window has the click
  }
  Event click{.type = EventType::Click,
              .control = hit != nullptr ? hit->name : std::string(),
              .index = hit != nullptr ? hit->index : std::int16_t{-1}};
  Raise(click);
}

void Win32Window::OnCommand(HWND child, int code, int id) {
  Item* item = ItemOf(child);
  if (item == nullptr) {
    // Enter and Esc from the dialog manager.
    const ControlDesign* button = id == IDOK       ? DefaultButton(design_)
                                  : id == IDCANCEL ? CancelButton(design_)
                                                   : nullptr;
    if (button != nullptr) {
      Event click{.type = EventType::Click, .control = button->name, .index = button->index};
      Raise(click);
    }
    return;
  }
  if (auto* toolbar = dynamic_cast<Win32Toolbar*>(item)) {
    if (const ToolbarButtonDesign* b = toolbar->ButtonOf(id)) {
      const Win32ToolbarButton button(b->key);
      Event click{.type = EventType::ButtonClick, .control = item->Design().name,
                  .button = &button};
      Raise(click);
    }
  } else if (auto* combo = dynamic_cast<Win32ComboBox*>(item)) {
    if (code == CBN_SELCHANGE) {
      combo->Picked();
    }
  } else if (auto* box = dynamic_cast<Win32CheckBox*>(item)) {
    if (code == BN_CLICKED) {
      box->Press();  // a click or Space: the check is this program's to set
    }
  } else if (item->Design().kind == ControlKind::CommandButton && code == BN_CLICKED) {
    Event click{.type = EventType::Click, .control = item->Design().name,
                .index = item->Design().index};
    Raise(click);
  }
}

LRESULT Win32Window::OnNotify(NMHDR& header) {
  if (header.code == TBN_GETINFOTIPW) {
    auto& tip = reinterpret_cast<NMTBGETINFOTIPW&>(header);
    if (auto* toolbar = dynamic_cast<Win32Toolbar*>(ItemOf(header.hwndFrom))) {
      if (const ToolbarButtonDesign* b = toolbar->ButtonOf(tip.iItem)) {
        const std::wstring text = ToWide(b->toolTip);
        if (tip.pszText != nullptr && tip.cchTextMax > 0) {
          const auto n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
          std::copy_n(text.data(), n, tip.pszText);
          tip.pszText[n] = L'\0';
        }
      }
    }
  }
  return 0;
}

LRESULT Win32Window::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool isForm = window == hwnd_.get();
  switch (message) {
    case WM_PAINT: {
      std::string name;
      for (const auto& [container, surface] : surfaces_) {
        if (surface == window) {
          name = container;
        }
      }
      PaintSurface(window, name);
      return 0;
    }
    case WM_ERASEBKGND: {
      // Transparent controls (the flat toolbar) have their background drawn here.
      RECT client{};
      ::GetClientRect(window, &client);
      ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_LBUTTONDOWN:
      ClickAt(window, lParam);
      return 0;
    case WM_COMMAND:
      OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam), LOWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_GETOBJECT:
      if (static_cast<LONG>(lParam) == static_cast<LONG>(OBJID_CLIENT)) {
        if (const LRESULT answer = AnswerGetObject(window, wParam, lParam, FactsOf(window))) {
          return answer;
        }
      }
      break;
    case DM_GETDEFID:
      if (const ControlDesign* button = DefaultButton(design_)) {
        if (HWND handle = HandleOf(button->name, button->index)) {
          return MAKELRESULT(::GetDlgCtrlID(handle), DC_HASDEFID);
        }
      }
      return 0;
    default:
      break;
  }
  if (!isForm && (message == WM_SETFOCUS || message == WM_KILLFOCUS)) {
    // A container in the tab order shows whether it has the focus.
    ::InvalidateRect(window, nullptr, TRUE);
    return 0;
  }
  if (isForm) {
    switch (message) {
      case WM_SIZE:
        Layout();
        if (visible_ && !showing_) {
          Event resize{.type = EventType::Resize};
          Raise(resize);
        }
        return 0;
      case WM_TIMER:
        for (const auto& [name, timer] : timers_) {
          if (timer->Id() == static_cast<int>(wParam) && timer->Enabled()) {
            Event tick{.type = EventType::Timer, .control = name};
            Raise(tick);
            break;
          }
        }
        return 0;
      case WM_CLOSE: {
        // Closing unloads the window through the program; it is destroyed later.
        Event close{.type = EventType::Close};
        Raise(close);
        return 0;
      }
      case WM_ACTIVATE:
        // Leaving the window: remember which control had the keyboard.
        if (LOWORD(wParam) == WA_INACTIVE) {
          HWND focus = ::GetFocus();
          if (focus != nullptr && ::IsChild(hwnd_.get(), focus) != FALSE) {
            lastFocus_ = focus;
          }
        }
        break;  // activation itself as usual: it gives the window the focus
      case WM_SETFOCUS:
        // Coming back: that control gets the keyboard again.
        if (lastFocus_ != nullptr && ::IsWindow(lastFocus_) != FALSE &&
            ::IsChild(hwnd_.get(), lastFocus_) != FALSE &&
            ::IsWindowVisible(lastFocus_) != FALSE && ::IsWindowEnabled(lastFocus_) != FALSE) {
          ::SetFocus(lastFocus_);
        }
        return 0;
      default:
        break;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// ---- window procedures ---------------------------------------------------------

namespace {

Win32Window* Attached(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    Win32Window* form = Attached(window, message, lParam);
    // Until the window object has its handle, the window is still being made.
    if (form != nullptr && form->Hwnd() == window) {
      return form->Handle(window, message, wParam, lParam);
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): no failure crosses the window procedure
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK SurfaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    Win32Window* form = Attached(window, message, lParam);
    if (form != nullptr && form->Hwnd() != nullptr && message != WM_NCCREATE &&
        message != WM_CREATE && message != WM_NCCALCSIZE) {
      return form->Handle(window, message, wParam, lParam);
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): no failure crosses the window procedure
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK WebHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT client{};
    ::GetClientRect(window, &client);
    ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_WINDOW));
    return 1;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK InternalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunPosted || message == kHandleKey) {
    try {
      if (auto* backend =
              reinterpret_cast<Win32Backend*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
        if (message == kRunPosted) {
          backend->RunPosted();
        } else {
          backend->HandleKey();
        }
      }
    } catch (...) {  // NOLINT(bugprone-empty-catch): no failure crosses the window procedure
    }
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = name;
  ::RegisterClassExW(&wc);
}

}  // namespace corvane::win32
