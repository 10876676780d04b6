// The https handler's portable half: addresses, the request's head, one
// exchange over scripted connections (redirects, cookies, keep-alive, the
// retry on a dead kept connection, cancelling) and the connection pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/http_exchange.h"
#include "net/url.h"

namespace corvane::net {
namespace {

TEST(Url, ParseAndResolve) {
  struct Case {
    const char* base;
    const char* reference;  // null: parse `base` alone
    const char* expected;   // null: refused
  };
  const Case cases[] = {
      {"HTTP://Example.COM", nullptr, "http://example.com/"},
      {"https://a.test:443/p?q=1#frag", nullptr, "https://a.test/p?q=1"},
      {"https://a.test:8443?x", nullptr, "https://a.test:8443/?x"},
      {"http://[::1]:8080/x", nullptr, "http://[::1]:8080/x"},
      {"http://a.test:/", nullptr, "http://a.test/"},
      {"https://a.test/%41%20b", nullptr, "https://a.test/%41%20b"},
      {"ftp://a.test/", nullptr, nullptr},
      {"https://user:pw@a.test/", nullptr, nullptr},
      {"https:///x", nullptr, nullptr},
      {"https://a.test:0/", nullptr, nullptr},
      {"https://a.test:65536/", nullptr, nullptr},
      {"https://a.test/a b", nullptr, nullptr},
      {"https://a.test/\x01", nullptr, nullptr},
      {"https://[::1/", nullptr, nullptr},
      {"https:a.test/", nullptr, nullptr},
      {"https://a.test/b/c/d?q", "g", "https://a.test/b/c/g"},
      {"https://a.test/b/c/d?q", "./g/", "https://a.test/b/c/g/"},
      {"https://a.test/b/c/d?q", "../g", "https://a.test/b/g"},
      {"https://a.test/b/c/d?q", "../../../g", "https://a.test/g"},
      {"https://a.test/b/c/d?q", "/x/./y/../z?k#f", "https://a.test/x/z?k"},
      {"https://a.test/b/c/d?q", "?y", "https://a.test/b/c/d?y"},
      {"https://a.test/b/c/d?q", "#f", "https://a.test/b/c/d?q"},
      {"https://a.test/b/c/d?q", "//other.test:81/g", "https://other.test:81/g"},
      {"https://a.test/b/c/d?q", "HTTP://Other.test/./g/..", "http://other.test/"},
      {"https://a.test/b/c/d?q", "/caf\xc3\xa9 x", "https://a.test/caf%C3%A9%20x"},
      {"https://a.test/b/c/d?q", "http://[2001:db8::1]/", "http://[2001:db8::1]/"},
      {"https://a.test/b/c/d?q", "mailto:x@a.test", nullptr},
      {"https://a.test/b/c/d?q", "//u@other.test/", nullptr},
      {"https://a.test/b/c/d?q", "/x\ny", nullptr},
      {"https://a.test/b/c/d?q", "https://h\xc3\xa9.test/", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " + " + (c.reference ? c.reference : "(none)"));
    std::optional<Url> url = ParseUrl(c.base);
    if (c.reference != nullptr) {
      ASSERT_TRUE(url);
      url = Resolve(*url, c.reference);
    }
    EXPECT_EQ(url ? ToString(*url) : "(refused)", c.expected ? c.expected : "(refused)");
  }
  const Url v6 = *ParseUrl("https://[::1]:444/");
  EXPECT_EQ(HostHeader(v6), "[::1]:444");
  EXPECT_EQ(OriginKey(v6), "https://[::1]:444");
  EXPECT_EQ(OriginKey(*ParseUrl("http://a.test/x")), "http://a.test:80");
}

TEST(RequestHead, WritesFieldsInOrderAndLeavesOutItsOwn) {
  Request request;
  request.method = "POST";
  request.url = *ParseUrl("https://a.test:8443/form?x=1");
  request.userAgent = "Agent/1";
  request.headers = {{"Accept", "*/*"},          {"host", "evil.test"},     {"Cookie", "stolen=1"},
                     {"Connection", "close"},    {"X-Bad", "a\r\nX-In: 1"}, {"Bad Name", "v"},
                     {"Content-Type", "text/plain"}, {"accept-encoding", "gzip"}};
  request.body = "hello";
  EXPECT_EQ(RequestHead(request, "a=1; b=2"),
            "POST /form?x=1 HTTP/1.1\r\nHost: a.test:8443\r\nUser-Agent: Agent/1\r\n"
            "Accept: */*\r\nContent-Type: text/plain\r\nCookie: a=1; b=2\r\n"
            "Accept-Encoding: identity\r\nContent-Length: 5\r\nConnection: keep-alive\r\n\r\n");
  request.body.clear();
  request.headers.clear();
  request.userAgent.clear();
  EXPECT_NE(RequestHead(request, "").find("\r\nContent-Length: 0\r\n"), std::string::npos);
  request.method = "GET";
  EXPECT_EQ(RequestHead(request, ""),
            "GET /form?x=1 HTTP/1.1\r\nHost: a.test:8443\r\nAccept-Encoding: identity\r\n"
            "Connection: keep-alive\r\n\r\n");
}

// A server for scripted connections: each request written takes the next
// answer (nothing: the connection is found dead), delivered `chunk` bytes at
// a time and then the close.
struct Wire {
  std::deque<std::optional<std::string>> answers;
  std::size_t chunk = 7;
  struct Written {
    int connection;
    bool reused;
    std::string bytes;
  };
  std::vector<Written> requests;
  std::vector<std::pair<int, bool>> given;  // connection, kept
  int opened = 0;
};

class ScriptedConnection : public Connection {
 public:
  ScriptedConnection(Wire& wire, int id) : wire_(wire), id_(id) {}
  TransportStatus Write(std::string_view bytes) override {
    if (newRequest_) {
      wire_.requests.push_back({id_, reused_, std::string(bytes)});
      newRequest_ = false;
      needAnswer_ = true;
    } else {
      wire_.requests.back().bytes.append(bytes);
    }
    return {};
  }
  TransportStatus Read(char* buffer, std::size_t size, std::size_t& got) override {
    if (needAnswer_) {
      needAnswer_ = false;
      newRequest_ = true;
      dead_ = wire_.answers.empty() || !wire_.answers.front();
      answer_ = dead_ ? std::string() : *wire_.answers.front();
      at_ = 0;
      if (!wire_.answers.empty()) {
        wire_.answers.pop_front();
      }
    }
    if (dead_) {
      return {FetchError::kConnectionLost, 104};
    }
    got = std::min({size, wire_.chunk, answer_.size() - at_});
    std::memcpy(buffer, answer_.data() + at_, got);
    at_ += got;
    return {};
  }
  void Watch(const std::atomic<bool>*) override {}
  int id() const { return id_; }
  bool reused_ = false;

 private:
  Wire& wire_;
  int id_;
  bool newRequest_ = true, needAnswer_ = false, dead_ = false;
  std::string answer_;
  std::size_t at_ = 0;
};

class ScriptedConnections : public Connections {
 public:
  explicit ScriptedConnections(Wire& wire) : wire_(wire) {}
  std::unique_ptr<Connection> Take(const Url& url, const std::atomic<bool>*, bool& reused,
                                   TransportStatus&) override {
    std::unique_ptr<Connection> idle;
    reused = pool_.Reserve(OriginKey(url), idle) == ConnectionPool::Grant::kReuse;
    if (!reused) {
      idle = std::make_unique<ScriptedConnection>(wire_, ++wire_.opened);
    }
    static_cast<ScriptedConnection&>(*idle).reused_ = reused;
    return idle;
  }
  void Give(const Url& url, std::unique_ptr<Connection> connection, bool keepAlive) override {
    wire_.given.emplace_back(static_cast<ScriptedConnection&>(*connection).id(), keepAlive);
    pool_.Return(OriginKey(url), keepAlive ? std::move(connection) : nullptr);
  }

 private:
  Wire& wire_;
  ConnectionPool pool_;
};

// Keeps every Set-Cookie's "name=value" and sends all of them.
class RecordingCookies : public CookieStore {
 public:
  std::string CookieHeader(const Url&) override { return sent; }
  void Store(const Url& url, std::string_view setCookie) override {
    stored.push_back(url.host + " " + std::string(setCookie));
    sent += (sent.empty() ? "" : "; ") + std::string(setCookie.substr(0, setCookie.find(';')));
  }
  std::vector<std::string> stored;
  std::string sent;
};

struct Recorder : ExchangeEvents {
  void Redirected(const Url& to, const std::string& method) override {
    log += "redirect " + method + " " + ToString(to) + "\n";
  }
  void Head(const Url& url, const ResponseParser& response) override {
    log += "head " + std::to_string(response.StatusCode()) + " " + ToString(url) + "\n";
  }
  void Body(std::string_view bytes) override {
    body.append(bytes);
    if (cancel != nullptr && body.size() >= cancelAt) {
      cancel->store(true);
    }
  }
  std::string log, body;
  std::atomic<bool>* cancel = nullptr;
  std::size_t cancelAt = 0;
};

std::string Answer(int status, std::string_view extra, std::string_view body = "") {
  return "HTTP/1.1 " + std::to_string(status) + " X\r\n" + std::string(extra) +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

struct Session {
  Wire wire;
  ScriptedConnections connections{wire};
  RecordingCookies cookies;
  Recorder events;
  std::atomic<bool> cancelled{false};

  ExchangeResult Fetch(std::string_view method, std::string_view url, std::string body = "",
                       std::vector<Header> headers = {}) {
    Request request;
    request.method = std::string(method);
    request.url = *ParseUrl(url);
    request.body = std::move(body);
    request.headers = std::move(headers);
    return Exchange(request, connections, &cookies, events, &cancelled);
  }
};

TEST(Exchange, RedirectsByStatusAndMethod) {
  struct Case {
    int status;
    const char* method;
    const char* nextMethod;
    bool keepsBody;
  };
  const Case cases[] = {
      {301, "POST", "GET", false}, {302, "POST", "GET", false}, {303, "POST", "GET", false},
      {307, "POST", "POST", true}, {308, "POST", "POST", true}, {302, "GET", "GET", true},
      {303, "HEAD", "HEAD", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " " + c.method);
    Session run;
    const bool head = std::string(c.method) == "HEAD";
    run.wire.answers = {Answer(c.status, "Location: ../next?n\r\nSet-Cookie: r=1; Path=/\r\n", head ? "" : "moved"),
                        Answer(200, "", head ? "" : "ok")};
    const ExchangeResult result =
        run.Fetch(c.method, "https://a.test/dir/start", "data",
                  {{"Content-Type", "text/plain"}, {"Authorization", "Basic x"}});
    EXPECT_EQ(result.error, FetchError::kNone);
    EXPECT_EQ(ToString(result.url), "https://a.test/next?n");
    ASSERT_EQ(run.wire.requests.size(), 2u);
    const std::string& next = run.wire.requests[1].bytes;
    EXPECT_TRUE(next.starts_with(std::string(c.nextMethod) + " /next?n HTTP/1.1\r\n")) << next;
    EXPECT_EQ(next.ends_with("\r\n\r\ndata"), c.keepsBody) << next;
    EXPECT_EQ(next.find("Content-Type") != std::string::npos, c.keepsBody) << next;
    EXPECT_NE(next.find("Authorization: Basic x\r\n"), std::string::npos) << next;  // same origin
    EXPECT_NE(next.find("\r\nCookie: r=1\r\n"), std::string::npos) << next;  // from the redirect
    EXPECT_EQ(run.wire.requests[1].connection, 1);  // the redirect's body was read: kept
    EXPECT_EQ(run.events.log, std::string("redirect ") + c.nextMethod +
                                  " https://a.test/next?n\nhead 200 https://a.test/next?n\n");
    EXPECT_EQ(run.events.body, head ? "" : "ok");
  }
}

TEST(Exchange, RedirectLimitsAndEnds) {
  Session many;
  for (int i = 0; i <= kMaxRedirects + 1; ++i) {
    many.wire.answers.push_back(Answer(302, "Location: /again\r\n"));
  }
  EXPECT_EQ(many.Fetch("GET", "https://a.test/").error, FetchError::kTooManyRedirects);
  EXPECT_EQ(many.wire.requests.size(), static_cast<std::size_t>(kMaxRedirects + 1));

  Session other;  // to another origin: no credentials go along; to plain http: left to the caller
  other.wire.answers = {Answer(307, "Location: https://b.test/x\r\n"),
                        Answer(302, "Location: http://b.test/plain\r\n"), Answer(200, "")};
  const ExchangeResult left =
      other.Fetch("GET", "https://a.test/", "", {{"Authorization", "Basic x"}, {"Cookie2", "y"}});
  EXPECT_EQ(left.error, FetchError::kNone);
  ASSERT_TRUE(left.leftFor);
  EXPECT_EQ(ToString(*left.leftFor), "http://b.test/plain");
  ASSERT_EQ(other.wire.requests.size(), 2u);
  EXPECT_EQ(other.wire.requests[1].bytes,
            "GET /x HTTP/1.1\r\nHost: b.test\r\nAccept-Encoding: identity\r\n"
            "Connection: keep-alive\r\n\r\n");
  EXPECT_EQ(other.events.log, "redirect GET https://b.test/x\n");

  Session noLocation;  // a 3xx without a usable Location is the answer
  noLocation.wire.answers = {Answer(302, "Location: mailto:x@a.test\r\n", "here")};
  EXPECT_EQ(noLocation.Fetch("GET", "https://a.test/").error, FetchError::kNone);
  EXPECT_EQ(noLocation.events.log, "head 302 https://a.test/\n");
  EXPECT_EQ(noLocation.events.body, "here");
}

TEST(Exchange, KeepsConnectionOnlyAfterACompleteKeptResponse) {
  struct Case {
    const char* name;
    std::string answer;
    std::size_t cancelAt;  // cancel once this much body arrived (0: never)
    bool kept;
    FetchError error;
    ResponseError responseError;
  };
  const Case cases[] = {
      {"length", Answer(200, "", "0123456789"), 0, true, FetchError::kNone, ResponseError::kNone},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n01234\r\n0\r\n\r\n", 0,
       true, FetchError::kNone, ResponseError::kNone},
      {"close", Answer(200, "Connection: close\r\n", "0123456789"), 0, false, FetchError::kNone,
       ResponseError::kNone},
      {"until close", "HTTP/1.1 200 OK\r\n\r\n0123456789", 0, false, FetchError::kNone,
       ResponseError::kNone},
      {"cancelled", Answer(200, "", std::string(100, 'x')), 3, false, FetchError::kCancelled,
       ResponseError::kNone},
      {"cancelled at the end", Answer(200, "", "0123456789"), 10, false, FetchError::kCancelled,
       ResponseError::kNone},
      {"truncated", Answer(200, "", "0123456789").substr(0, 40), 0, false, FetchError::kBadResponse,
       ResponseError::kTruncated},
      {"faulty", "HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\n", 0, false, FetchError::kBadResponse,
       ResponseError::kBadContentLength},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session run;
    run.wire.answers = {c.answer};
    if (c.cancelAt != 0) {
      run.events.cancel = &run.cancelled;
      run.events.cancelAt = c.cancelAt;
    }
    const ExchangeResult result = run.Fetch("GET", "http://a.test/");
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.responseError, c.responseError);
    EXPECT_EQ(run.wire.given, (std::vector<std::pair<int, bool>>{{1, c.kept}}));
    if (c.cancelAt != 0) {
      EXPECT_LT(run.events.body.size(), c.cancelAt + run.wire.chunk);  // stopped soon
    }
  }
}

TEST(Exchange, RetriesOnceOnlyWhenAKeptConnectionWasFoundDead) {
  struct Case {
    const char* name;
    bool warm;  // an earlier exchange left a kept connection
    std::vector<std::optional<std::string>> answers;
    FetchError error;
    std::vector<std::pair<int, bool>> given;  // after the warm-up
  };
  const std::string ok = Answer(200, "", "ok");
  const Case cases[] = {
      {"kept, dead, new one answers", true, {std::nullopt, ok}, FetchError::kNone, {{1, false}, {2, true}}},
      {"kept, closed, new one answers", true, {"", ok}, FetchError::kNone, {{1, false}, {2, true}}},
      {"kept and new both dead", true, {std::nullopt, std::nullopt}, FetchError::kConnectionLost,
       {{1, false}, {2, false}}},
      {"kept, dies mid-answer", true, {ok.substr(0, 10), ok}, FetchError::kBadResponse, {{1, false}}},
      {"new and dead", false, {std::nullopt, ok}, FetchError::kConnectionLost, {{1, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session run;
    if (c.warm) {
      run.wire.answers = {ok};
      ASSERT_EQ(run.Fetch("GET", "https://a.test/").error, FetchError::kNone);
      run.wire.given.clear();
    }
    run.wire.answers.assign(c.answers.begin(), c.answers.end());
    const std::size_t before = run.wire.requests.size();
    EXPECT_EQ(run.Fetch("POST", "https://a.test/send", "body").error, c.error);
    EXPECT_EQ(run.wire.given, c.given);
    ASSERT_EQ(run.wire.requests.size() - before, c.given.size());
    for (std::size_t i = before; i < run.wire.requests.size(); ++i) {
      EXPECT_TRUE(run.wire.requests[i].bytes.ends_with("\r\n\r\nbody"));
      EXPECT_EQ(run.wire.requests[i].reused, c.warm && i == before);
    }
  }
}

TEST(ConnectionPool, LimitsPerOriginAndKeepsIdleOnes) {
  Wire wire;
  ConnectionPool pool(2);
  std::unique_ptr<Connection> idle;
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kOpen);
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kOpen);
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kWait);
  EXPECT_EQ(pool.Reserve("b", idle), ConnectionPool::Grant::kOpen);
  EXPECT_EQ(pool.InUse("a"), 2u);
  pool.Return("a", std::make_unique<ScriptedConnection>(wire, 7));
  pool.Return("a", nullptr);
  EXPECT_EQ(pool.InUse("a"), 0u);
  EXPECT_EQ(pool.Idle("a"), 1u);
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kReuse);
  ASSERT_TRUE(idle);
  EXPECT_EQ(static_cast<ScriptedConnection&>(*idle).id(), 7);
  pool.Return("a", std::move(idle));
  pool.Return("b", std::make_unique<ScriptedConnection>(wire, 8));
  pool.CloseIdle();
  EXPECT_EQ(pool.Idle("a") + pool.Idle("b"), 0u);
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kOpen);
  EXPECT_EQ(FetchErrorName(FetchError::kTooManyRedirects), "too many redirects");
}

}  // namespace
}  // namespace corvane::net
