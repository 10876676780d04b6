#include "platform/gtk/web_context.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#ifndef CORVANE_CONFINE_WEB
#define CORVANE_CONFINE_WEB 1
#endif

namespace corvane::gtk {

namespace {

// The engine runs this bubblewrap, by this path, and asks the same of it
// inside a container.
constexpr const char* kBubblewrap = "/usr/bin/bwrap";
// And this D-Bus proxy.
constexpr const char* kProxy = "/usr/bin/xdg-dbus-proxy";
// A bus address that reaches nothing: no socket can be under a device file.
// The folder the engine binds for it, /dev/null, is in the sandbox anyway.
constexpr const char* kNoBus = "unix:path=/dev/null/no-bus";
constexpr const char* kSessionBus = "DBUS_SESSION_BUS_ADDRESS";
constexpr const char* kAccessibilityBus = "AT_SPI_BUS_ADDRESS";

using Text = std::unique_ptr<gchar, decltype(&g_free)>;

class Socket {
 public:
  Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  [[nodiscard]] int Get() const { return fd_; }

 private:
  int fd_;
};

// Whether the bus at `address` takes connections. Only a socket path
// ("unix:path=...") has a folder for the engine to bind; any other kind of
// address is left to the engine as it is.
bool Reachable(const std::string& address) {
  constexpr std::string_view kPath = "unix:path=";
  if (!address.starts_with(kPath)) {
    return true;
  }
  const std::string escaped =
      address.substr(kPath.size(), address.find_first_of(",;") - kPath.size());
  const Text path(g_uri_unescape_string(escaped.c_str(), nullptr), &g_free);
  sockaddr_un where{};
  where.sun_family = AF_UNIX;
  if (!path || *path == '\0' || std::strlen(path.get()) >= sizeof where.sun_path) {
    return false;
  }
  std::strcpy(where.sun_path, path.get());
  const Socket socket;
  if (socket.Get() < 0) {
    return true;  // nothing learnt
  }
  // A bus too busy to accept at once is there all the same.
  return ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0 ||
         errno == EAGAIN || errno == EINPROGRESS;
}

// The accessibility bus the engine would proxy: the one the environment
// names, else the one the session bus's accessibility service tells. The
// service is not started for the asking: when the engine asks, one started
// then answers with a live bus.
std::string AccessibilityBus() {
  if (const char* named = g_getenv(kAccessibilityBus); named != nullptr && *named != '\0') {
    return named;
  }
  const GObjectPtr<GDBusConnection> session(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!session) {
    return {};
  }
  const std::unique_ptr<GVariant, decltype(&g_variant_unref)> answer(
      g_dbus_connection_call_sync(session.get(), "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                                  "GetAddress", nullptr, G_VARIANT_TYPE("(s)"),
                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, nullptr),
      &g_variant_unref);
  if (!answer) {
    return {};
  }
  const char* address = nullptr;
  g_variant_get(answer.get(), "(&s)", &address);
  return address;
}

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

bool SettleBuses() {
  // The engine reads the buses anew for every web process it starts, so what
  // is set here holds for the run (and for the programs the program starts,
  // which would have found the same dead buses).
  // The session bus found the way the engine finds it.
  const Text session(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr),
                     &g_free);
  if (!g_file_test(kProxy, G_FILE_TEST_IS_EXECUTABLE)) {
    if (session) {
      return false;
    }
    // With no session bus the engine finds no accessibility bus but this one.
    g_unsetenv(kAccessibilityBus);
    return true;
  }
  if (session && !Reachable(session.get())) {
    g_setenv(kSessionBus, kNoBus, TRUE);
  }
  const std::string accessibility = AccessibilityBus();
  if (!accessibility.empty() && !Reachable(accessibility)) {
    g_setenv(kAccessibilityBus, kNoBus, TRUE);
  }
  return true;
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
  webkit_web_context_set_sandbox_enabled(context.get(),
                                         probe.Works() && SettleBuses() ? TRUE : FALSE);
  if (!folder.empty()) {
    // The run folder is in memory: the disk cache stays within tens of
    // megabytes (a web browser's model takes up to a gigabyte).
    webkit_web_context_set_cache_model(context.get(), WEBKIT_CACHE_MODEL_DOCUMENT_BROWSER);
  }
  return context;
}

}  // namespace corvane::gtk
