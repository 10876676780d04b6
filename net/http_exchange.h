// One HTTP/1.1 exchange as the program's own https handler makes it: the
// request written, the response read with ResponseParser, redirects
// followed, cookies taken and given. Synchronous and free of threads and
// sockets: the caller runs it on a worker thread and gives it connections;
// tests give it scripted ones.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/http_response.h"
#include "net/url.h"

namespace corvane::net {

enum class FetchError {
  kNone,
  kCancelled,           // the one who asked gave up (a page stopped or left)
  kHostNotFound,        // the name has no address
  kConnectionRefused,   // nothing listens there
  kTimedOut,            // no answer in time
  kCertificate,         // the server's certificate is not accepted
  kSecureChannel,       // no secure connection could be agreed (TLS 1.2 refused...)
  kConnectionLost,      // the connection broke
  kBadResponse,         // the response is faulty (the parser's error)
  kTooManyRedirects,    // more than kMaxRedirects
  kProxyRefused,        // the proxy refused the tunnel (CONNECT not 2xx)
};

// What a transport says about a step: an error and its own code for it (the
// Windows handler keeps its TLS error there, to choose our page).
struct TransportStatus {
  FetchError error = FetchError::kNone;
  int detail = 0;
};

// An open connection to one origin; closed when it goes. Write and Read
// block until done, up to the transport's timeout, and give up with
// kCancelled soon after the flag the connection watches turns true.
class Connection {
 public:
  virtual ~Connection() = default;
  // Sends all of `bytes`.
  virtual TransportStatus Write(std::string_view bytes) = 0;
  // Reads what arrives, up to `size` bytes: `got` says how many; 0 with no
  // error means the server closed the connection.
  virtual TransportStatus Read(char* buffer, std::size_t size, std::size_t& got) = 0;
  // The flag to watch from now on (null: none), set by whoever takes it.
  virtual void Watch(const std::atomic<bool>* cancelled) = 0;
};

// Where an exchange gets its connections: a kept one to the same origin, or
// a new one (through the system's proxy where there is one).
class Connections {
 public:
  virtual ~Connections() = default;
  // A connection to url's origin watching `cancelled` (opening it gives up
  // too once the flag turns true), or null with the reason in `status`.
  // `reused` says it carried an earlier exchange (it may since have been
  // closed by the server: the exchange then tries once on a new one). May
  // wait while every place for that origin is taken.
  virtual std::unique_ptr<Connection> Take(const Url& url, const std::atomic<bool>* cancelled,
                                           bool& reused, TransportStatus& status) = 0;
  // The exchange is done with it: kept for the next exchange with that
  // origin when `keepAlive`, else closed.
  virtual void Give(const Url& url, std::unique_ptr<Connection> connection, bool keepAlive) = 0;
};

// The cookies of the user's browsing, kept where the system keeps them.
class CookieStore {
 public:
  virtual ~CookieStore() = default;
  // The Cookie header's value for a request to `url` ("a=1; b=2"), empty for none.
  virtual std::string CookieHeader(const Url& url) = 0;
  // One Set-Cookie header's value from a response of `url`.
  virtual void Store(const Url& url, std::string_view setCookie) = 0;
};

struct Request {
  std::string method = "GET";  // GET, HEAD or POST (any token is written as given)
  Url url;
  // Fields the control adds (Accept, Referer, Accept-Language, Content-Type,
  // ...): written as given, after Host; a Host, Content-Length, Connection,
  // Transfer-Encoding, Accept-Encoding, Cookie or User-Agent among them is
  // left out (the exchange writes those), and so is any field with a
  // control byte in its name or value.
  std::vector<Header> headers;
  std::string userAgent;  // none when empty
  std::string body;       // sent with Content-Length when the method is POST or the body is not empty
};

// The request's head as written on the wire: the request line, Host,
// User-Agent, the given fields, Cookie (when `cookie` is not empty),
// "Accept-Encoding: identity", Content-Length where there is a body, and
// "Connection: keep-alive".
std::string RequestHead(const Request& request, std::string_view cookie);

// What the one who asked hears, on the fetching thread.
class ExchangeEvents {
 public:
  virtual ~ExchangeEvents() = default;
  // A redirect is followed: the next request goes to `to` with `method`.
  virtual void Redirected(const Url& to, const std::string& method) = 0;
  // The final response's head is read (`response` has its status and
  // headers, not yet its body).
  virtual void Head(const Url& url, const ResponseParser& response) = 0;
  // Bytes of the final response's body, in order.
  virtual void Body(std::string_view bytes) = 0;
};

struct ExchangeResult {
  FetchError error = FetchError::kNone;
  int detail = 0;                   // the transport's own code, with its error
  ResponseError responseError = ResponseError::kNone;  // with kBadResponse
  Url url;                          // the address that answered last
  // A redirect to a plain http address is not followed by the handler of
  // https: the address it named, for the caller to hand to the system.
  std::optional<Url> leftFor;
};

// Makes the request, following up to kMaxRedirects redirects by
// RedirectFor's rules (a 3xx without a usable Location is the final
// response); every response's Set-Cookie goes to `cookies` (may be null),
// and each request carries the cookies for its address. A reused
// connection that fails before the first byte of the answer is given back
// as not kept and the request is tried once more, on the next connection
// Take gives (another kept one, when the server closed several at once, or
// a new one); a new connection's failure is final.
// Once `cancelled` (may be null) turns true, the exchange ends soon with
// kCancelled and its connection is not kept.
ExchangeResult Exchange(Request request, Connections& connections, CookieStore* cookies,
                        ExchangeEvents& events, const std::atomic<bool>* cancelled);

// The keep-alive bookkeeping behind a Connections: idle connections per
// origin and how many are in use, with a limit per origin. Not thread-safe:
// its owner locks around it.
class ConnectionPool {
 public:
  explicit ConnectionPool(std::size_t perOrigin = 6);
  ~ConnectionPool();  // where Origin is complete
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  enum class Grant {
    kReuse,  // `idle` holds a kept connection to use
    kOpen,   // open a new one
    kWait,   // every place for that origin is taken: wait for a Return
  };
  // Takes a place for one exchange with `origin` (an OriginKey).
  Grant Reserve(const std::string& origin, std::unique_ptr<Connection>& idle);
  // Gives the place back, keeping `connection` when it is not null.
  void Return(const std::string& origin, std::unique_ptr<Connection> connection);
  // Drops every idle connection (the program ends).
  void CloseIdle();
  std::size_t InUse(const std::string& origin) const;
  std::size_t Idle(const std::string& origin) const;

 private:
  struct Origin;
  std::size_t perOrigin_;
  std::vector<std::unique_ptr<Origin>> origins_;
};

// A short English name of an error, for logs and test output.
std::string_view FetchErrorName(FetchError error);

}  // namespace corvane::net
