// The HTTP/1.1 response parser the https handler of Windows reads with: how
// a body is framed, faults and limits, keep-alive, and its two helpers.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/http_response.h"

namespace corvane::net {
namespace {

struct Outcome {
  ParseStatus status = ParseStatus::kMore;
  ResponseError error = ResponseError::kNone;
  int code = 0;
  std::string body;
  bool keepAlive = false;
  std::size_t consumed = 0;

  bool operator==(const Outcome&) const = default;
};

// Feeds `response` in pieces of `step` bytes (0: whole), then the close when
// `closed`.
Outcome Parse(std::string_view method, std::string_view response, std::size_t step, bool closed) {
  Outcome out;
  ResponseParser parser(method, [&](std::string_view bytes) {
    // Body bytes are views of what was fed, not copies.
    EXPECT_TRUE(bytes.data() >= response.data() &&
                bytes.data() + bytes.size() <= response.data() + response.size());
    out.body.append(bytes);
  });
  std::string_view rest = response;
  while (!rest.empty() && parser.Status() == ParseStatus::kMore) {
    const std::string_view piece = rest.substr(0, step == 0 ? rest.size() : step);
    const FeedResult result = parser.Feed(piece);
    EXPECT_LE(result.consumed, piece.size());
    if (result.status == ParseStatus::kMore) {
      EXPECT_EQ(result.consumed, piece.size());  // nothing is left behind mid-response
    }
    out.consumed += result.consumed;
    if (result.consumed == 0) {
      break;
    }
    rest.remove_prefix(result.consumed);
  }
  out.status = closed ? parser.Finish() : parser.Status();
  out.error = parser.Error();
  out.code = parser.StatusCode();
  out.keepAlive = parser.KeepAlive();
  EXPECT_EQ(parser.BodyBytes(), out.body.size());
  return out;
}

constexpr auto kDone = ParseStatus::kDone;
constexpr auto kMore = ParseStatus::kMore;
constexpr auto kError = ParseStatus::kError;

const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";

// The same end fed whole, byte by byte or 7 bytes at a time; returns it.
Outcome ParseEveryWay(std::string_view method, const std::string& response, bool closed) {
  const Outcome whole = Parse(method, response, 0, closed);
  EXPECT_TRUE(Parse(method, response, 1, closed) == whole) << "fed byte by byte";
  EXPECT_TRUE(Parse(method, response, 7, closed) == whole) << "fed 7 bytes at a time";
  return whole;
}

TEST(HttpResponse, BodiesAreFramedByMethodStatusAndHeadersWithKeepAlive) {
  struct Case {
    const char* method;
    std::string response;
    bool closed;  // the connection closes after it
    ParseStatus status;
    int code;
    const char* body;
    bool keepAlive;
    std::size_t leftover = 0;  // bytes not taken: they follow the response
  };
  const std::vector<Case> cases = {
      // Content-Length; what follows the body is left to the caller.
      {"GET", kOk + "Content-Length: 5\r\n\r\nhelloHTTP", false, kDone, 200, "hello", true, 4},
      {"GET", kOk + "Content-Length: 0\r\n\r\n", false, kDone, 200, "", true},
      {"GET", kOk + "Content-Length: 5, 5\r\ncontent-length: 5\r\n\r\nhello", false, kDone, 200,
       "hello", true},
      {"GET", kOk + "Content-Length: 18446744073709551615\r\n\r\n", false, kMore, 200, "", false},
      // No body whatever the headers say.
      {"HEAD", kOk + "Content-Length: 5\r\n\r\n", false, kDone, 200, "", true},
      {"GET", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nhello", false, kDone, 204, "",
       true, 5},
      {"GET", "HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n", false, kDone, 304,
       "", true},
      // Interim responses are skipped.
      {"POST", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Hints\r\nLink: </a>\r\n\r\n" + kOk +
       "Content-Length: 2\r\n\r\nhi", false, kDone, 200, "hi", true},
      // Up to the close: never kept alive, done only at the close.
      {"GET", kOk + "\r\nall of it", true, kDone, 200, "all of it", false},
      {"GET", kOk + "\r\nall of it", false, kMore, 200, "all of it", false},
      // Chunked: extensions and blanks after the size ignored, trailers
      // dropped, lone LFs taken; it wins over a length, which ends the
      // connection.
      {"GET", kChunked + "5;name=\"x\"\r\nhello\r\nA \r\n0123456789\r\n0\r\nX-T: 1\r\n\r\n", false,
       kDone, 200, "hello0123456789", true},
      {"GET", kChunked + "5\nhello\n0\n\n", false, kDone, 200, "hello", true},
      {"GET", kOk + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n",
       false, kDone, 200, "x", false},
      {"GET", kChunked + "ffffffffffffffff\r\nab", false, kMore, 200, "ab", false},
      // Keep-alive: HTTP/1.1 unless closed, HTTP/1.0 only when asked.
      {"GET", kOk + "Connection: Keep-Alive, Close\r\nContent-Length: 0\r\n\r\n", false, kDone, 200,
       "", false},
      {"GET", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", false, kDone, 200, "", false},
      {"GET", "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 0\r\n\r\n", false,
       kDone, 200, "", true},
      {"GET", "HTTP/1.1 200\r\nContent-Length: 0\r\n\r\n", false, kDone, 200, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.response);
    const Outcome got = ParseEveryWay(c.method, c.response, c.closed);
    EXPECT_TRUE(got == (Outcome{c.status, ResponseError::kNone, c.code, c.body, c.keepAlive,
                                c.response.size() - c.leftover}))
        << ErrorName(got.error) << ", code " << got.code << ", body \"" << got.body
        << "\", keep-alive " << got.keepAlive << ", took " << got.consumed;
  }
}

TEST(HttpResponse, FaultsEndTheResponseWithTheirError) {
  using enum ResponseError;
  const std::vector<std::pair<std::string, ResponseError>> cases = {
      {"HTTP/1.1 101 Switching Protocols\r\n\r\n", kUnexpectedUpgrade},
      {kChunked + "10000000000000000\r\n", kChunkSizeTooLarge},
      {kChunked + "zz\r\n", kBadChunkSize},
      {kChunked + ";x\r\n", kBadChunkSize},
      {kChunked + "5 x\r\n", kBadChunkSize},
      {kChunked + "5\r\nhelloX\r\n", kBadChunkEnd},
      {kOk + "Transfer-Encoding: gzip, chunked\r\n\r\n", kBadTransferEncoding},
      {kOk + "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n", kBadTransferEncoding},
      {"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", kBadTransferEncoding},
      {kOk + "Content-Length: -1\r\n\r\n", kBadContentLength},
      {kOk + "Content-Length: +5\r\n\r\n", kBadContentLength},
      {kOk + "Content-Length: 5,\r\n\r\n", kBadContentLength},
      {kOk + "Content-Length: 18446744073709551616\r\n\r\n", kBadContentLength},
      {kOk + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n", kConflictingContentLength},
      {"HTTP/2 200 OK\r\n\r\n", kBadStatusLine},
      {"HTTP/1.1 20 OK\r\n\r\n", kBadStatusLine},
      {"HTTP/1.1 600 X\r\n\r\n", kBadStatusLine},
      {"HTTP/1.1 200OK\r\n\r\n", kBadStatusLine},
      {std::string("HTTP/1.1 200 O") + '\0' + "K\r\n\r\n", kBadStatusLine},
      {kOk + "Bad Name: x\r\n\r\n", kBadHeader},
      {kOk + "NoColon\r\n\r\n", kBadHeader},
      {kOk + "X: a\rb\r\n\r\n", kBadHeader},
      {kOk + " folded: first\r\n\r\n", kBadHeader},
      // The connection closes (at the end of these) before the response ends.
      {kOk + "Content-Length: 10\r\n\r\nhello", kTruncated},
      {kChunked + "5\r\nhello\r\n", kTruncated},
      {kOk + "Content-Length: 5", kTruncated},
      {"", kTruncated},
  };
  for (const auto& [response, error] : cases) {
    SCOPED_TRACE(response);
    const Outcome got = ParseEveryWay("GET", response, error == kTruncated);
    EXPECT_EQ(got.status, kError);
    EXPECT_EQ(ErrorName(got.error), ErrorName(error));
    EXPECT_FALSE(got.keepAlive);
  }
}

TEST(HttpResponse, HeadersKeepTheirOrderAndAreFoundInAnyCase) {
  ResponseParser parser("GET", nullptr);
  const std::string_view response =
      "HTTP/1.1 404 Not  Found \r\nSet-Cookie: a=1\r\nContent-Type:text/html \r\n"
      "X-Long: one\r\n\t two \r\n \r\nset-cookie: b=2\r\nContent-Length: 0\r\n\r\n";
  ASSERT_EQ(parser.Feed(response).status, kDone);
  EXPECT_EQ(parser.StatusCode(), 404);
  EXPECT_EQ(parser.Reason(), "Not  Found ");
  EXPECT_EQ(parser.Headers().size(), 5U);
  EXPECT_EQ(parser.FindAllHeaders("SET-COOKIE"), (std::vector<std::string_view>{"a=1", "b=2"}));
  EXPECT_EQ(parser.FindHeader("content-type"), "text/html");
  EXPECT_EQ(parser.FindHeader("x-long"), "one two");  // an obsolete fold becomes a space
  EXPECT_EQ(parser.FindHeader("Location"), std::nullopt);
  EXPECT_EQ(parser.Framing(), BodyFraming::kLength);
  EXPECT_EQ(parser.Feed("HTTP/1.1 200 OK\r\n").consumed, 0U);  // what follows is not taken
}

TEST(HttpResponse, LimitsEndTheResponseInsteadOfGrowing) {
  const std::string none = "HTTP/1.1 204 No Content\r\n";
  const std::string line(kMaxLineBytes - 3, 'v');  // "X: " + line fills a line exactly
  auto headers = [](std::size_t count, const std::string& value) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
      text += "X-" + std::to_string(i) + ": " + value + "\r\n";
    }
    return text;
  };
  const std::string big(4096, 'v');
  using enum ResponseError;
  for (const auto& [response, error] : std::vector<std::pair<std::string, ResponseError>>{
           {none + "X: " + line + "\r\n\r\n", kNone},
           {none + "X: " + line + "v\r\n\r\n", kLineTooLong},
           {"HTTP/1.1 200 " + line + "\r\n\r\n", kLineTooLong},
           {none + headers(kMaxHeaderCount, "v") + "\r\n", kNone},
           {none + headers(kMaxHeaderCount + 1, "v") + "\r\n", kTooManyHeaders},
           {none + headers(kMaxHeaderBytes / big.size(), big), kHeadersTooLarge},
           {kChunked + std::string(kMaxLineBytes + 1, '0') + "1\r\n", kLineTooLong},
           {kChunked + "0\r\n" + headers(kMaxHeaderBytes / big.size(), big), kHeadersTooLarge}}) {
    SCOPED_TRACE(response.substr(0, 40));
    ResponseParser parser("GET", nullptr);
    EXPECT_EQ(parser.Feed(response).status, error == kNone ? kDone : kError);
    EXPECT_EQ(ErrorName(parser.Error()), ErrorName(error));
  }
  // A line without end is refused once past the limit, not gathered on.
  ResponseParser endless("GET", nullptr);
  std::size_t fed = 0;
  while (endless.Feed(std::string(1000, 'x')).status == kMore && fed < 1000000) {
    fed += 1000;
  }
  EXPECT_EQ(endless.Error(), ResponseError::kLineTooLong);
  EXPECT_LE(fed, kMaxLineBytes);
}

TEST(HttpResponse, RedirectsChangeTheMethodAsBrowsersDo) {
  struct Case {
    int status;
    const char* method;
    const char* next;  // null: no redirect
    bool keepBody;
  };
  for (const Case& c : {Case{301, "POST", "GET", false}, Case{302, "POST", "GET", false},
                        Case{301, "GET", "GET", true}, Case{302, "PUT", "PUT", true},
                        Case{303, "POST", "GET", false}, Case{303, "PUT", "GET", false},
                        Case{303, "HEAD", "HEAD", false}, Case{307, "POST", "POST", true},
                        Case{308, "PUT", "PUT", true}, Case{300, "GET", nullptr, false},
                        Case{304, "GET", nullptr, false}, Case{200, "GET", nullptr, false}}) {
    SCOPED_TRACE(std::to_string(c.status) + " " + c.method);
    const std::optional<RedirectRule> rule = RedirectFor(c.status, c.method);
    ASSERT_EQ(rule.has_value(), c.next != nullptr);
    if (rule) {
      EXPECT_EQ(rule->method, c.next);
      EXPECT_EQ(rule->keepBody, c.keepBody);
    }
  }
}

TEST(HttpResponse, MimeTypeIsTheLowerCaseTypeWithoutParameters) {
  for (const auto& [value, type] : std::vector<std::pair<const char*, const char*>>{
           {"text/html", "text/html"}, {" Text/HTML ; charset=UTF-8", "text/html"},
           {"application/xhtml+xml;q=1", "application/xhtml+xml"}, {"IMAGE/SVG+XML", "image/svg+xml"},
           {"", ""}, {"text", ""}, {"text/", ""}, {"/html", ""}, {"text/html x", ""},
           {"; charset=utf-8", ""}}) {
    EXPECT_EQ(MimeType(value), type) << value;
  }
}

}  // namespace
}  // namespace corvane::net
