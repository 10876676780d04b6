// The Windows program: the three windows on the Win32 backend, the registry
// over advapi32 and the shell of the system.
#include <windows.h>

#include "program/browser_program.h"
#include "platform/win32/backend.h"
#include "platform/win32/browser_emulation.h"
#include "platform/win32/feature_controls.h"
#include "platform/win32/https/registration.h"
#include "platform/win32/system_library.h"
#include "platform/win32/web_browser_ahead.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  // Before anything is loaded at run time: DLLs come from the system folder.
  corvane::win32::RestrictDllSearch();
  // Before the web control is first made (ahead, during the splash): it
  // reads its security features and its rendering mode then. The rendering
  // mode's value, where this run writes it, goes when WinMain returns: after
  // the last window, or when start-up fails.
  corvane::win32::SwitchOnHardeningFeatures();
  const corvane::win32::BrowserEmulation emulation;
  try {
    corvane::win32::Win32Backend backend(instance);
    // Before the first page: where the system's TLS is too old for today's
    // servers, https goes through the program's own handler for this run.
    // Its end cancels the requests in flight and waits for them briefly.
    const corvane::win32::https::HttpsRegistration https;
    corvane::win32::MakeWebBrowserAhead();  // while the splash is shown
    corvane::win32::Win32Registry registry;
    corvane::win32::Win32Shell shell;
    // The control's own home and search pages; words are searched where
    // the build says.
    corvane::BrowserProgram program(
        corvane::Ports{backend, &registry, &shell},
        corvane::BuildSettings{.startAddress = corvane::ConfiguredStartAddress(),
                               .searchQuery = corvane::ConfiguredSearchQuery()});
    return program.Run();
  } catch (...) {
    // Nothing could be set up (no window system): there is nothing to show.
    return 1;
  }
}
