// The https handler's connections: the program's own TLS client over
// Winsock, kept alive per origin (net::ConnectionPool, a limit per origin)
// and shared by the worker threads that make the exchanges. Plain http is
// never spoken here: the system's handler keeps it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "net/http_exchange.h"
#include "net/proxy_settings.h"
#include "platform/win32/handles.h"
#include "platform/win32/https/lock.h"
#include "platform/win32/tls/tls_connection.h"

namespace corvane::win32::https {

struct Timeouts {
  unsigned long connectMs = 30000;  // the TCP connection, the proxy's tunnel and the handshake
  unsigned long readMs = 60000;     // each write and each read after that
};

// What the exchange hears of a TLS error: its kind, with the TLS error's own
// value as the detail (to choose the page the user sees).
net::TransportStatus StatusOf(tls::TlsError error) noexcept;

class TlsConnections final : public net::Connections {
 public:
  explicit TlsConnections(net::ProxySettings proxy = {}, Timeouts timeouts = {},
                          std::size_t perOrigin = 6);
  // Closes the idle connections. Every connection taken must have been
  // given back first.
  ~TlsConnections() override;
  TlsConnections(const TlsConnections&) = delete;
  TlsConnections& operator=(const TlsConnections&) = delete;

  // An https url only; an http one is refused (kSecureChannel). Waits, up to
  // a cancel, while every place for the origin is taken.
  std::unique_ptr<net::Connection> Take(const net::Url& url, const std::atomic<bool>* cancelled,
                                        bool& reused, net::TransportStatus& status) override;
  void Give(const net::Url& url, std::unique_ptr<net::Connection> connection,
            bool keepAlive) override;

  // Drops every idle connection (the run ends).
  void CloseIdle();
  std::size_t Idle(const net::Url& url) const;
  std::size_t InUse(const net::Url& url) const;

 private:
  net::ProxySettings proxy_;
  Timeouts timeouts_;
  // A Take waiting for a place: the first one waiting for the origin of a
  // place given back is woken, and only it (each looks again at least
  // every few dozen milliseconds too, for a cancel).
  struct Waiter {
    std::string origin;
    HANDLE wake;  // its own auto-reset event
  };
  mutable Lock section_;
  std::vector<Waiter*> waiters_;  // under section_, in the order they came
  net::ConnectionPool pool_;
};

}  // namespace corvane::win32::https
