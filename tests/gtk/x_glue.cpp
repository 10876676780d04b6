// The one place where the GTK tests meet the X headers.
#include "tests/gtk/gtk_fixture.h"

// After GoogleTest: the X headers define macros such as None and Bool.
#include <gdk/gdkx.h>

namespace corvane::testing {

XWindow XidOf(GtkWindow* window) {
  return gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(window)));
}

}  // namespace corvane::testing
