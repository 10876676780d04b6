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
  // An address alone, then references against https://a.test/b/c/d?q; "" where refused.
  const std::pair<const char*, const char*> parsed[] = {
      {"HTTP://Example.COM", "http://example.com/"}, {"https://a.test:443/p?q=1#f", "https://a.test/p?q=1"},
      {"https://a.test:8443?x", "https://a.test:8443/?x"}, {"http://[::1]:8080/x", "http://[::1]:8080/x"},
      {"http://a.test:/", "http://a.test/"}, {"https://a.test/%41%20b", "https://a.test/%41%20b"},
      {"ftp://a.test/", ""}, {"https://user:pw@a.test/", ""}, {"https:///x", ""}, {"https://a.test:0/", ""},
      {"https://a.test:65536/", ""}, {"https://a.test/a b", ""}, {"https://a.test/\x01", ""},
      {"https://[::1/", ""}, {"https:a.test/", ""}};
  const std::pair<const char*, const char*> resolved[] = {
      {"g", "https://a.test/b/c/g"}, {"./g/.", "https://a.test/b/c/g/"}, {"../g", "https://a.test/b/g"},
      {"../../../g", "https://a.test/g"}, {"/x/./y/../z?k#f", "https://a.test/x/z?k"},
      {"?y", "https://a.test/b/c/d?y"}, {"#f", "https://a.test/b/c/d?q"},
      {"//other.test:81/g", "https://other.test:81/g"}, {"HTTP://Other.test/./g/..", "http://other.test/"},
      {"/caf\xc3\xa9 x", "https://a.test/caf%C3%A9%20x"}, {"http://[2001:db8::1]/", "http://[2001:db8::1]/"},
      {"mailto:x@a.test", ""}, {"//u@other.test/", ""}, {"/x\ny", ""}, {"https://h\xc3\xa9.test/", ""}};
  const auto text = [](const std::optional<Url>& url) { return url ? ToString(*url) : ""; };
  for (const auto& [address, expected] : parsed) {
    EXPECT_EQ(text(ParseUrl(address)), expected) << address;
  }
  const Url base = *ParseUrl("https://a.test/b/c/d?q");
  for (const auto& [reference, expected] : resolved) {
    EXPECT_EQ(text(Resolve(base, reference)), expected) << reference;
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

// One browsing session against a scripted server: each request written
// takes the next answer (nothing: the connection is found dead), delivered
// `chunk` bytes at a time and then the close. It is the exchange's
// connections, its cookie store (every Set-Cookie's "name=value" is sent
// back on every request) and its listener (which can cancel once `cancelAt`
// bytes of body arrived).
struct Session : Connections, CookieStore, ExchangeEvents {
  struct Written {
    int connection;
    bool reused;
    std::string bytes;
  };
  std::deque<std::optional<std::string>> answers;
  std::size_t chunk = 7, cancelAt = 0;
  std::vector<Written> requests;
  std::vector<std::pair<int, bool>> given;  // connection, kept
  std::string cookies, log, body;
  std::atomic<bool> cancelled{false};
  ConnectionPool pool;
  int opened = 0;

  std::unique_ptr<Connection> Take(const Url& url, const std::atomic<bool>*, bool& reused,
                                   TransportStatus&) override;
  void Give(const Url& url, std::unique_ptr<Connection> connection, bool keepAlive) override;
  // `count` kept connections to url's origin, as earlier exchanges leave them.
  void Keep(const Url& url, int count);
  std::string CookieHeader(const Url&) override { return cookies; }
  void Store(const Url&, std::string_view setCookie) override {
    cookies += (cookies.empty() ? "" : "; ") + std::string(setCookie.substr(0, setCookie.find(';')));
  }
  void Redirected(const Url& to, const std::string& method) override {
    log += "redirect " + method + " " + ToString(to) + "\n";
  }
  void Head(const Url& url, const ResponseParser& response) override {
    log += "head " + std::to_string(response.StatusCode()) + " " + ToString(url) + "\n";
  }
  void Body(std::string_view bytes) override {
    body.append(bytes);
    if (cancelAt != 0 && body.size() >= cancelAt) {
      cancelled = true;
    }
  }
  ExchangeResult Fetch(std::string_view method, std::string_view url, std::string requestBody = "",
                       std::vector<Header> headers = {}) {
    return Exchange({std::string(method), *ParseUrl(url), std::move(headers), "", std::move(requestBody)},
                    *this, this, *this, &cancelled);
  }
};

class ScriptedConnection : public Connection {
 public:
  ScriptedConnection(Session& session, int number) : id(number), session_(session) {}
  TransportStatus Write(std::string_view bytes) override {
    if (newRequest_) {
      session_.requests.push_back({id, reused, std::string(bytes)});
    } else {
      session_.requests.back().bytes.append(bytes);
    }
    newRequest_ = false;
    return {};
  }
  TransportStatus Read(char* buffer, std::size_t size, std::size_t& got) override {
    if (!newRequest_) {  // the first read after a request: its answer
      newRequest_ = true;
      dead_ = session_.answers.empty() || !session_.answers.front();
      answer_ = dead_ ? std::string() : *session_.answers.front();
      if (!session_.answers.empty()) {
        session_.answers.pop_front();
      }
    }
    if (dead_) {
      return {FetchError::kConnectionLost, 104};
    }
    got = std::min({size, session_.chunk, answer_.size()});
    std::memcpy(buffer, answer_.data(), got);
    answer_.erase(0, got);
    return {};
  }
  void Watch(const std::atomic<bool>*) override {}
  const int id;
  bool reused = false;

 private:
  Session& session_;
  bool newRequest_ = true, dead_ = false;
  std::string answer_;
};

std::unique_ptr<Connection> Session::Take(const Url& url, const std::atomic<bool>*, bool& reused,
                                          TransportStatus&) {
  std::unique_ptr<Connection> idle;
  reused = pool.Reserve(OriginKey(url), idle) == ConnectionPool::Grant::kReuse;
  if (!reused) {
    idle = std::make_unique<ScriptedConnection>(*this, ++opened);
  }
  static_cast<ScriptedConnection&>(*idle).reused = reused;
  return idle;
}

void Session::Give(const Url& url, std::unique_ptr<Connection> connection, bool keepAlive) {
  given.emplace_back(static_cast<ScriptedConnection&>(*connection).id, keepAlive);
  pool.Return(OriginKey(url), keepAlive ? std::move(connection) : nullptr);
}

void Session::Keep(const Url& url, int count) {
  std::unique_ptr<Connection> none;
  for (int i = 0; i < count; ++i) {
    pool.Reserve(OriginKey(url), none);
  }
  for (int i = 0; i < count; ++i) {
    pool.Return(OriginKey(url), std::make_unique<ScriptedConnection>(*this, ++opened));
  }
}

std::string Answer(int status, std::string_view extra, std::string_view body = "") {
  return "HTTP/1.1 " + std::to_string(status) + " X\r\n" + std::string(extra) +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

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
    run.answers = {Answer(c.status, "Location: ../next?n\r\nSet-Cookie: r=1; Path=/\r\n", head ? "" : "moved"),
                        Answer(200, "", head ? "" : "ok")};
    const ExchangeResult result =
        run.Fetch(c.method, "https://a.test/dir/start", "data",
                  {{"Content-Type", "text/plain"}, {"Authorization", "Basic x"}});
    EXPECT_EQ(result.error, FetchError::kNone);
    EXPECT_EQ(ToString(result.url), "https://a.test/next?n");
    ASSERT_EQ(run.requests.size(), 2u);
    const std::string& next = run.requests[1].bytes;
    EXPECT_TRUE(next.starts_with(std::string(c.nextMethod) + " /next?n HTTP/1.1\r\n")) << next;
    EXPECT_EQ(next.ends_with("\r\n\r\ndata"), c.keepsBody) << next;
    EXPECT_EQ(next.find("Content-Type") != std::string::npos, c.keepsBody) << next;
    EXPECT_NE(next.find("Authorization: Basic x\r\n"), std::string::npos) << next;  // same origin
    EXPECT_NE(next.find("\r\nCookie: r=1\r\n"), std::string::npos) << next;  // from the redirect
    EXPECT_EQ(run.requests[1].connection, 1);  // the redirect's body was read: kept
    EXPECT_EQ(run.log, std::string("redirect ") + c.nextMethod +
                                  " https://a.test/next?n\nhead 200 https://a.test/next?n\n");
    EXPECT_EQ(run.body, head ? "" : "ok");
  }
}

TEST(Exchange, RedirectLimitsAndEnds) {
  Session many;
  for (int i = 0; i <= kMaxRedirects + 1; ++i) {
    many.answers.push_back(Answer(302, "Location: /again\r\n"));
  }
  EXPECT_EQ(many.Fetch("GET", "https://a.test/").error, FetchError::kTooManyRedirects);
  EXPECT_EQ(many.requests.size(), static_cast<std::size_t>(kMaxRedirects + 1));

  Session other;  // to another origin: no credentials go along; to plain http: left to the caller
  other.answers = {Answer(307, "Location: https://b.test/x\r\n"),
                        Answer(302, "Location: http://b.test/plain\r\n"), Answer(200, "")};
  const ExchangeResult left =
      other.Fetch("GET", "https://a.test/", "", {{"Authorization", "Basic x"}, {"Cookie2", "y"}});
  EXPECT_EQ(left.error, FetchError::kNone);
  ASSERT_TRUE(left.leftFor);
  EXPECT_EQ(ToString(*left.leftFor), "http://b.test/plain");
  ASSERT_EQ(other.requests.size(), 2u);
  EXPECT_EQ(other.requests[1].bytes,
            "GET /x HTTP/1.1\r\nHost: b.test\r\nAccept-Encoding: identity\r\n"
            "Connection: keep-alive\r\n\r\n");
  EXPECT_EQ(other.log, "redirect GET https://b.test/x\n");

  Session noLocation;  // a 3xx without a usable Location is the answer
  noLocation.answers = {Answer(302, "Location: mailto:x@a.test\r\n", "here")};
  EXPECT_EQ(noLocation.Fetch("GET", "https://a.test/").error, FetchError::kNone);
  EXPECT_EQ(noLocation.log, "head 302 https://a.test/\n");
  EXPECT_EQ(noLocation.body, "here");
}

TEST(Exchange, KeepsConnectionOnlyAfterACompleteKeptResponse) {
  struct Case {
    std::string answer;
    std::size_t cancelAt;  // cancel once this much body arrived (0: never)
    bool kept;
    FetchError error;
    ResponseError responseError = ResponseError::kNone;
  };
  const std::string ten = Answer(200, "", "0123456789");
  const Case cases[] = {
      {ten, 0, true, FetchError::kNone},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n01234\r\n0\r\n\r\n", 0, true, FetchError::kNone},
      {Answer(200, "Connection: close\r\n", "0123456789"), 0, false, FetchError::kNone},
      {"HTTP/1.1 200 OK\r\n\r\n0123456789", 0, false, FetchError::kNone},  // up to the close
      {ten + "H", 0, false, FetchError::kNone},  // a stray byte after it, in its last piece
      {Answer(200, "", std::string(100, 'x')), 3, false, FetchError::kCancelled},
      {ten, 10, false, FetchError::kCancelled},  // in the last piece of body
      {ten.substr(0, 40), 0, false, FetchError::kBadResponse, ResponseError::kTruncated},
      {"HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\n", 0, false, FetchError::kBadResponse,
       ResponseError::kBadContentLength},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Session run;
    run.answers = {c.answer};
    run.cancelAt = c.cancelAt;
    const ExchangeResult result = run.Fetch("GET", "http://a.test/");
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.responseError, c.responseError);
    EXPECT_EQ(run.given, (std::vector<std::pair<int, bool>>{{1, c.kept}}));
    EXPECT_LT(run.body.size(), (c.cancelAt ? c.cancelAt : 100) + run.chunk);  // stopped soon
  }
}

TEST(Exchange, RetriesOnceOnlyWhenAKeptConnectionWasFoundDead) {
  struct Case {
    int warm;  // kept connections earlier exchanges left
    std::vector<std::optional<std::string>> answers;
    FetchError error;
    std::vector<std::pair<int, bool>> given;
  };
  const std::string ok = Answer(200, "", "ok");
  const Case cases[] = {
      {1, {std::nullopt, ok}, FetchError::kNone, {{1, false}, {2, true}}},
      {1, {"", ok}, FetchError::kNone, {{1, false}, {2, true}}},  // closed
      {1, {std::nullopt, std::nullopt, ok}, FetchError::kConnectionLost, {{1, false}, {2, false}}},
      {2, {std::nullopt, "", ok}, FetchError::kNone, {{2, false}, {1, false}, {3, true}}},
      {1, {ok.substr(0, 10), ok}, FetchError::kBadResponse, {{1, false}}},  // died mid-answer
      {0, {std::nullopt, ok}, FetchError::kConnectionLost, {{1, false}}},   // a new one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Session run;
    run.Keep(*ParseUrl("https://a.test/"), c.warm);
    run.answers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(run.Fetch("POST", "https://a.test/send", "body").error, c.error);
    EXPECT_EQ(run.given, c.given);
    ASSERT_EQ(run.requests.size(), c.given.size());
    for (std::size_t i = 0; i < run.requests.size(); ++i) {
      EXPECT_TRUE(run.requests[i].bytes.ends_with("\r\n\r\nbody"));
      EXPECT_EQ(run.requests[i].reused, static_cast<int>(i) < c.warm);
    }
  }
}

TEST(ConnectionPool, LimitsPerOriginAndKeepsIdleOnes) {
  Session session;
  ConnectionPool pool(2);
  std::unique_ptr<Connection> idle;
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kOpen);
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kOpen);
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kWait);
  EXPECT_EQ(pool.Reserve("b", idle), ConnectionPool::Grant::kOpen);
  pool.Return("a", std::make_unique<ScriptedConnection>(session, 7));
  pool.Return("a", nullptr);
  EXPECT_EQ(pool.InUse("a") * 10 + pool.Idle("a"), 1u);
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kReuse);
  ASSERT_TRUE(idle);
  EXPECT_EQ(static_cast<ScriptedConnection&>(*idle).id, 7);
  EXPECT_EQ(pool.InUse("a") * 10 + pool.Idle("a"), 10u);
  pool.Return("a", std::move(idle));
  pool.Return("b", std::make_unique<ScriptedConnection>(session, 8));
  pool.CloseIdle();
  EXPECT_EQ(pool.Idle("a") + pool.Idle("b"), 0u);
  EXPECT_EQ(pool.Reserve("a", idle), ConnectionPool::Grant::kOpen);
}

}  // namespace
}  // namespace corvane::net
