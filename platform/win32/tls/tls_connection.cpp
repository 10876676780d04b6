#include "platform/win32/tls/tls_connection.h"

// Winsock's headers come before <windows.h>.
#include "platform/win32/tls/winsock.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

#include "bearssl.h"
#include "net/http_response.h"
#include "platform/win32/tls/trust_anchors.h"

namespace corvane::win32::tls {
namespace {

// ---- certificates ----------------------------------------------------------

// One DER element: its tag and its content; `rest` is what follows it.
struct Der {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
};

bool ReadElement(Der& rest, unsigned char& tag, Der& content) {
  if (rest.size < 2) {
    return false;
  }
  tag = rest.data[0];
  std::size_t length = rest.data[1];
  std::size_t at = 2;
  if (length >= 0x80) {
    const std::size_t count = length & 0x7F;
    if (count == 0 || count > 3 || rest.size < at + count) {
      return false;
    }
    length = 0;
    for (std::size_t i = 0; i < count; ++i) {
      length = (length << 8) | rest.data[at++];
    }
  }
  if (rest.size - at < length) {
    return false;
  }
  content = {rest.data + at, length};
  rest = {rest.data + at + length, rest.size - at - length};
  return true;
}

bool Same(const Der& der, const unsigned char* bytes, std::size_t size) {
  return der.size == size && std::memcmp(der.data, bytes, size) == 0;
}

// Whether a certificate's signature uses MD2, MD5 or SHA-1.
bool SignedWeakly(Der certificate) {
  static constexpr unsigned char kRsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01};
  static constexpr unsigned char kEcdsaSha1[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x01};
  static constexpr unsigned char kDsaSha1[] = {0x2A, 0x86, 0x48, 0xCE, 0x38, 0x04, 0x03};
  static constexpr unsigned char kOiwSha1Rsa[] = {0x2B, 0x0E, 0x03, 0x02, 0x1D};
  unsigned char tag = 0;
  Der body, tbs, algorithm, oid;
  if (!ReadElement(certificate, tag, body) || !ReadElement(body, tag, tbs) ||
      !ReadElement(body, tag, algorithm) || !ReadElement(algorithm, tag, oid) || tag != 0x06) {
    return false;
  }
  if (oid.size == sizeof kRsa + 1 && std::memcmp(oid.data, kRsa, sizeof kRsa) == 0) {
    const unsigned char which = oid.data[sizeof kRsa];
    return which == 2 || which == 4 || which == 5;  // md2, md5, sha1 WithRSAEncryption
  }
  return Same(oid, kEcdsaSha1, sizeof kEcdsaSha1) || Same(oid, kDsaSha1, sizeof kDsaSha1) ||
         Same(oid, kOiwSha1Rsa, sizeof kOiwSha1Rsa);
}

// Whether a certificate names `address` (4 or 16 bytes) among its subject
// alternative names' IP addresses: the only place an address may be named.
bool NamesAddress(Der certificate, const unsigned char* address, std::size_t size) {
  static constexpr unsigned char kSubjectAltName[] = {0x55, 0x1D, 0x11};
  unsigned char tag = 0;
  Der body, tbs, field;
  if (!ReadElement(certificate, tag, body) || !ReadElement(body, tag, tbs)) {
    return false;
  }
  while (ReadElement(tbs, tag, field)) {
    if (tag != 0xA3) {  // [3] extensions
      continue;
    }
    Der extensions, extension, oid, value;
    if (!ReadElement(field, tag, extensions)) {
      return false;
    }
    while (ReadElement(extensions, tag, extension)) {
      if (!ReadElement(extension, tag, oid) || !Same(oid, kSubjectAltName, sizeof kSubjectAltName)) {
        continue;
      }
      // An optional "critical" flag, then the names inside an OCTET STRING.
      do {
        if (!ReadElement(extension, tag, value)) {
          return false;
        }
      } while (tag != 0x04);
      Der names, name;
      if (!ReadElement(value, tag, names)) {
        return false;
      }
      while (ReadElement(names, tag, name)) {
        if (tag == 0x87 && Same(name, address, size)) {  // [7] iPAddress
          return true;
        }
      }
    }
  }
  return false;
}

// BearSSL's minimal chain check, with what it leaves to its caller: which
// failure came from a certificate signed with SHA-1 or MD5 (the check has no
// such hash, so it cannot verify one), and the server's address, for a
// connection to an address (the check compares DNS names only).
struct CheckedChain {
  const br_x509_class* vtable;  // first: BearSSL passes a pointer to it
  br_x509_minimal_context minimal;
  std::array<unsigned char, 16> address;
  std::size_t addressSize;
  std::array<unsigned char, 8192> certificate;
  std::size_t certificateSize;
  bool certificateWhole;
  int errorBefore;  // the chain check's state before this certificate
  unsigned index;
  bool weakFailure;
  bool addressMatched;
};
static_assert(std::is_standard_layout_v<CheckedChain>);

CheckedChain& Chain(const br_x509_class* const* context) {
  return *reinterpret_cast<CheckedChain*>(const_cast<const br_x509_class**>(context));
}
const br_x509_class** Minimal(CheckedChain& chain) { return &chain.minimal.vtable; }

void ChainStart(const br_x509_class** context, const char* serverName) {
  CheckedChain& chain = Chain(context);
  chain.index = 0;
  chain.weakFailure = false;
  chain.addressMatched = false;
  chain.minimal.vtable->start_chain(Minimal(chain), serverName);
}

void CertificateStart(const br_x509_class** context, std::uint32_t length) {
  CheckedChain& chain = Chain(context);
  chain.certificateSize = 0;
  chain.certificateWhole = length <= chain.certificate.size();
  chain.errorBefore = chain.minimal.err;
  chain.minimal.vtable->start_cert(Minimal(chain), length);
}

void CertificateAppend(const br_x509_class** context, const unsigned char* data, std::size_t size) {
  CheckedChain& chain = Chain(context);
  if (chain.certificateWhole && chain.certificate.size() - chain.certificateSize >= size) {
    std::memcpy(chain.certificate.data() + chain.certificateSize, data, size);
    chain.certificateSize += size;
  } else {
    chain.certificateWhole = false;
  }
  chain.minimal.vtable->append(Minimal(chain), data, size);
}

void CertificateEnd(const br_x509_class** context) {
  CheckedChain& chain = Chain(context);
  chain.minimal.vtable->end_cert(Minimal(chain));
  const Der whole{chain.certificate.data(), chain.certificateSize};
  if (chain.certificateWhole) {
    if (chain.errorBefore == 0 && chain.minimal.err == BR_ERR_X509_UNSUPPORTED && SignedWeakly(whole)) {
      chain.weakFailure = true;
    }
    if (chain.index == 0 && chain.addressSize != 0) {
      chain.addressMatched = NamesAddress(whole, chain.address.data(), chain.addressSize);
    }
  }
  ++chain.index;
}

unsigned ChainEnd(const br_x509_class** context) {
  CheckedChain& chain = Chain(context);
  const unsigned result = chain.minimal.vtable->end_chain(Minimal(chain));
  if (result == 0 && chain.addressSize != 0 && !chain.addressMatched) {
    return BR_ERR_X509_BAD_SERVER_NAME;
  }
  return result;
}

const br_x509_pkey* ChainKey(const br_x509_class* const* context, unsigned* usages) {
  CheckedChain& chain = Chain(context);
  return chain.minimal.vtable->get_pkey(Minimal(chain), usages);
}

const br_x509_class kCheckedChainClass = {
    sizeof(CheckedChain), ChainStart, CertificateStart, CertificateAppend,
    CertificateEnd,       ChainEnd,   ChainKey,
};

// ---- the connection's parts -------------------------------------------------

// ECDHE only (forward secrecy), AEAD only; ChaCha20 first as it is fast and
// constant-time without AES instructions, which older processors lack.
constexpr std::uint16_t kSuites[] = {
    BR_TLS_ECDHE_ECDSA_WITH_CHACHA20_POLY1305_SHA256, BR_TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305_SHA256,
    BR_TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256,       BR_TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256,
    BR_TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384,       BR_TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384,
};

// Milliseconds left until `deadline` (GetTickCount time), 0 once past it.
DWORD Left(DWORD deadline) {
  const DWORD left = deadline - ::GetTickCount();
  return left > 0x7FFFFFFF ? 0 : left;
}

// The longest a wait goes without looking at the cancel flag.
constexpr DWORD kSliceMs = 50;

// The longest answer to CONNECT taken, head only.
constexpr std::size_t kPeekBytes = 1024;

}  // namespace

struct TlsConnection::State {
  const Winsock* ws = nullptr;
  Socket socket;
  br_ssl_client_context client{};
  CheckedChain chain{};
  DWORD timeout = 0;
  DWORD deadline = 0;
  const std::atomic<bool>* cancelled = nullptr;
  // What went wrong below the TLS layer, when it did.
  TlsError transport = TlsError::None;
  bool open = false;
  unsigned char buffer[BR_SSL_BUFSIZE_BIDI]{};

  bool IsCancelled() const {
    return cancelled != nullptr && cancelled->load(std::memory_order_acquire);
  }

  // Waits until `s` can be written (or read) or, with `failed`, until a
  // connection attempt on it ends (`failed` then says whether it failed),
  // until the deadline; in short slices, to see a cancel soon. Looks once
  // even when the deadline is past.
  TlsError Wait(SOCKET s, bool write, bool* failed = nullptr) {
    for (;;) {
      if (IsCancelled()) {
        return TlsError::Cancelled;
      }
      const DWORD left = Left(deadline);
      fd_set ready, errors;
      ready.fd_count = errors.fd_count = 1;
      ready.fd_array[0] = errors.fd_array[0] = s;
      timeval time{0, static_cast<long>(std::min(left, kSliceMs) * 1000)};
      const int count = ws->select(0, write ? nullptr : &ready, write ? &ready : nullptr,
                                   failed != nullptr ? &errors : nullptr, &time);
      if (count < 0) {
        return TlsError::ConnectionLost;
      }
      if (count > 0) {
        if (failed != nullptr) {
          *failed = errors.fd_count != 0;
        }
        return TlsError::None;
      }
      if (left == 0) {
        return TlsError::Timeout;
      }
    }
  }

  // Sends or receives some bytes: how many, or 0 with `transport` set.
  // `peek` leaves the bytes received in the socket.
  std::size_t Transfer(bool write, unsigned char* data, std::size_t size, bool peek = false) {
    const int chunk = static_cast<int>(std::min<std::size_t>(size, 0x10000));
    for (;;) {
      if (IsCancelled()) {
        transport = TlsError::Cancelled;
        return 0;
      }
      const int done = write ? ws->send(socket.get(), reinterpret_cast<const char*>(data), chunk, 0)
                             : ws->recv(socket.get(), reinterpret_cast<char*>(data), chunk,
                                        peek ? MSG_PEEK : 0);
      if (done > 0) {
        return static_cast<std::size_t>(done);
      }
      if (done == 0 || ws->WSAGetLastError() != WSAEWOULDBLOCK) {
        transport = TlsError::ConnectionLost;
        return 0;
      }
      const TlsError waited = Wait(socket.get(), write);
      if (waited != TlsError::None) {
        transport = waited;
        return 0;
      }
    }
  }

  // Runs the engine until one of the `wanted` states (BR_SSL_SENDAPP,
  // BR_SSL_RECVAPP) is reached with nothing left to send, or it closes.
  TlsError Run(unsigned wanted) {
    br_ssl_engine_context* engine = &client.eng;
    for (;;) {
      const unsigned state = br_ssl_engine_current_state(engine);
      if ((state & BR_SSL_CLOSED) != 0) {
        return Failure();
      }
      if ((state & BR_SSL_SENDREC) != 0) {
        std::size_t size = 0;
        unsigned char* records = br_ssl_engine_sendrec_buf(engine, &size);
        const std::size_t sent = Transfer(true, records, size);
        if (sent == 0) {
          open = false;  // the engine waits for bytes that will not come
          return transport;
        }
        br_ssl_engine_sendrec_ack(engine, sent);
        continue;
      }
      if ((state & wanted) != 0) {
        return TlsError::None;
      }
      if ((state & BR_SSL_RECVAPP) != 0) {
        // Data arrived while we wait to send: HTTP does not do that.
        return TlsError::HandshakeFailed;
      }
      if ((state & BR_SSL_RECVREC) != 0) {
        std::size_t size = 0;
        unsigned char* records = br_ssl_engine_recvrec_buf(engine, &size);
        const std::size_t received = Transfer(false, records, size);
        if (received == 0) {
          open = false;  // the engine waits for bytes that will not come
          return transport;
        }
        br_ssl_engine_recvrec_ack(engine, received);
        continue;
      }
      br_ssl_engine_flush(engine, 0);
    }
  }

  // Why the engine closed (None: the server closed properly).
  TlsError Failure() const {
    const int error = br_ssl_engine_last_error(&client.eng);
    if (transport != TlsError::None) {
      return transport;
    }
    if (chain.weakFailure) {
      return TlsError::WeakSignature;
    }
    switch (error) {
      case BR_ERR_OK: return TlsError::None;
      case BR_ERR_X509_NOT_TRUSTED: return TlsError::UnknownRoot;
      case BR_ERR_X509_BAD_SERVER_NAME: return TlsError::WrongHostName;
      case BR_ERR_X509_EXPIRED: return TlsError::Expired;
      case BR_ERR_UNSUPPORTED_VERSION:
      case BR_ERR_RECV_FATAL_ALERT + 70:  // protocol_version
        return TlsError::ProtocolTooOld;
      default: break;
    }
    // A server that speaks only an older TLS often refuses with a plain
    // handshake_failure (it shares no suite with us): its records carry its
    // version.
    const unsigned received = client.eng.version_in;
    if (error >= BR_ERR_RECV_FATAL_ALERT && received != 0 && received < BR_TLS12) {
      return TlsError::ProtocolTooOld;
    }
    if (error >= BR_ERR_X509_OK && error < BR_ERR_X509_OK + 32) {
      return TlsError::BadCertificate;
    }
    return TlsError::HandshakeFailed;
  }

  // An address given as such: then no name is sent, and the certificate
  // must name the address itself.
  void NoteAddress(const std::string& host) {
    chain.addressSize = 0;
    addrinfo numeric{};
    numeric.ai_family = AF_UNSPEC;
    numeric.ai_socktype = SOCK_STREAM;
    numeric.ai_flags = AI_NUMERICHOST;
    AddressList literal;
    if (host.empty() || ws->getaddrinfo(host.c_str(), "443", &numeric, literal.out()) != 0) {
      return;
    }
    const sockaddr* address = literal.get()->ai_addr;
    if (address->sa_family == AF_INET) {
      const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
      std::memcpy(chain.address.data(), &v4->sin_addr, 4);
      chain.addressSize = 4;
    } else if (address->sa_family == AF_INET6) {
      const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
      std::memcpy(chain.address.data(), &v6->sin6_addr, 16);
      chain.addressSize = 16;
    }
  }

  TlsError OpenSocket(const std::string& host, std::uint16_t port) {
    const std::string service = std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    AddressList addresses;
    if (host.empty() || ws->getaddrinfo(host.c_str(), service.c_str(), &hints, addresses.out()) != 0) {
      return TlsError::HostNotFound;
    }
    TlsError result = TlsError::ConnectionRefused;
    for (const addrinfo* at = addresses.get(); at != nullptr; at = at->ai_next) {
      Socket candidate(ws->socket(at->ai_family, at->ai_socktype, at->ai_protocol));
      u_long nonBlocking = 1;
      if (!candidate || ws->ioctlsocket(candidate.get(), FIONBIO, &nonBlocking) != 0) {
        result = TlsError::ConnectionLost;
        continue;
      }
      if (ws->connect(candidate.get(), at->ai_addr, static_cast<int>(at->ai_addrlen)) != 0 &&
          ws->WSAGetLastError() != WSAEWOULDBLOCK) {
        result = TlsError::ConnectionRefused;
        continue;
      }
      // Connected when writable; refused when the attempt shows an error.
      bool failed = false;
      const TlsError waited = Wait(candidate.get(), true, &failed);
      if (waited == TlsError::Timeout || waited == TlsError::Cancelled) {
        return waited;
      }
      int error = 0;
      int errorSize = sizeof error;
      if (waited != TlsError::None || failed ||
          ws->getsockopt(candidate.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                         &errorSize) != 0 ||
          error != 0) {
        result = TlsError::ConnectionRefused;
        continue;
      }
      socket = std::move(candidate);
      return TlsError::None;
    }
    return result;
  }

  // Asks the proxy at the other end of the socket for a tunnel to
  // host:port and reads its answer's head, and not a byte more: what
  // follows belongs to the handshake.
  TlsError Tunnel(const std::string& host, std::uint16_t port) {
    const std::string authority =
        (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
    std::string request = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n";
    for (std::size_t at = 0; at < request.size();) {
      const std::size_t sent =
          Transfer(true, reinterpret_cast<unsigned char*>(request.data() + at), request.size() - at);
      if (sent == 0) {
        return transport;
      }
      at += sent;
    }
    net::ResponseParser answer("CONNECT", {});
    unsigned char bytes[kPeekBytes];
    while (!answer.HeadComplete()) {
      const std::size_t peeked = Transfer(false, bytes, sizeof bytes, true);
      if (peeked == 0) {
        // A proxy that hangs up instead of answering refuses too.
        return transport == TlsError::ConnectionLost ? TlsError::ProxyRefused : transport;
      }
      std::size_t taken = 0;
      while (taken < peeked && !answer.HeadComplete() &&
             answer.Status() != net::ParseStatus::kError) {
        answer.Feed({reinterpret_cast<const char*>(bytes) + taken, 1});
        ++taken;
      }
      if (answer.Status() == net::ParseStatus::kError) {
        return TlsError::ProxyRefused;
      }
      for (std::size_t removed = 0; removed < taken;) {
        const std::size_t got = Transfer(false, bytes, taken - removed);
        if (got == 0) {
          return transport;
        }
        removed += got;
      }
    }
    const int status = answer.StatusCode();
    return status >= 200 && status < 300 ? TlsError::None : TlsError::ProxyRefused;
  }

  void SetUpEngine(const char* serverName) {
    br_ssl_client_context* cc = &client;
    br_ssl_engine_context* engine = &cc->eng;
    br_ssl_client_zero(cc);
    br_ssl_engine_set_versions(engine, BR_TLS12, BR_TLS12);
    br_ssl_engine_set_suites(engine, kSuites, sizeof kSuites / sizeof kSuites[0]);
    // TLS 1.2 needs no MD5 nor SHA-1: the engine and the chain check get
    // neither, so a signature made with them is never accepted.
    br_ssl_engine_set_hash(engine, br_sha256_ID, &br_sha256_vtable);
    br_ssl_engine_set_hash(engine, br_sha384_ID, &br_sha384_vtable);
    br_ssl_engine_set_hash(engine, br_sha512_ID, &br_sha512_vtable);
    br_ssl_engine_set_prf_sha256(engine, &br_tls12_sha256_prf);
    br_ssl_engine_set_prf_sha384(engine, &br_tls12_sha384_prf);
    br_ssl_engine_set_default_rsavrfy(engine);
    br_ssl_engine_set_default_ecdsa(engine);
    br_ssl_engine_set_default_aes_gcm(engine);
    br_ssl_engine_set_default_chapol(engine);

    br_x509_minimal_context* minimal = &chain.minimal;
    br_x509_minimal_init(minimal, &br_sha256_vtable, kTrustAnchors, kTrustAnchorCount);
    br_x509_minimal_set_hash(minimal, br_sha256_ID, &br_sha256_vtable);
    br_x509_minimal_set_hash(minimal, br_sha384_ID, &br_sha384_vtable);
    br_x509_minimal_set_hash(minimal, br_sha512_ID, &br_sha512_vtable);
    br_x509_minimal_set_rsa(minimal, br_rsa_pkcs1_vrfy_get_default());
    br_x509_minimal_set_ecdsa(minimal, br_ec_get_default(), br_ecdsa_vrfy_asn1_get_default());
    chain.vtable = &kCheckedChainClass;
    br_ssl_engine_set_x509(engine, &chain.vtable);

    br_ssl_engine_set_buffer(engine, buffer, sizeof buffer, 1);
    br_ssl_client_reset(cc, serverName, 0);
  }
};

const char* Describe(TlsError error) noexcept {
  switch (error) {
    case TlsError::None: return "no error";
    case TlsError::NoNetwork: return "the network is not available";
    case TlsError::HostNotFound: return "the server's name was not found";
    case TlsError::ConnectionRefused: return "the server refused the connection";
    case TlsError::Timeout: return "the server did not answer in time";
    case TlsError::UnknownRoot: return "the server's certificate is not from a trusted authority";
    case TlsError::WrongHostName: return "the server's certificate is for another name";
    case TlsError::Expired: return "the server's certificate is expired or not yet valid";
    case TlsError::WeakSignature: return "the server's certificate is signed with SHA-1 or MD5";
    case TlsError::ProtocolTooOld: return "the server does not offer TLS 1.2";
    case TlsError::BadCertificate: return "the server's certificate is not valid";
    case TlsError::HandshakeFailed: return "the secure connection could not be made";
    case TlsError::ConnectionLost: return "the connection was lost";
    case TlsError::NotConnected: return "not connected";
    case TlsError::Cancelled: return "cancelled";
    case TlsError::ProxyRefused: return "the proxy refused the connection";
  }
  return "unknown error";
}

TlsConnection::TlsConnection() = default;

TlsConnection::~TlsConnection() { Close(); }

TlsError TlsConnection::Connect(const std::string& host, std::uint16_t port,
                                unsigned long timeoutMs, const ProxyServer* proxy) {
  Close();
  const Winsock* ws = LoadWinsock();
  if (ws == nullptr) {
    return TlsError::NoNetwork;
  }
  if (!state_) {
    state_ = std::make_unique<State>();
  }
  State& s = *state_;
  s.ws = ws;
  s.transport = TlsError::None;
  s.timeout = static_cast<DWORD>(std::min<unsigned long>(timeoutMs, 0x7FFFFFFF));
  s.deadline = ::GetTickCount() + s.timeout;
  if (s.IsCancelled()) {
    return TlsError::Cancelled;
  }
  s.NoteAddress(host);
  TlsError opened = proxy != nullptr ? s.OpenSocket(proxy->host, proxy->port) : s.OpenSocket(host, port);
  if (opened == TlsError::None && proxy != nullptr) {
    opened = s.Tunnel(host, port);
  }
  if (opened != TlsError::None) {
    s.socket.reset();
    return opened;
  }
  s.SetUpEngine(s.chain.addressSize != 0 ? nullptr : host.c_str());
  const TlsError result = s.Run(BR_SSL_SENDAPP);
  if (result != TlsError::None) {
    s.socket.reset();
    // A handshake that ended "properly" before it completed still failed.
    return result;
  }
  if (br_ssl_engine_current_state(&s.client.eng) == BR_SSL_CLOSED) {
    s.socket.reset();
    return TlsError::HandshakeFailed;
  }
  s.open = true;
  return TlsError::None;
}

TlsError TlsConnection::Write(const void* data, std::size_t size) {
  if (!state_ || !state_->open) {
    return TlsError::NotConnected;
  }
  State& s = *state_;
  s.deadline = ::GetTickCount() + s.timeout;
  const auto* from = static_cast<const unsigned char*>(data);
  while (size > 0) {
    if (const TlsError ran = s.Run(BR_SSL_SENDAPP); ran != TlsError::None) {
      return ran;
    }
    if ((br_ssl_engine_current_state(&s.client.eng) & BR_SSL_SENDAPP) == 0) {
      return TlsError::ConnectionLost;
    }
    std::size_t room = 0;
    unsigned char* to = br_ssl_engine_sendapp_buf(&s.client.eng, &room);
    const std::size_t part = std::min(room, size);
    std::memcpy(to, from, part);
    br_ssl_engine_sendapp_ack(&s.client.eng, part);
    from += part;
    size -= part;
  }
  br_ssl_engine_flush(&s.client.eng, 0);
  const TlsError flushed = s.Run(BR_SSL_SENDAPP | BR_SSL_RECVAPP);
  return flushed == TlsError::None && (br_ssl_engine_current_state(&s.client.eng) & BR_SSL_CLOSED)
             ? TlsError::ConnectionLost
             : flushed;
}

TlsError TlsConnection::Read(void* data, std::size_t size, std::size_t& got) {
  got = 0;
  if (!state_ || !state_->open) {
    return TlsError::NotConnected;
  }
  State& s = *state_;
  s.deadline = ::GetTickCount() + s.timeout;
  const TlsError ran = s.Run(BR_SSL_RECVAPP);
  if (ran != TlsError::None || (br_ssl_engine_current_state(&s.client.eng) & BR_SSL_RECVAPP) == 0) {
    return ran;  // None here: closed properly
  }
  std::size_t available = 0;
  const unsigned char* from = br_ssl_engine_recvapp_buf(&s.client.eng, &available);
  got = std::min(available, size);
  std::memcpy(data, from, got);
  br_ssl_engine_recvapp_ack(&s.client.eng, got);
  return TlsError::None;
}

void TlsConnection::SetTimeout(unsigned long timeoutMs) noexcept {
  if (state_) {
    state_->timeout = static_cast<DWORD>(std::min<unsigned long>(timeoutMs, 0x7FFFFFFF));
  }
}

void TlsConnection::Watch(const std::atomic<bool>* cancelled) noexcept {
  if (!state_) {
    state_ = std::make_unique<State>();
  }
  state_->cancelled = cancelled;
}

void TlsConnection::Close() noexcept {
  if (!state_ || !state_->socket) {
    return;
  }
  State& s = *state_;
  if (s.open) {
    // close_notify, if it can go out at once.
    br_ssl_engine_close(&s.client.eng);
    s.deadline = ::GetTickCount();
    s.Run(BR_SSL_SENDAPP | BR_SSL_RECVAPP);
  }
  s.open = false;
  s.socket.reset();
}

}  // namespace corvane::win32::tls
