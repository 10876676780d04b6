// The user's proxy, as WinINet keeps it (the Internet Options' LAN
// settings): HKCU\Software\Microsoft\Windows\CurrentVersion\Internet
// Settings, values ProxyEnable, ProxyServer and ProxyOverride. An automatic
// configuration script (AutoConfigURL) or automatic detection is not
// followed: only the proxy named there. No proxy authentication: a proxy
// that asks for it refuses the tunnel.
#pragma once

#include "net/proxy_settings.h"
#include "platform/ports/registry.h"

namespace corvane::win32::https {

// Read through `registry`; a value missing or unreadable counts as not set
// (then no proxy).
net::ProxySettings UserProxySettings(Registry& registry);

// Read from the system's registry.
net::ProxySettings UserProxySettings();

}  // namespace corvane::win32::https
