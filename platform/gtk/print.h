// Printing the page shown.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace corvane::gtk {

// Prints the page of `view`. Without `settings` the GTK print dialog asks
// first, over the view's window, and Cancel prints nothing; with `settings`
// the page is printed as they say, unasked. Printing goes on after the call;
// a failure is said in a message box.
void PrintPage(WebKitWebView* view, GtkPrintSettings* settings = nullptr);

}  // namespace corvane::gtk
