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

TEST(HttpResponse, FramingFaultsAndKeepAliveWholeOrByteByByte) {
  struct Case {
    const char* method;
    std::string response;
    bool closed;  // the connection closes after it
    ParseStatus status;
    ResponseError error;
    int code;
    const char* body;
    bool keepAlive;
    std::size_t leftover = 0;  // bytes not taken: they follow the response
  };
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const std::string te = ok + "Transfer-Encoding: chunked\r\n\r\n";
  const std::string chunked = te + "5;name=\"x\"\r\nhello\r\nA \r\n0123456789\r\n0\r\nX-T: 1\r\n\r\n";
  const auto kNoError = ResponseError::kNone;
  const std::vector<Case> cases = {
      // Content-Length; what follows the body is left to the caller.
      {"GET", ok + "Content-Length: 5\r\n\r\nhelloHTTP", false, kDone, kNoError, 200, "hello", true, 4},
      {"GET", ok + "Content-Length: 0\r\n\r\n", false, kDone, kNoError, 200, "", true},
      {"GET", ok + "Content-Length: 5, 5\r\ncontent-length: 5\r\n\r\nhello", false, kDone, kNoError, 200,
       "hello", true},
      {"GET", ok + "Content-Length: 10\r\n\r\nhello", true, kError, ResponseError::kTruncated, 200,
       "hello", false},
      // No body whatever the headers say.
      {"HEAD", ok + "Content-Length: 5\r\n\r\n", false, kDone, kNoError, 200, "", true},
      {"GET", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nhello", false, kDone, kNoError, 204, "",
       true, 5},
      {"GET", "HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n", false, kDone, kNoError,
       304, "", true},
      // Interim responses are skipped; 101 was asked by no request.
      {"POST", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Hints\r\nLink: </a>\r\n\r\n" + ok +
       "Content-Length: 2\r\n\r\nhi", false, kDone, kNoError, 200, "hi", true},
      {"GET", "HTTP/1.1 101 Switching Protocols\r\n\r\n", false, kError,
       ResponseError::kUnexpectedUpgrade, 0, "", false},
      // Up to the close: never kept alive, done only at the close.
      {"GET", ok + "\r\nall of it", true, kDone, kNoError, 200, "all of it", false},
      {"GET", ok + "\r\nall of it", false, kMore, kNoError, 200, "all of it", false},
      // Chunked: extensions and blanks after the size ignored, trailers dropped.
      {"GET", chunked, false, kDone, kNoError, 200, "hello0123456789", true},
      {"GET", te + "5\nhello\n0\n\n", false, kDone, kNoError, 200, "hello", true},
      {"GET", ok + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n",
       false, kDone, kNoError, 200, "x", false},
      {"GET", te + "ffffffffffffffff\r\nab", false, kMore, kNoError, 200, "ab", false},
      {"GET", te + "10000000000000000\r\n", false, kError, ResponseError::kChunkSizeTooLarge, 200,
       "", false},
      {"GET", te + "zz\r\n", false, kError, ResponseError::kBadChunkSize, 200, "", false},
      {"GET", te + ";x\r\n", false, kError, ResponseError::kBadChunkSize, 200, "", false},
      {"GET", te + "5 x\r\n", false, kError, ResponseError::kBadChunkSize, 200, "", false},
      {"GET", te + "5\r\nhelloX\r\n", false, kError, ResponseError::kBadChunkEnd, 200, "hello",
       false},
      {"GET", te + "5\r\nhello\r\n", true, kError, ResponseError::kTruncated, 200, "hello", false},
      {"GET", ok + "Transfer-Encoding: gzip, chunked\r\n\r\n", false, kError,
       ResponseError::kBadTransferEncoding, 200, "", false},
      {"GET", ok + "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n", false,
       kError, ResponseError::kBadTransferEncoding, 200, "", false},
      {"GET", "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", false, kError,
       ResponseError::kBadTransferEncoding, 200, "", false},
      // Content-Length faults.
      {"GET", ok + "Content-Length: -1\r\n\r\n", false, kError, ResponseError::kBadContentLength,
       200, "", false},
      {"GET", ok + "Content-Length: +5\r\n\r\n", false, kError, ResponseError::kBadContentLength,
       200, "", false},
      {"GET", ok + "Content-Length: 5,\r\n\r\n", false, kError, ResponseError::kBadContentLength,
       200, "", false},
      {"GET", ok + "Content-Length: 18446744073709551616\r\n\r\n", false, kError,
       ResponseError::kBadContentLength, 200, "", false},
      {"GET", ok + "Content-Length: 18446744073709551615\r\n\r\n", false, kMore, kNoError, 200, "", false},
      {"GET", ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n", false, kError,
       ResponseError::kConflictingContentLength, 200, "", false},
      // Keep-alive: HTTP/1.1 unless closed, HTTP/1.0 only when asked.
      {"GET", ok + "Connection: Keep-Alive, Close\r\nContent-Length: 0\r\n\r\n", false, kDone, kNoError,
       200, "", false},
      {"GET", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", false, kDone, kNoError, 200, "", false},
      {"GET", "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 0\r\n\r\n", false,
       kDone, kNoError, 200, "", true},
      // Status lines and header lines.
      {"GET", "HTTP/1.1 200\r\nContent-Length: 0\r\n\r\n", false, kDone, kNoError, 200, "", true},
      {"GET", "HTTP/2 200 OK\r\n\r\n", false, kError, ResponseError::kBadStatusLine, 0, "", false},
      {"GET", "HTTP/1.1 20 OK\r\n\r\n", false, kError, ResponseError::kBadStatusLine, 0, "", false},
      {"GET", "HTTP/1.1 600 X\r\n\r\n", false, kError, ResponseError::kBadStatusLine, 0, "", false},
      {"GET", "HTTP/1.1 200OK\r\n\r\n", false, kError, ResponseError::kBadStatusLine, 0, "", false},
      {"GET", std::string("HTTP/1.1 200 O") + '\0' + "K\r\n\r\n", false, kError,
       ResponseError::kBadStatusLine, 0, "", false},
      {"GET", ok + "Bad Name: x\r\n\r\n", false, kError, ResponseError::kBadHeader, 200, "", false},
      {"GET", ok + "NoColon\r\n\r\n", false, kError, ResponseError::kBadHeader, 200, "", false},
      {"GET", ok + "X: a\rb\r\n\r\n", false, kError, ResponseError::kBadHeader, 200, "", false},
      {"GET", ok + " folded: first\r\n\r\n", false, kError, ResponseError::kBadHeader, 200, "",
       false},
      {"GET", ok + "Content-Length: 5", true, kError, ResponseError::kTruncated, 200, "", false},
      {"GET", "", true, kError, ResponseError::kTruncated, 0, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.response);
    const Outcome expected{c.status, c.error, c.code, c.body, c.keepAlive,
                           c.response.size() - c.leftover};
    const Outcome whole = Parse(c.method, c.response, 0, c.closed);
    EXPECT_EQ(whole.status, expected.status);
    EXPECT_EQ(ErrorName(whole.error), ErrorName(expected.error));
    EXPECT_EQ(whole.code, expected.code);
    EXPECT_EQ(whole.body, expected.body);
    EXPECT_EQ(whole.keepAlive, expected.keepAlive);
    if (c.status != kError) {
      EXPECT_EQ(whole.consumed, expected.consumed);
    }
    EXPECT_TRUE(Parse(c.method, c.response, 1, c.closed) == whole) << "fed byte by byte";
    EXPECT_TRUE(Parse(c.method, c.response, 7, c.closed) == whole) << "fed 7 bytes at a time";
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
  const std::string te = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string line(kMaxLineBytes - 3, 'v');  // "X: " + line fills a line exactly
  auto headers = [](std::size_t count, const std::string& value) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
      text += "X-" + std::to_string(i) + ": " + value + "\r\n";
    }
    return text;
  };
  struct Case {
    std::string response;
    ResponseError error;
  };
  const std::vector<Case> cases = {
      {none + "X: " + line + "\r\n\r\n", ResponseError::kNone},
      {none + "X: " + line + "v\r\n\r\n", ResponseError::kLineTooLong},
      {"HTTP/1.1 200 " + line + "\r\n\r\n", ResponseError::kLineTooLong},
      {none + headers(kMaxHeaderCount, "v") + "\r\n", ResponseError::kNone},
      {none + headers(kMaxHeaderCount + 1, "v") + "\r\n", ResponseError::kTooManyHeaders},
      {none + headers(kMaxHeaderBytes / 4096, std::string(4096, 'v')), ResponseError::kHeadersTooLarge},
      {te + std::string(kMaxLineBytes + 1, '0') + "1\r\n", ResponseError::kLineTooLong},
      {te + "0\r\n" + headers(kMaxHeaderBytes / 4096, std::string(4096, 'v')),
       ResponseError::kHeadersTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.response.substr(0, 40));
    ResponseParser parser("GET", nullptr);
    const FeedResult result = parser.Feed(c.response);
    EXPECT_EQ(ErrorName(parser.Error()), ErrorName(c.error));
    EXPECT_EQ(result.status, c.error == ResponseError::kNone ? kDone : kError);
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
           {"text/html", "text/html"},
           {" Text/HTML ; charset=UTF-8", "text/html"},
           {"application/xhtml+xml;q=1", "application/xhtml+xml"},
           {"IMAGE/SVG+XML", "image/svg+xml"},
           {"", ""},
           {"text", ""},
           {"text/", ""},
           {"/html", ""},
           {"text/html x", ""},
           {"; charset=utf-8", ""}}) {
    EXPECT_EQ(MimeType(value), type) << value;
  }
}

}  // namespace
}  // namespace corvane::net
