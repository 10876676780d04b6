// The run-only cookie jar the https handler keeps HttpOnly cookies in where
// the system's store cannot: which cookies go where, and for how long.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/cookie_jar.h"

namespace corvane::net {
namespace {

std::int64_t g_now = 0;
std::int64_t FakeNow() { return g_now; }

constexpr std::int64_t k1994 = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT

TEST(MemoryCookieJar, SendsEachCookieWhereItBelongs) {
  struct Step {
    const char* from;       // the response's address
    const char* setCookie;  // null: ask for `to`
    const char* to;
    const char* expected;  // the Cookie header for `to`
  };
  const Step steps[] = {
      {"https://www.a.test/dir/page", "host=1", "https://www.a.test/dir/x", "host=1"},
      {nullptr, nullptr, "https://www.a.test/other", ""},  // default path /dir
      {nullptr, nullptr, "https://sub.www.a.test/dir/", ""},  // host only
      {"https://www.a.test/", "dom=2; Domain=.A.test; Path=/", "https://sub.a.test/dir/x", "dom=2"},
      {nullptr, nullptr, "https://www.a.test/dir/x", "host=1; dom=2"},  // longest path first
      {nullptr, nullptr, "https://www.a.test/dirt", "dom=2"},
      {nullptr, nullptr, "https://xa.test/", ""},
      {"https://www.a.test/", "evil=1; Domain=b.test", "https://b.test/", ""},
      {"https://www.a.test/", "top=1; Domain=test", "https://www.a.test/", "dom=2"},
      {"https://sub.www.a.test/", "up=1; Domain=www.a.test", "https://www.a.test/", "dom=2; up=1"},
      {"https://10.0.0.1/", "ip=1; Domain=0.0.1", "https://10.0.0.1/", ""},
      {"https://10.0.0.1/", "ip=2; Domain=10.0.0.1", "https://10.0.0.1/", "ip=2"},
      {nullptr, nullptr, "https://x.10.0.0.1/", ""},
      {"https://a.0.0.1/", "d=1; Domain=0.0.1", "https://10.0.0.1/", "ip=2"},
      {"http://c.test/", "s=1; Secure", "https://c.test/", ""},  // only over https
      {"https://c.test/", "s=2; secure", "http://c.test/", ""},
      {nullptr, nullptr, "https://c.test/p", "s=2"},
      {"https://c.test/", "s=3; Secure; HttpOnly", "https://c.test/", "s=3"},  // replaced
      {"https://c.test/", "s=x; Path=/p", "https://c.test/p/q", "s=x; s=3"},
      {"https://c.test/", "=nameless", "https://c.test/", "s=3"},
      {"https://c.test/", "novalue", "https://c.test/", "s=3"},
      {"https://c.test/", "bad=a\x01", "https://c.test/", "s=3"},
      {"https://c.test/", "s=gone; Max-Age=0", "https://c.test/", ""},  // deleted
      {"https://c.test/", "t=1; Expires=Sun, 06 Nov 1994 08:49:37 GMT", "https://c.test/", ""},
  };
  g_now = k1994;
  MemoryCookieJar jar(FakeNow);
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.setCookie ? step.setCookie : "") + " -> " + step.to);
    if (step.setCookie != nullptr) {
      jar.Store(*ParseUrl(step.from), step.setCookie);
    }
    EXPECT_EQ(jar.CookieHeader(*ParseUrl(step.to)), step.expected);
  }
  std::string big = "big=" + std::string(5000, 'x');
  const std::size_t before = jar.Count();
  jar.Store(*ParseUrl("https://d.test/"), big);
  for (int i = 0; i < 60; ++i) {
    jar.Store(*ParseUrl("https://d.test/"), "n" + std::to_string(i) + "=1");
  }
  EXPECT_EQ(jar.Count() - before, 50u);
  EXPECT_EQ(jar.CookieHeader(*ParseUrl("https://d.test/")).substr(0, 10), "n10=1; n11");
}

TEST(MemoryCookieJar, ExpiresByDateOrMaxAge) {
  struct Case {
    const char* attributes;
    std::int64_t lives;  // seconds after k1994 it is still sent; 0: never kept
  };
  const Case cases[] = {
      {"Expires=Sun, 06 Nov 1994 08:50:37 GMT", 60},
      {"expires=Sunday, 06-Nov-94 08:50:37 GMT", 60},
      {"Expires=Sun Nov  6 08:50:37 1994", 60},
      {"Expires=Mon, 07 Nov 1994 08:49:37 GMT", 86400},
      {"Expires=Sun, 06 Nov 1994 08:49:36 GMT", 0},
      {"Max-Age=100; Expires=Sun, 06 Nov 1994 08:49:36 GMT", 100},  // Max-Age wins
      {"Expires=Sun, 06 Nov 1994 08:50:37 GMT; Max-Age=-1", 0},
      {"Max-Age=30", 30},
      {"Max-Age=0000099999999999999999999999", INT64_MAX - k1994},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    g_now = k1994;
    MemoryCookieJar jar(FakeNow);
    const Url url = *ParseUrl("https://a.test/");
    jar.Store(url, std::string("a=1; ") + c.attributes);
    EXPECT_EQ(jar.Count(), c.lives == 0 ? 0u : 1u);
    g_now = k1994 + c.lives - 1;
    EXPECT_EQ(jar.CookieHeader(url), c.lives == 0 ? "" : "a=1");
    g_now = k1994 + c.lives;
    EXPECT_EQ(jar.CookieHeader(url), "");
  }
  g_now = k1994;
  MemoryCookieJar session(FakeNow);  // no expiry: for the run
  session.Store(*ParseUrl("https://a.test/"), "a=1; Expires=not a date");
  g_now = INT64_MAX - 1;
  EXPECT_EQ(session.CookieHeader(*ParseUrl("https://a.test/")), "a=1");
}

TEST(MemoryCookieJar, TellsHttpOnly) {
  EXPECT_TRUE(IsHttpOnly("a=1; Path=/; httponly"));
  EXPECT_TRUE(IsHttpOnly("a=1;HttpOnly ;Secure"));
  EXPECT_FALSE(IsHttpOnly("HttpOnly=1; Path=/"));
  EXPECT_FALSE(IsHttpOnly("a=HttpOnly; Path=/HttpOnly"));
}

}  // namespace
}  // namespace corvane::net
