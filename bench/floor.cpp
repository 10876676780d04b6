// The engine's floor: one GTK window holding one web view (ephemeral context),
// whose title follows the page title. Usage: floor <address> [width height]
// (pixels; default 800 x 600).
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>

static void on_title(WebKitWebView* view, GParamSpec*, gpointer window) {
  const gchar* t = webkit_web_view_get_title(view);
  gtk_window_set_title(GTK_WINDOW(window), t != nullptr ? t : "");
}

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc < 2) return 2;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  const int width = argc >= 4 ? std::atoi(argv[2]) : 800;
  const int height = argc >= 4 ? std::atoi(argv[3]) : 600;
  gtk_window_set_default_size(GTK_WINDOW(window), width > 0 ? width : 800, height > 0 ? height : 600);
  WebKitWebContext* context = webkit_web_context_new_ephemeral();
  GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, nullptr));
  g_object_unref(context);
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(view, "notify::title", G_CALLBACK(on_title), window);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
