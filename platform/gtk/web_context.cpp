#include "platform/gtk/web_context.h"

#ifndef CORVANE_CONFINE_WEB
#define CORVANE_CONFINE_WEB 1
#endif

namespace corvane::gtk {

namespace {

// The engine runs this bubblewrap, by this path, and asks the same of it
// inside a container.
constexpr const char* kBubblewrap = "/usr/bin/bwrap";

}  // namespace

bool ConfinesWeb() { return CORVANE_CONFINE_WEB != 0; }

void SandboxProbe::Start() {
  if (probe_ || works_) {
    return;
  }
  if (!ConfinesWeb()) {
    works_ = false;
    return;
  }
  const char* const argv[] = {kBubblewrap, "--ro-bind", "/",  "/",    "--proc", "/proc",
                              "--dev",     "/dev",      "--unshare-all", "true",   nullptr};
  probe_ = GObjectPtr<GSubprocess>(g_subprocess_newv(
      argv, static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_SILENCE |
                                          G_SUBPROCESS_FLAGS_STDERR_SILENCE),
      nullptr));
  if (!probe_) {
    works_ = false;  // no bubblewrap to start
  }
}

bool SandboxProbe::Works() {
  Start();
  if (!works_) {
    works_ = g_subprocess_wait_check(probe_.get(), nullptr, nullptr) != FALSE;
    probe_.reset();
  }
  return *works_;
}

GObjectPtr<WebKitWebContext> MakeWebContext(SandboxProbe& probe, const std::string& folder) {
  const std::string kept = folder + "/data";
  const std::string cache = folder + "/cache";
  const GObjectPtr<WebKitWebsiteDataManager> data(
      folder.empty() ? webkit_website_data_manager_new_ephemeral()
                     : webkit_website_data_manager_new("base-data-directory", kept.c_str(),
                                                       "base-cache-directory", cache.c_str(),
                                                       nullptr));
  // Passwords of sites would go to the desktop's keyring, on disk.
  webkit_website_data_manager_set_persistent_credential_storage_enabled(data.get(), FALSE);
  // Process swap can only be chosen when the context is made.
  GObjectPtr<WebKitWebContext> context(WEBKIT_WEB_CONTEXT(
      g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", data.get(),
                   "process-swap-on-cross-site-navigation-enabled", ConfinesWeb() ? TRUE : FALSE,
                   nullptr)));
  // The sandbox must be on before the first web process starts: the context
  // is new, so none has. Downloads need no path of their own in it: the
  // network process, which it does not confine, writes them.
  webkit_web_context_set_sandbox_enabled(context.get(), probe.Works() ? TRUE : FALSE);
  if (!folder.empty()) {
    // The run folder is in memory: the disk cache stays within tens of
    // megabytes (a web browser's model takes up to a gigabyte).
    webkit_web_context_set_cache_model(context.get(), WEBKIT_CACHE_MODEL_DOCUMENT_BROWSER);
  }
  return context;
}

}  // namespace corvane::gtk
