// The Linux program: the portable core on the GTK front end. It reads no
// command line and no settings; the build's settings (start address, home
// and search pages, search address) go to the program, which gives them to
// its windows and its page policy.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "program/browser_program.h"
#include "platform/gtk/backend.h"
#include "platform/gtk/message_box.h"
#include "platform/posix/posix_shell.h"
#include "platform/posix/system_info_registry.h"

#ifndef CORVANE_HOME_PAGE
#error "CORVANE_HOME_PAGE must be defined by the build"
#endif
#ifndef CORVANE_SEARCH_PAGE
#error "CORVANE_SEARCH_PAGE must be defined by the build"
#endif

int main() {
  // The graphics driver would keep the shaders it compiles in the user's
  // cache folder, at every start; the program writes nothing there. Whoever
  // sets either variable themselves keeps their choice.
  if (std::getenv("MESA_SHADER_CACHE_DIR") == nullptr) {
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
  }
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fputs("Corvane Ombrel needs a graphical display.\n", stderr);
    return 1;
  }
  try {
    corvane::BuildSettings settings{corvane::ConfiguredStartAddress(), CORVANE_HOME_PAGE,
                                    CORVANE_SEARCH_PAGE, corvane::ConfiguredSearchQuery()};
#ifdef CORVANE_FIXED_SEARCH_QUERY
    // A test build: words are searched on the test's own page.
    settings.searchQuery = CORVANE_FIXED_SEARCH_QUERY;
#endif
#ifdef CORVANE_FIXED_START_ADDRESS
    // A test build: it opens the test's own page instead of the configured one.
    settings.startAddress = CORVANE_FIXED_START_ADDRESS;
#endif
    corvane::gtk::WebPages pages;
#ifdef CORVANE_MOCK_CAPTURE_DEVICES
    // A test build: the engine's stand-in camera and microphone.
    pages.mockCaptureDevices = true;
#endif
    corvane::gtk::GtkBackend backend{pages};
    backend.WarmUpEngine();  // while the splash is shown
    corvane::Ports ports{backend};
    // Linux has no registry: this one tells System Info where the desktop's
    // system-information tool is, when one is installed.
    corvane::SystemInfoRegistry registry;
    corvane::PosixShell shell{[](const std::string& text, const std::string& title) {
      corvane::gtk::ShowMessageBox(title, text);
    }};
    ports.registry = &registry;
    ports.shell = &shell;
    corvane::BrowserProgram program{ports, settings};
    const int code = program.Run();
    backend.EndEngine();  // nothing of the run is left behind
    return code;
  } catch (...) {
    // Only a failure to build the first window gets here.
    std::fputs("Corvane Ombrel could not open its window.\n", stderr);
    return 1;
  }
}
