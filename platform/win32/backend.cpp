#include "platform/win32/backend.h"

#include <commctrl.h>

#include <utility>

#include "platform/win32/controls.h"
#include "platform/win32/keyboard.h"
#include "platform/win32/text.h"
#include "platform/win32/window.h"
#include "platform/win32/window_procs.h"
#include "resources/win32/resource_ids.h"

namespace corvane::win32 {

Win32Backend::Win32Backend(HINSTANCE instance) : instance_(instance) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  {
    ScreenDc dc;
    const int dpiX = ::GetDeviceCaps(dc.get(), LOGPIXELSX);
    const int dpiY = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
    if (dpiX > 0) {
      twipsPerPixelX_ = 1440.0F / static_cast<float>(dpiX);
    }
    if (dpiY > 0) {
      twipsPerPixelY_ = 1440.0F / static_cast<float>(dpiY);
    }
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) != FALSE) {
    defaultFont_.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
  }
  if (!defaultFont_) {
    defaultFont_.reset(::GetStockObject(DEFAULT_GUI_FONT));
  }
  RegisterWindowClass(instance_, kInternalClass, InternalProc, nullptr);
  RegisterWindowClass(instance_, kSurfaceClass, SurfaceProc, nullptr);
  RegisterWindowClass(instance_, kWebHostClass, WebHostProc, nullptr);
  messages_.reset(::CreateWindowExW(0, kInternalClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    instance_, nullptr));
  if (!messages_) {
    throw Failure("cannot create the message window");
  }
  ::SetWindowLongPtrW(messages_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  owner_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kInternalClass, L"", WS_POPUP, 0, 0, 0, 0,
                                 nullptr, nullptr, instance_, nullptr));
  SetKeyboardTarget(this);
  hook_.reset(::SetWindowsHookExW(WH_GETMESSAGE, KeyboardHook, nullptr, ::GetCurrentThreadId()));
}

Win32Backend::~Win32Backend() {
  hook_.reset();
  SetKeyboardTarget(nullptr);
  ::SetWindowLongPtrW(messages_.get(), GWLP_USERDATA, 0);
}

const wchar_t* Win32Backend::FormClass(const std::string& name) {
  auto it = classes_.find(name);
  if (it == classes_.end()) {
    std::wstring className = L"CorvaneOmbrel." + ToWide(name);
    HICON icon = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM),
                                                 IMAGE_ICON, 0, 0,
                                                 LR_DEFAULTSIZE | LR_SHARED));
    RegisterWindowClass(instance_, className.c_str(), FormProc, icon);
    it = classes_.emplace(name, std::move(className)).first;
  }
  return it->second.c_str();
}

Win32Window* Win32Backend::FormOf(HWND window) const {
  auto it = forms_.find(window);
  return it != forms_.end() ? it->second : nullptr;
}

Win32Window* Win32Backend::FormNamed(const std::string& name) const {
  for (const auto& [window, form] : forms_) {
    if (form->Design().name == name) {
      return form;
    }
  }
  return nullptr;
}

std::unique_ptr<NativeWindow> Win32Backend::MakeWindow(const WindowDesign& design,
                                                       EventSink& sink) {
  return std::make_unique<Win32Window>(*this, design, sink);
}

void Win32Backend::Run() {
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void Win32Backend::Quit() { ::PostQuitMessage(0); }

void Win32Backend::Post(std::function<void()> task) {
  posted_.push_back(std::move(task));
  ::PostMessageW(messages_.get(), kRunPosted, 0, 0);
}

void Win32Backend::RunPosted() {
  while (!posted_.empty()) {
    std::function<void()> task = std::move(posted_.front());
    posted_.pop_front();
    try {
      task();
    } catch (...) {  // NOLINT(bugprone-empty-catch): a posted task never ends the program
    }
  }
}

HWND TopWindow(NativeWindow& window) { return static_cast<Win32Window&>(window).Hwnd(); }

const WindowDesign& DesignOf(NativeWindow& window) {
  return static_cast<Win32Window&>(window).Design();
}

HWND ControlWindow(NativeWindow& window, const std::string& name, std::int16_t index) {
  return static_cast<Win32Window&>(window).HandleOf(name, index);
}

SIZE LabelTextSize(NativeWindow& window, const std::string& name) {
  return dynamic_cast<Win32Label&>(window.GetLabel(name)).TextSize();
}

SIZE LabelSize(NativeWindow& window, const std::string& name) {
  return dynamic_cast<Win32Label&>(window.GetLabel(name)).OwnSize();
}

}  // namespace corvane::win32
