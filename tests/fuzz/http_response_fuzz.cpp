// Fuzzes the HTTP/1.1 response parser with any bytes a server could send,
// fed whole, split in two at a point the input picks, and byte by byte (up to
// 1 KiB: longer inputs would slow every run for little more). Every
// way must end the same (status, error, head, body, keep-alive, bytes taken),
// the body is never longer than the input, and no limit is passed. Its
// Location and Set-Cookie fields are taken as the exchange takes them.
//
// Input layout: byte 0 holds flags (bit 0: the request was a HEAD; bit 1: the
// connection closes after the bytes), byte 1 where to split (a fraction of
// 256 of the rest), then the bytes from the server.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/cookie_jar.h"
#include "net/http_response.h"
#include "net/url.h"

namespace {

using corvane::net::BodyFraming;
using corvane::net::FeedResult;
using corvane::net::ParseStatus;
using corvane::net::ResponseError;
using corvane::net::ResponseParser;

void Require(bool rule) {
  if (!rule) {
    std::abort();
  }
}

struct Run {
  ParseStatus status = ParseStatus::kMore;
  ResponseError error = ResponseError::kNone;
  bool headComplete = false;
  int code = 0;
  std::string reason;
  std::vector<std::pair<std::string, std::string>> headers;
  BodyFraming framing = BodyFraming::kNone;
  std::string body;
  bool keepAlive = false;
  std::size_t consumed = 0;

  bool operator==(const Run&) const = default;
};

// What the exchange does with a server's Location and Set-Cookie fields: a
// resolved address reads back as itself, and no cookie a server sets can
// break the head of a later request.
void CheckLocationAndCookies(const ResponseParser& parser) {
  static const corvane::net::Url base = *corvane::net::ParseUrl("https://a.test/b/c?q");
  if (const auto location = parser.FindHeader("Location")) {
    if (const auto url = corvane::net::Resolve(base, *location)) {
      const std::string text = corvane::net::ToString(*url);
      const auto again = corvane::net::ParseUrl(text);
      Require(again && corvane::net::ToString(*again) == text && text.find('#') == std::string::npos);
    }
  }
  corvane::net::MemoryCookieJar jar([]() -> std::int64_t { return 1'000'000'000; });
  for (const std::string_view value : parser.FindAllHeaders("Set-Cookie")) {
    jar.Store(base, value);
  }
  const std::string cookie = jar.CookieHeader(base);
  Require(cookie.find_first_of("\r\n") == std::string::npos);
}

// Feeds `bytes` in the given pieces, stopping where the parser stops.
Run Parse(bool head, bool closed, std::string_view bytes, const std::vector<std::size_t>& cuts) {
  Run run;
  ResponseParser parser(head ? "HEAD" : "GET", [&](std::string_view piece) {
    Require(!piece.empty() && piece.data() >= bytes.data() &&
            piece.data() + piece.size() <= bytes.data() + bytes.size());
    run.body.append(piece);
  });
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    const std::string_view piece = bytes.substr(from, cut - from);
    const FeedResult result = parser.Feed(piece);
    Require(result.consumed <= piece.size() && result.status == parser.Status());
    run.consumed += result.consumed;
    if (result.status != ParseStatus::kMore) {
      break;
    }
    Require(result.consumed == piece.size());
    from = cut;
  }
  if (parser.Status() != ParseStatus::kMore) {
    Require(parser.Feed("HTTP/1.1 200 OK\r\n\r\n").consumed == 0);  // it took all it will
  }
  run.status = closed ? parser.Finish() : parser.Status();
  run.error = parser.Error();
  run.headComplete = parser.HeadComplete();
  run.code = parser.StatusCode();
  run.reason = parser.Reason();
  for (const auto& header : parser.Headers()) {
    Require(!header.name.empty() && header.name.size() <= corvane::net::kMaxLineBytes &&
            header.value.size() <= corvane::net::kMaxHeaderBytes);
    Require(parser.FindHeader(header.name).has_value());
    run.headers.emplace_back(header.name, header.value);
  }
  run.framing = parser.Framing();
  run.keepAlive = parser.KeepAlive();

  Require(run.headers.size() <= corvane::net::kMaxHeaderCount);
  Require(run.body.size() <= bytes.size() && parser.BodyBytes() == run.body.size());
  Require((run.status == ParseStatus::kError) == (run.error != ResponseError::kNone));
  Require(!run.keepAlive || (run.status == ParseStatus::kDone &&
                             run.framing != BodyFraming::kUntilClose));
  if (run.status == ParseStatus::kDone) {
    Require(run.headComplete && run.code >= 200 && run.code <= 599);
    Require(run.framing != BodyFraming::kLength || run.body.size() == parser.ContentLength());
    Require(run.framing != BodyFraming::kNone || run.body.empty());
  }
  if (run.status == ParseStatus::kMore) {
    Require(run.consumed == bytes.size());
  }
  if (run.headComplete) {
    const std::string type =
        corvane::net::MimeType(parser.FindHeader("Content-Type").value_or(std::string_view()));
    for (char c : type) {
      Require(c < 'A' || c > 'Z');
    }
    const auto redirect = corvane::net::RedirectFor(run.code, head ? "HEAD" : "GET");
    Require(!redirect || redirect->method == (head ? "HEAD" : "GET"));
    CheckLocationAndCookies(parser);
  }
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t length) {
  if (length < 2) {
    return 0;
  }
  const bool head = (input[0] & 1) != 0;
  const bool closed = (input[0] & 2) != 0;
  const std::string_view bytes(reinterpret_cast<const char*>(input + 2), length - 2);
  const std::size_t split = bytes.size() * input[1] / 256;

  const Run whole = Parse(head, closed, bytes, {bytes.size()});
  Require(Parse(head, closed, bytes, {split, bytes.size()}) == whole);
  if (bytes.size() <= 1024) {
    std::vector<std::size_t> everyByte;
    for (std::size_t at = 1; at <= bytes.size(); ++at) {
      everyByte.push_back(at);
    }
    Require(Parse(head, closed, bytes, everyByte) == whole);
  }
  return 0;
}
