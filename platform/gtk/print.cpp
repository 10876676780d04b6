#include "platform/gtk/print.h"

#include <string>

namespace corvane::gtk {

namespace {

GtkWindow* WindowOf(WebKitWebView* view) {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  return gtk_widget_is_toplevel(top) != FALSE ? GTK_WINDOW(top) : nullptr;
}

// The engine could not print: said over the view's window, without holding
// up the program.
void OnFailed(WebKitPrintOperation* operation, GError* error, gpointer /*data*/) {
  const std::string why = error != nullptr && error->message != nullptr ? error->message
                                                                         : "unknown error";
  WebKitWebView* view = nullptr;
  g_object_get(operation, "web-view", &view, nullptr);
  GtkWindow* parent = view != nullptr ? WindowOf(view) : nullptr;
  if (view != nullptr) {
    g_object_unref(view);
  }
  GtkWidget* box = gtk_message_dialog_new(
      parent, GTK_DIALOG_DESTROY_WITH_PARENT,
      GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "The page could not be printed: %s.", why.c_str());
  gtk_window_set_title(GTK_WINDOW(box), "Printing Failed");
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER_ON_PARENT);
  g_signal_connect(box, "response", G_CALLBACK(&gtk_widget_destroy), nullptr);
  gtk_widget_show(box);
}

// The operation holds its own reference while it prints; it lets it go here.
void OnFinished(WebKitPrintOperation* operation, gpointer /*data*/) { g_object_unref(operation); }

}  // namespace

void PrintPage(WebKitWebView* view, GtkPrintSettings* settings) {
  WebKitPrintOperation* operation = webkit_print_operation_new(view);
  g_signal_connect(operation, "failed", G_CALLBACK(&OnFailed), nullptr);
  g_signal_connect(operation, "finished", G_CALLBACK(&OnFinished), nullptr);
  if (settings != nullptr) {
    webkit_print_operation_set_print_settings(operation, settings);
    webkit_print_operation_print(operation);
    return;
  }
  // The dialog runs its own loop until it is answered.
  if (webkit_print_operation_run_dialog(operation, WindowOf(view)) !=
      WEBKIT_PRINT_OPERATION_RESPONSE_PRINT) {
    g_object_unref(operation);  // cancelled: nothing is printed, nothing finishes
  }
}

}  // namespace corvane::gtk
