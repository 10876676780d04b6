// net/: the HTTP/1.1 wire format, in standard C++ only, so that it is tested
// and fuzzed on every system. The Windows backend's https handler (its own
// TLS over Winsock) hands the bytes it reads to the parser below.
//
// ResponseParser reads one response from a stream of bytes fed in chunks of
// any size: the status line, the headers and the body framed as HTTP/1.1
// frames it (none, Content-Length, chunked, or up to the connection's close).
// Interim responses (100 Continue and the other 1xx but 101) are skipped. It
// keeps no more than its limits below, never throws and never reads outside
// what it is given; a fault in the bytes ends it with one ResponseError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::net {

// Longest line of the head, of a chunk's size or of a trailer (without its
// line end); most header fields; most bytes of a head (all its lines) or of a
// chunked body's trailers.
inline constexpr std::size_t kMaxLineBytes = 8 * 1024;
inline constexpr std::size_t kMaxHeaderCount = 100;
inline constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

enum class ResponseError {
  kNone,
  kBadStatusLine,        // not "HTTP/1.x NNN reason", or a status outside 100-599
  kUnexpectedUpgrade,    // 101 Switching Protocols: no request asks for it
  kBadHeader,            // no colon, a bad name, a control byte, a fold first
  kLineTooLong,          // a line over kMaxLineBytes
  kTooManyHeaders,       // more than kMaxHeaderCount fields
  kHeadersTooLarge,      // a head or trailers over kMaxHeaderBytes
  kBadContentLength,     // not a decimal number, or too large for 64 bits
  kConflictingContentLength,  // two different lengths
  kBadTransferEncoding,  // a coding other than chunked alone, or in HTTP/1.0
  kBadChunkSize,         // a chunk's size line that is not hex [; extensions]
  kChunkSizeTooLarge,    // a chunk's size over 64 bits
  kBadChunkEnd,          // a chunk's data not followed by its line end
  kTruncated,            // the connection closed before the response ended
};

// A short English name of the error, for logs and test output.
std::string_view ErrorName(ResponseError error);

enum class ParseStatus {
  kMore,   // the response goes on: feed more, or Finish at the close
  kDone,   // the response is complete
  kError,  // the response is faulty: Error() says how
};

struct FeedResult {
  std::size_t consumed = 0;  // bytes of the input taken (all of it unless done)
  ParseStatus status = ParseStatus::kMore;
};

// How the body's end is found.
enum class BodyFraming {
  kNone,        // no body (HEAD, 1xx, 204, 304)
  kLength,      // Content-Length bytes
  kChunked,     // chunked transfer coding
  kUntilClose,  // everything up to the connection's close
};

struct Header {
  std::string name;   // as the server wrote it
  std::string value;  // without the blanks around it; folded lines joined by one space
};

class ResponseParser {
 public:
  // Receives the body's bytes as they arrive, in order, without their
  // framing: views of the bytes fed, valid only during the call. An
  // exception it throws passes to Feed's caller, and the response must then
  // be dropped.
  using BodySink = std::function<void(std::string_view)>;

  // `requestMethod`: the method of the request this answers ("HEAD" gets no
  // body). `sink` may be empty: the body is then read and dropped.
  ResponseParser(std::string_view requestMethod, BodySink sink);

  // Takes bytes of the stream. It stops at the end of the response: bytes
  // after it (consumed < input.size()) are not part of it. After the end or
  // a fault it takes nothing and repeats its status.
  FeedResult Feed(std::string_view input);
  // The connection closed: ends a body read up to the close, else a response
  // still incomplete is truncated.
  ParseStatus Finish();

  ParseStatus Status() const;
  ResponseError Error() const { return error_; }
  // True once the final response's head is read (status, reason, headers,
  // framing and KeepAlive are known from then on).
  bool HeadComplete() const { return headComplete_; }

  int StatusCode() const { return status_; }
  const std::string& Reason() const { return reason_; }
  // 0 for HTTP/1.0, 1 for HTTP/1.1.
  int MinorVersion() const { return minorVersion_; }
  // Every field in the order received, repeated ones (Set-Cookie) too.
  const std::vector<Header>& Headers() const { return headers_; }
  // The first field of that name (any case), or nothing.
  std::optional<std::string_view> FindHeader(std::string_view name) const;
  // Every field of that name (any case), in order.
  std::vector<std::string_view> FindAllHeaders(std::string_view name) const;

  BodyFraming Framing() const { return framing_; }
  // The body's length when Content-Length frames it.
  std::uint64_t ContentLength() const { return contentLength_; }
  // Body bytes handed to the sink so far.
  std::uint64_t BodyBytes() const { return bodyBytes_; }
  // Whether the connection can carry another request once this response is
  // done: HTTP/1.1 unless "Connection: close", HTTP/1.0 only with
  // "Connection: keep-alive"; never after a body read up to the close, nor
  // after a response framed by both Transfer-Encoding and Content-Length.
  bool KeepAlive() const { return keepAlive_ && Status() == ParseStatus::kDone; }

 private:
  enum class State {
    kStatusLine,
    kHeaderLine,
    kBody,
    kChunkSize,
    kChunkData,
    kChunkDataCr,
    kChunkDataLf,
    kTrailer,
    kUntilClose,
    kDone,
    kFailed,
  };

  // Gathers one line into line_; returns how many bytes it took and sets
  // `complete` when the line end was among them.
  std::size_t TakeLine(std::string_view input, bool& complete);
  void OnLine();
  void OnStatusLine(std::string_view line);
  void OnHeaderLine(std::string_view line);
  void OnHeadEnd();
  void OnChunkSizeLine(std::string_view line);
  void OnTrailerLine(std::string_view line);
  void Deliver(std::string_view bytes);
  void Fail(ResponseError error);
  void StartResponse();

  bool headRequest_;
  BodySink sink_;
  State state_ = State::kStatusLine;
  ResponseError error_ = ResponseError::kNone;
  std::string line_;
  std::size_t headBytes_ = 0;  // bytes of the current head, or of the trailers
  bool headComplete_ = false;

  int status_ = 0;
  int minorVersion_ = 1;
  std::string reason_;
  std::vector<Header> headers_;

  BodyFraming framing_ = BodyFraming::kNone;
  bool keepAlive_ = false;
  std::uint64_t contentLength_ = 0;
  std::uint64_t remaining_ = 0;
  std::uint64_t bodyBytes_ = 0;
};

// The media type of a Content-Type value: "type/subtype" in lower case,
// without parameters or blanks ("Text/HTML; charset=UTF-8" -> "text/html");
// empty when the value names none.
std::string MimeType(std::string_view contentType);

// How many redirects one navigation follows before it fails.
inline constexpr int kMaxRedirects = 20;

struct RedirectRule {
  std::string method;  // the method of the next request
  bool keepBody;       // whether the next request sends the same body
};

// What the next request of a redirect is, for a 301, 302, 303, 307 or 308
// answering `method`: 303 turns everything but HEAD into a GET without a
// body; 301 and 302 turn a POST into a GET without a body, as browsers do;
// 307 and 308 keep the method and its body. Nothing for another status.
std::optional<RedirectRule> RedirectFor(int status, std::string_view method);

}  // namespace corvane::net
