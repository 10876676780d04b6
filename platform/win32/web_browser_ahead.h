// The WebBrowser control made once ahead, while the first window is shown,
// so that the browser window's own control is quicker to make.
#pragma once

namespace corvane::win32 {

// Makes the system's WebBrowser control once ahead, while the first window is
// on screen, and lets it go at once: not sited, not shown, never navigated.
// COM keeps the control's server loaded, so the browser window's own control
// is then made without loading it. It happens from the thread's message loop
// (a timer, whose message comes after input, posted tasks and painting: the
// window shown first is drawn first). Without such a control nothing happens.
void MakeWebBrowserAhead() noexcept;
// The control was made ahead.
[[nodiscard]] bool WebBrowserMadeAhead() noexcept;

}  // namespace corvane::win32
