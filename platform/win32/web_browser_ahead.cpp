#include "platform/win32/web_browser_ahead.h"

#include <windows.h>
#include <exdisp.h>

#include "platform/win32/handles.h"

namespace corvane::win32 {

namespace {

bool madeAhead = false;

void CALLBACK MakeAhead(HWND /*window*/, UINT /*message*/, UINT_PTR timer, DWORD /*time*/) {
  ::KillTimer(nullptr, timer);
  ComPtr<IUnknown> control;
  if (SUCCEEDED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(control.Out())))) {
    madeAhead = true;
  }
}

}  // namespace

void MakeWebBrowserAhead() noexcept { ::SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &MakeAhead); }

bool WebBrowserMadeAhead() noexcept { return madeAhead; }

}  // namespace corvane::win32
