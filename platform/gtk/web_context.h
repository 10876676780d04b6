// The one web context of the program's web views, and how far it confines
// the pages it shows.
//
// Nothing is kept between runs: what the engine keeps of the browsing
// (cookies, site storage, its cache) lives in the run's own folder in the
// user's runtime folder, in memory, removed when the program ends
// (RunFolder, platform/posix/run_folder.h). Where there can be no such
// folder the context keeps nothing anywhere (an ephemeral one); the engine
// then refuses notifications without asking. Pages are confined: every web process runs in the engine's
// sandbox (bubblewrap: a PID namespace of its own, no view of the user's
// files), and a navigation to another site moves the page into a new web
// process, so that one site's process never holds another site's page.
//
// Where bubblewrap cannot run (user namespaces denied, no bwrap), the engine
// falls back to unconfined web processes only inside a container it
// recognises; elsewhere the first web process fails to start and the engine
// ends the whole program. So the program asks first, the way the engine
// does in a container: SandboxProbe runs bubblewrap once on nothing, and the
// sandbox is switched on only when that worked.
//
// Around each confined web process the engine also starts a D-Bus proxy
// (/usr/bin/xdg-dbus-proxy, in a bubblewrap of its own) for the session bus
// and for the accessibility bus, binding the folder of each bus's socket into
// the proxy's sandbox. A bus advertised but gone with its folder (a stale
// address: a removed runtime folder, a cleaned cache) makes that bubblewrap
// fail, and so does a missing proxy wherever there is a bus to proxy; either
// way the engine ends the whole program. SettleBuses checks first.
#pragma once

#include <gio/gio.h>
#include <webkit2/webkit2.h>

#include <optional>
#include <string>

#include "platform/gtk/gobject_ptr.h"

namespace corvane::gtk {

// Whether this build confines its web processes. Always on, but for a build
// made for the start-up benchmark's comparison (CORVANE_CONFINE_WEB=OFF).
[[nodiscard]] bool ConfinesWeb();

// Whether bubblewrap can run here. Start() begins to find out (the backend
// starts it when it is made, so the answer is in by the time the web context
// is made; measured, it does not delay the first window); Works() starts it
// if need be and waits for the answer.
class SandboxProbe {
 public:
  void Start();
  [[nodiscard]] bool Works();

 private:
  GObjectPtr<GSubprocess> probe_;
  std::optional<bool> works_;
};

// Makes what the engine will proxy for a confined web process something it
// can proxy, before the first one starts: a session bus or accessibility bus
// whose socket cannot be reached is replaced, in the program's environment,
// by an address that reaches nothing and has a folder to bind (the pages get
// no such bus, which they could not have used anyway); without the proxy, an
// accessibility bus named in the environment is dropped. Answers false when
// the engine would still have to proxy a bus without the proxy: a session
// bus is found, and there is no asking the engine to do without it.
[[nodiscard]] bool SettleBuses();

// A new web context keeping its data and cache in `folder` (ephemeral when
// empty), confined when this build does, `probe` says bubblewrap works and
// the buses are settled (process swap either way in a confining build).
[[nodiscard]] GObjectPtr<WebKitWebContext> MakeWebContext(SandboxProbe& probe,
                                                         const std::string& folder);

}  // namespace corvane::gtk
