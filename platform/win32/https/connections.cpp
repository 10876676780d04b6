#include "platform/win32/https/connections.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

namespace corvane::win32::https {
namespace {

using net::FetchError;
using tls::TlsError;

// How long a wait for a place goes without looking at the cancel flag.
constexpr DWORD kWaitSliceMs = 50;

// One connection of the pool: the TLS client behind the exchange's view.
class TlsLink final : public net::Connection {
 public:
  tls::TlsConnection& Tls() { return tls_; }

  net::TransportStatus Write(std::string_view bytes) override {
    return StatusOf(tls_.Write(bytes.data(), bytes.size()));
  }
  net::TransportStatus Read(char* buffer, std::size_t size, std::size_t& got) override {
    return StatusOf(tls_.Read(buffer, size, got));
  }
  void Watch(const std::atomic<bool>* cancelled) override { tls_.Watch(cancelled); }

 private:
  tls::TlsConnection tls_;
};

bool IsCancelled(const std::atomic<bool>* cancelled) {
  return cancelled != nullptr && cancelled->load(std::memory_order_acquire);
}

}  // namespace

net::TransportStatus StatusOf(TlsError error) noexcept {
  FetchError kind = FetchError::kConnectionLost;
  switch (error) {
    case TlsError::None: kind = FetchError::kNone; break;
    case TlsError::NoNetwork:
    case TlsError::ConnectionRefused: kind = FetchError::kConnectionRefused; break;
    case TlsError::HostNotFound: kind = FetchError::kHostNotFound; break;
    case TlsError::Timeout: kind = FetchError::kTimedOut; break;
    case TlsError::UnknownRoot:
    case TlsError::WrongHostName:
    case TlsError::Expired:
    case TlsError::WeakSignature:
    case TlsError::BadCertificate: kind = FetchError::kCertificate; break;
    case TlsError::ProtocolTooOld:
    case TlsError::HandshakeFailed: kind = FetchError::kSecureChannel; break;
    case TlsError::ConnectionLost:
    case TlsError::NotConnected: kind = FetchError::kConnectionLost; break;
    case TlsError::Cancelled: kind = FetchError::kCancelled; break;
    case TlsError::ProxyRefused: kind = FetchError::kProxyRefused; break;
  }
  return {kind, static_cast<int>(error)};
}

TlsConnections::TlsConnections(net::ProxySettings proxy, Timeouts timeouts, std::size_t perOrigin)
    : proxy_(std::move(proxy)),
      timeouts_(timeouts),
      pool_(perOrigin) {}

TlsConnections::~TlsConnections() { CloseIdle(); }

std::unique_ptr<net::Connection> TlsConnections::Take(const net::Url& url,
                                                      const std::atomic<bool>* cancelled,
                                                      bool& reused, net::TransportStatus& status) {
  reused = false;
  status = {};
  if (url.scheme != "https") {
    status = {FetchError::kSecureChannel, 0};
    return nullptr;
  }
  const std::string origin = net::OriginKey(url);
  // A place for the origin: a kept connection, or the right to open one.
  KernelHandle wake;  // made at the first wait
  Waiter waiter{origin, nullptr};
  for (;;) {
    if (IsCancelled(cancelled)) {
      status = StatusOf(TlsError::Cancelled);
      return nullptr;
    }
    if (waiter.wake == nullptr) {
      wake.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
      waiter.wake = wake.get();
    }
    std::unique_ptr<net::Connection> idle;
    net::ConnectionPool::Grant grant;
    {
      Locked hold(section_);
      grant = pool_.Reserve(origin, idle);
      if (grant == net::ConnectionPool::Grant::kWait && waiter.wake != nullptr) {
        waiters_.push_back(&waiter);
      }
    }
    if (grant == net::ConnectionPool::Grant::kReuse) {
      idle->Watch(cancelled);
      reused = true;
      return idle;
    }
    if (grant == net::ConnectionPool::Grant::kOpen) {
      break;
    }
    if (waiter.wake != nullptr) {
      ::WaitForSingleObject(waiter.wake, kWaitSliceMs);
      Locked hold(section_);
      std::erase(waiters_, &waiter);  // still there when the wait ran out
    } else {
      ::Sleep(kWaitSliceMs);
    }
  }

  auto link = std::make_unique<TlsLink>();
  link->Watch(cancelled);
  std::optional<tls::ProxyServer> proxy;
  if (const auto address = net::ProxyFor(proxy_, url)) {
    proxy = tls::ProxyServer{address->host, address->port};
  }
  const TlsError opened = link->Tls().Connect(url.host, url.port, timeouts_.connectMs,
                                              proxy ? &*proxy : nullptr);
  if (opened != TlsError::None) {
    link.reset();
    Give(url, nullptr, false);
    status = StatusOf(opened);
    return nullptr;
  }
  link->Tls().SetTimeout(timeouts_.readMs);
  return link;
}

void TlsConnections::Give(const net::Url& url, std::unique_ptr<net::Connection> connection,
                          bool keepAlive) {
  if (connection != nullptr) {
    // A kept connection watches no exchange's flag: that flag may go.
    connection->Watch(nullptr);
  }
  {
    Locked hold(section_);
    const std::string origin = net::OriginKey(url);
    pool_.Return(origin, keepAlive ? std::move(connection) : nullptr);
    const auto first = std::find_if(waiters_.begin(), waiters_.end(),
                                    [&](const Waiter* waiter) { return waiter->origin == origin; });
    if (first != waiters_.end()) {
      ::SetEvent((*first)->wake);
      waiters_.erase(first);
    }
  }
  // One not kept closes here, outside the lock.
}

void TlsConnections::CloseIdle() {
  Locked hold(section_);
  pool_.CloseIdle();
}

std::size_t TlsConnections::Idle(const net::Url& url) const {
  Locked hold(section_);
  return pool_.Idle(net::OriginKey(url));
}

std::size_t TlsConnections::InUse(const net::Url& url) const {
  Locked hold(section_);
  return pool_.InUse(net::OriginKey(url));
}

}  // namespace corvane::win32::https
