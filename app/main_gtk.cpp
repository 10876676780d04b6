// The Linux program: the portable core on the GTK front end. It reads no
// command line and no settings; the web view's pages are fixed at build.
#include <gtk/gtk.h>

#include <cstdio>

#include "app/program.h"
#include "platform/gtk/gtk_backend.h"

#ifndef CORVANE_HOME_PAGE
#error "CORVANE_HOME_PAGE must be defined by the build"
#endif
#ifndef CORVANE_SEARCH_PAGE
#error "CORVANE_SEARCH_PAGE must be defined by the build"
#endif

int main() {
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fputs("Corvane Ombrel needs a graphical display.\n", stderr);
    return 1;
  }
  try {
    corvane::gtk::GtkBackend backend{{CORVANE_HOME_PAGE, CORVANE_SEARCH_PAGE}};
#ifdef CORVANE_FIXED_START_ADDRESS
    // A test build: it opens the test's own page instead of the configured one.
    corvane::Program program{corvane::Ports{backend},
                             corvane::BuildSettings{CORVANE_FIXED_START_ADDRESS}};
#else
    corvane::Program program{corvane::Ports{backend}};
#endif
    return program.Run();
  } catch (...) {
    // Only a failure to build the first window gets here.
    std::fputs("Corvane Ombrel could not open its window.\n", stderr);
    return 1;
  }
}
