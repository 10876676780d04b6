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

// A new web context keeping its data and cache in `folder` (ephemeral when
// empty), confined when this build does and `probe` says bubblewrap works
// (process swap either way in a confining build).
[[nodiscard]] GObjectPtr<WebKitWebContext> MakeWebContext(SandboxProbe& probe,
                                                         const std::string& folder);

}  // namespace corvane::gtk
