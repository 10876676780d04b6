#include "net/http_exchange.h"

#include <algorithm>
#include <array>
#include <utility>

namespace corvane::net {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return SameText(name, n); });
}

bool HasControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

bool IsTokenChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
    return true;
  }
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// Whether the exchange writes a field of the caller: not one it writes
// itself, and nothing that could break the request's framing.
bool Writable(const Header& field) {
  return !field.name.empty() && std::all_of(field.name.begin(), field.name.end(), IsTokenChar) &&
         !HasControl(field.value) &&
         !IsOneOf(field.name, {"Host", "Content-Length", "Connection", "Transfer-Encoding",
                               "Accept-Encoding", "Cookie", "User-Agent"});
}

// The body of a redirect is read to keep its connection, up to this much;
// past it the connection is closed instead.
constexpr std::uint64_t kRedirectBodyLimit = 64 * 1024;

// Kept connections found dead in a row before a request gives up (the
// server may have closed every kept one at once).
constexpr int kMaxTries = 8;

bool IsSet(const std::atomic<bool>* flag) { return flag != nullptr && flag->load(); }

// What the exchange makes of the response once its head is read.
struct Plan {
  bool decided = false;
  std::optional<Url> redirectTo;  // a redirect to follow (or to leave, from https to http)
  std::optional<RedirectRule> rule;
};

}  // namespace

std::string RequestHead(const Request& request, std::string_view cookie) {
  std::string head = request.method + " " + request.url.target + " HTTP/1.1\r\n";
  head += "Host: " + HostHeader(request.url) + "\r\n";
  if (!request.userAgent.empty() && !HasControl(request.userAgent)) {
    head += "User-Agent: " + request.userAgent + "\r\n";
  }
  for (const Header& field : request.headers) {
    if (Writable(field)) {
      head += field.name + ": " + field.value + "\r\n";
    }
  }
  if (!cookie.empty() && !HasControl(cookie)) {
    head += "Cookie: ";
    head += cookie;
    head += "\r\n";
  }
  head += "Accept-Encoding: identity\r\n";
  if (request.method == "POST" || !request.body.empty()) {
    head += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
  }
  head += "Connection: keep-alive\r\n\r\n";
  return head;
}

ExchangeResult Exchange(Request request, Connections& connections, CookieStore* cookies,
                        ExchangeEvents& events, const std::atomic<bool>* cancelled) {
  ExchangeResult result;
  std::array<char, 16 * 1024> buffer{};
  int redirects = 0;
  while (true) {
    result.url = request.url;
    if (IsSet(cancelled)) {
      result.error = FetchError::kCancelled;
      return result;
    }
    const std::string head =
        RequestHead(request, cookies != nullptr ? cookies->CookieHeader(request.url) : std::string());
    Plan plan;

    // Decides, once the head is read, whether this response is the final
    // one, and hands its cookies to the store.
    auto decide = [&](const ResponseParser& parser) {
      if (plan.decided) {
        return;
      }
      plan.decided = true;
      if (cookies != nullptr) {
        for (const std::string_view value : parser.FindAllHeaders("Set-Cookie")) {
          cookies->Store(request.url, value);
        }
      }
      plan.rule = RedirectFor(parser.StatusCode(), request.method);
      const std::optional<std::string_view> location = parser.FindHeader("Location");
      if (plan.rule && location) {
        plan.redirectTo = Resolve(request.url, *location);
      }
      if (!plan.redirectTo) {
        events.Head(request.url, parser);
      }
    };

    std::optional<ResponseParser> parser;
    std::unique_ptr<Connection> connection;
    TransportStatus status;
    bool trailing = false;  // bytes after the response: the connection is not kept
    for (int tries = 1;; ++tries) {
      bool reused = false;
      status = {};
      connection = connections.Take(request.url, cancelled, reused, status);
      if (!connection) {
        result.error = IsSet(cancelled) ? FetchError::kCancelled : status.error;
        result.detail = status.detail;
        if (result.error == FetchError::kNone) {
          result.error = FetchError::kConnectionLost;
        }
        return result;
      }
      parser.emplace(request.method, [&](std::string_view bytes) {
        decide(*parser);
        if (!plan.redirectTo) {
          events.Body(bytes);
        }
      });

      trailing = false;
      bool answered = false;  // a byte of the answer arrived
      status = connection->Write(head);
      if (status.error == FetchError::kNone && !request.body.empty()) {
        status = connection->Write(request.body);
      }
      while (status.error == FetchError::kNone && parser->Status() == ParseStatus::kMore) {
        if (IsSet(cancelled)) {
          status.error = FetchError::kCancelled;
          break;
        }
        std::size_t got = 0;
        status = connection->Read(buffer.data(), buffer.size(), got);
        if (status.error != FetchError::kNone) {
          break;
        }
        if (got == 0) {
          if (!answered) {
            status.error = FetchError::kConnectionLost;
          } else {
            parser->Finish();
          }
          break;
        }
        answered = true;
        const FeedResult fed = parser->Feed(std::string_view(buffer.data(), got));
        if (parser->HeadComplete()) {
          decide(*parser);
        }
        trailing = trailing || fed.consumed < got;
        if (plan.redirectTo && parser->BodyBytes() > kRedirectBodyLimit) {
          break;  // enough of a redirect's body: the connection is dropped
        }
      }
      if (IsSet(cancelled)) {
        status.error = FetchError::kCancelled;
      }
      if (status.error == FetchError::kNone) {
        break;
      }
      // A kept connection the server closed meanwhile: once more, on the
      // next kept one or a new one; a new one's failure is the answer.
      const bool retry = reused && tries < kMaxTries && !answered &&
                         status.error == FetchError::kConnectionLost;
      connections.Give(request.url, std::move(connection), false);
      if (!retry) {
        result.error = status.error;
        result.detail = status.detail;
        return result;
      }
    }

    const bool complete = parser->Status() == ParseStatus::kDone;
    const bool keep = complete && parser->KeepAlive() && !trailing;
    if (keep) {
      connection->Watch(nullptr);
    }
    connections.Give(request.url, std::move(connection), keep);
    if (parser->Status() == ParseStatus::kError) {
      result.error = FetchError::kBadResponse;
      result.responseError = parser->Error();
      return result;
    }
    if (!plan.redirectTo) {
      return result;  // the final response
    }

    // A redirect.
    const Url& next = *plan.redirectTo;
    if (request.url.scheme == "https" && next.scheme == "http") {
      result.leftFor = next;
      return result;
    }
    if (redirects == kMaxRedirects) {
      result.error = FetchError::kTooManyRedirects;
      return result;
    }
    ++redirects;
    if (OriginKey(next) != OriginKey(request.url)) {
      std::erase_if(request.headers, [](const Header& field) {
        return IsOneOf(field.name, {"Authorization", "Proxy-Authorization", "Cookie", "Cookie2"});
      });
    }
    if (!plan.rule->keepBody) {
      request.body.clear();
      std::erase_if(request.headers, [](const Header& field) {
        return IsOneOf(field.name, {"Content-Type", "Content-Encoding", "Content-Language",
                                    "Content-Location"});
      });
    }
    request.method = plan.rule->method;
    request.url = next;
    events.Redirected(request.url, request.method);
  }
}

struct ConnectionPool::Origin {
  std::string key;
  std::size_t inUse = 0;
  std::vector<std::unique_ptr<Connection>> idle;  // the most recently kept last
};

ConnectionPool::~ConnectionPool() = default;

ConnectionPool::ConnectionPool(std::size_t perOrigin) : perOrigin_(std::max<std::size_t>(perOrigin, 1)) {}


ConnectionPool::Grant ConnectionPool::Reserve(const std::string& origin,
                                              std::unique_ptr<Connection>& idle) {
  auto found = std::find_if(origins_.begin(), origins_.end(),
                            [&](const std::unique_ptr<Origin>& o) { return o->key == origin; });
  if (found == origins_.end()) {
    origins_.push_back(std::make_unique<Origin>());
    origins_.back()->key = origin;
    found = origins_.end() - 1;
  }
  Origin& place = **found;
  if (!place.idle.empty()) {
    idle = std::move(place.idle.back());
    place.idle.pop_back();
    ++place.inUse;
    return Grant::kReuse;
  }
  if (place.inUse < perOrigin_) {
    ++place.inUse;
    return Grant::kOpen;
  }
  return Grant::kWait;
}

void ConnectionPool::Return(const std::string& origin, std::unique_ptr<Connection> connection) {
  const auto found = std::find_if(origins_.begin(), origins_.end(),
                                  [&](const std::unique_ptr<Origin>& o) { return o->key == origin; });
  if (found == origins_.end()) {
    return;  // no place was taken there: `connection` closes
  }
  Origin& place = **found;
  if (place.inUse > 0) {
    --place.inUse;
  }
  if (connection && place.idle.size() + place.inUse < perOrigin_) {
    place.idle.push_back(std::move(connection));
  }
  if (place.inUse == 0 && place.idle.empty()) {
    origins_.erase(found);
  }
}

void ConnectionPool::CloseIdle() {
  for (const std::unique_ptr<Origin>& place : origins_) {
    place->idle.clear();
  }
  std::erase_if(origins_, [](const std::unique_ptr<Origin>& o) { return o->inUse == 0; });
}

std::size_t ConnectionPool::InUse(const std::string& origin) const {
  for (const std::unique_ptr<Origin>& place : origins_) {
    if (place->key == origin) {
      return place->inUse;
    }
  }
  return 0;
}

std::size_t ConnectionPool::Idle(const std::string& origin) const {
  for (const std::unique_ptr<Origin>& place : origins_) {
    if (place->key == origin) {
      return place->idle.size();
    }
  }
  return 0;
}

std::string_view FetchErrorName(FetchError error) {
  switch (error) {
    case FetchError::kNone:
      return "no error";
    case FetchError::kCancelled:
      return "cancelled";
    case FetchError::kHostNotFound:
      return "host not found";
    case FetchError::kConnectionRefused:
      return "connection refused";
    case FetchError::kTimedOut:
      return "timed out";
    case FetchError::kCertificate:
      return "certificate not accepted";
    case FetchError::kSecureChannel:
      return "no secure channel";
    case FetchError::kConnectionLost:
      return "connection lost";
    case FetchError::kBadResponse:
      return "bad response";
    case FetchError::kTooManyRedirects:
      return "too many redirects";
    case FetchError::kProxyRefused:
      return "proxy refused the tunnel";
  }
  return "unknown error";
}

}  // namespace corvane::net
