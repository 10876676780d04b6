// The program's own TLS 1.2 client connection, for Windows versions whose
// system TLS is too old for today's servers: BearSSL over a Winsock socket,
// ECDHE key exchange with AES-GCM or ChaCha20-Poly1305, the server's name
// sent (SNI) and checked, and the chain checked against the roots of
// trust_anchors.h; certificates signed with SHA-1 or MD5 are refused. It
// may go through an HTTP proxy (a CONNECT tunnel) and gives up soon once a
// flag it watches turns true.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace corvane::win32::tls {

enum class TlsError {
  None,
  NoNetwork,          // Winsock cannot be loaded or started
  HostNotFound,       // the name has no address
  ConnectionRefused,  // nothing listens there
  Timeout,            // no answer in time
  UnknownRoot,        // the chain ends at no trusted root
  WrongHostName,      // the certificate is for another name or address
  Expired,            // a certificate is expired or not yet valid
  WeakSignature,      // a certificate is signed with SHA-1 or MD5
  ProtocolTooOld,     // the server offers no TLS 1.2
  BadCertificate,     // any other fault of the chain
  HandshakeFailed,    // any other failure of the handshake
  ConnectionLost,     // the connection broke or the server closed it abruptly
  NotConnected,       // no connection is open
  Cancelled,          // the flag the connection watches turned true
  ProxyRefused,       // the proxy did not open the tunnel (its answer was not 2xx)
};

// An HTTP proxy that opens tunnels with CONNECT.
struct ProxyServer {
  std::string host;  // a name, or an IPv4 or IPv6 address without brackets
  std::uint16_t port = 0;
};

// A short English text for an error, for logs and error pages.
const char* Describe(TlsError error) noexcept;

class TlsConnection {
 public:
  TlsConnection();
  ~TlsConnection();
  TlsConnection(const TlsConnection&) = delete;
  TlsConnection& operator=(const TlsConnection&) = delete;

  // Opens a connection to host:port (a name, or an IPv4 or IPv6 address
  // without brackets) and completes the handshake, within timeoutMs (the
  // name lookup excepted). Closes a connection that was open first. The
  // timeout then applies to each Write and Read as well. Through `proxy`
  // (when not null) the TCP connection goes to the proxy, which is asked
  // for a tunnel to host:port; the proxy looks the name up, and the name
  // sent and checked in the handshake is still `host`.
  TlsError Connect(const std::string& host, std::uint16_t port, unsigned long timeoutMs,
                   const ProxyServer* proxy = nullptr);
  // Sends all of data and flushes it.
  TlsError Write(const void* data, std::size_t size);
  // Reads what arrives, up to size bytes, into data: `got` says how many;
  // 0 with None means the server closed the connection properly.
  TlsError Read(void* data, std::size_t size, std::size_t& got);
  // The time each Write and Read may take, from now until the next Connect.
  void SetTimeout(unsigned long timeoutMs) noexcept;
  // Ends the connection (telling the server, when it can at once).
  void Close() noexcept;
  // From now on Connect, Write and Read end with Cancelled within about
  // 100 ms of `cancelled` turning true (null: nothing to watch). The flag
  // must outlive its watching. The name lookup is not interrupted.
  void Watch(const std::atomic<bool>* cancelled) noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace corvane::win32::tls
