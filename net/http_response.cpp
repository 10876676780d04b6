#include "net/http_response.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace corvane::net {
namespace {

constexpr char kLower = 'a' - 'A';

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + kLower) : c; }

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// A character of a token: a header's name, a media type, a coding.
bool IsTokenChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
    return true;
  }
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsToken(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

// Text a field value or a reason may hold: visible bytes, blanks and bytes
// above ASCII; no control byte (NUL, a lone CR...).
bool IsFieldText(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c == '\t' || (byte >= 0x20 && byte != 0x7F);
  });
}

// Calls `each` with every element of a comma-separated list, trimmed; empty
// elements too.
template <typename Each>
void ForEachElement(std::string_view list, Each each) {
  while (true) {
    const std::size_t comma = list.find(',');
    each(Trim(list.substr(0, comma)));
    if (comma == std::string_view::npos) {
      return;
    }
    list.remove_prefix(comma + 1);
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  const char lower = Lower(c);
  if (lower >= 'a' && lower <= 'f') {
    return lower - 'a' + 10;
  }
  return -1;
}

// A decimal number of at most 64 bits, digits only.
std::optional<std::uint64_t> ParseDecimal(std::string_view text) {
  if (text.empty()) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  for (char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (kMax - digit) / 10) {
      return std::nullopt;
    }
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

std::string_view ErrorName(ResponseError error) {
  switch (error) {
    case ResponseError::kNone: return "no error";
    case ResponseError::kBadStatusLine: return "bad status line";
    case ResponseError::kUnexpectedUpgrade: return "unexpected 101 Switching Protocols";
    case ResponseError::kBadHeader: return "bad header line";
    case ResponseError::kLineTooLong: return "line too long";
    case ResponseError::kTooManyHeaders: return "too many header fields";
    case ResponseError::kHeadersTooLarge: return "header section too large";
    case ResponseError::kBadContentLength: return "bad Content-Length";
    case ResponseError::kConflictingContentLength: return "conflicting Content-Length";
    case ResponseError::kBadTransferEncoding: return "unsupported Transfer-Encoding";
    case ResponseError::kBadChunkSize: return "bad chunk size";
    case ResponseError::kChunkSizeTooLarge: return "chunk size too large";
    case ResponseError::kBadChunkEnd: return "chunk data without its line end";
    case ResponseError::kTruncated: return "connection closed before the response ended";
  }
  return "unknown error";
}

ResponseParser::ResponseParser(std::string_view requestMethod, BodySink sink)
    : headRequest_(requestMethod == "HEAD"), sink_(std::move(sink)) {}

ParseStatus ResponseParser::Status() const {
  switch (state_) {
    case State::kDone: return ParseStatus::kDone;
    case State::kFailed: return ParseStatus::kError;
    default: return ParseStatus::kMore;
  }
}

std::optional<std::string_view> ResponseParser::FindHeader(std::string_view name) const {
  for (const Header& header : headers_) {
    if (SameText(header.name, name)) {
      return header.value;
    }
  }
  return std::nullopt;
}

std::vector<std::string_view> ResponseParser::FindAllHeaders(std::string_view name) const {
  std::vector<std::string_view> values;
  for (const Header& header : headers_) {
    if (SameText(header.name, name)) {
      values.emplace_back(header.value);
    }
  }
  return values;
}

FeedResult ResponseParser::Feed(std::string_view input) {
  std::size_t taken = 0;
  while (taken < input.size() && state_ != State::kDone && state_ != State::kFailed) {
    const std::string_view rest = input.substr(taken);
    switch (state_) {
      case State::kStatusLine:
      case State::kHeaderLine:
      case State::kChunkSize:
      case State::kTrailer: {
        bool complete = false;
        taken += TakeLine(rest, complete);
        if (complete) {
          OnLine();
        }
        break;
      }
      case State::kBody:
      case State::kChunkData: {
        const std::size_t size =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, rest.size()));
        Deliver(rest.substr(0, size));
        remaining_ -= size;
        taken += size;
        if (remaining_ == 0) {
          state_ = state_ == State::kBody ? State::kDone : State::kChunkDataCr;
        }
        break;
      }
      case State::kChunkDataCr:
      case State::kChunkDataLf:
        // The data's line end: CRLF, or a lone LF.
        if (rest.front() == '\r' && state_ == State::kChunkDataCr) {
          state_ = State::kChunkDataLf;
        } else if (rest.front() == '\n') {
          state_ = State::kChunkSize;
        } else {
          Fail(ResponseError::kBadChunkEnd);
          break;
        }
        ++taken;
        break;
      case State::kUntilClose:
        Deliver(rest);
        taken = input.size();
        break;
      case State::kDone:
      case State::kFailed:
        break;
    }
  }
  return FeedResult{taken, Status()};
}

ParseStatus ResponseParser::Finish() {
  if (state_ == State::kUntilClose) {
    state_ = State::kDone;
  } else if (state_ != State::kDone && state_ != State::kFailed) {
    Fail(ResponseError::kTruncated);
  }
  return Status();
}

std::size_t ResponseParser::TakeLine(std::string_view input, bool& complete) {
  const std::size_t end = input.find('\n');
  complete = end != std::string_view::npos;
  const std::size_t size = complete ? end : input.size();
  // Room for the line and its CR, never more.
  if (line_.size() + size > kMaxLineBytes + 1) {
    complete = false;
    Fail(ResponseError::kLineTooLong);
    return size;
  }
  if (state_ != State::kChunkSize) {
    headBytes_ += size + (complete ? 1 : 0);
    if (headBytes_ > kMaxHeaderBytes) {
      complete = false;
      Fail(ResponseError::kHeadersTooLarge);
      return size;
    }
  }
  line_.append(input.substr(0, size));
  return complete ? size + 1 : size;
}

void ResponseParser::OnLine() {
  std::string_view line = line_;
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  if (line.size() > kMaxLineBytes) {
    Fail(ResponseError::kLineTooLong);
    return;
  }
  switch (state_) {
    case State::kStatusLine: OnStatusLine(line); break;
    case State::kHeaderLine: OnHeaderLine(line); break;
    case State::kChunkSize: OnChunkSizeLine(line); break;
    case State::kTrailer: OnTrailerLine(line); break;
    default: break;
  }
  line_.clear();
}

void ResponseParser::OnStatusLine(std::string_view line) {
  // "HTTP/1.x NNN", then " reason" (which may be empty) or nothing.
  constexpr std::string_view kPrefix = "HTTP/1.";
  if (line.size() < 12 || line.substr(0, kPrefix.size()) != kPrefix || line[8] != ' ' ||
      (line.size() > 12 && line[12] != ' ')) {
    Fail(ResponseError::kBadStatusLine);
    return;
  }
  const std::string_view digits = line.substr(9, 3);
  if (line[7] < '0' || line[7] > '9' ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    Fail(ResponseError::kBadStatusLine);
    return;
  }
  const int status = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
  const std::string_view reason = line.size() > 12 ? line.substr(13) : std::string_view();
  if (status < 100 || status > 599 || !IsFieldText(reason)) {
    Fail(ResponseError::kBadStatusLine);
    return;
  }
  if (status == 101) {
    Fail(ResponseError::kUnexpectedUpgrade);
    return;
  }
  status_ = status;
  minorVersion_ = line[7] == '0' ? 0 : 1;
  reason_.assign(reason);
  state_ = State::kHeaderLine;
}

void ResponseParser::OnHeaderLine(std::string_view line) {
  if (line.empty()) {
    OnHeadEnd();
    return;
  }
  if (IsBlank(line.front())) {
    // An obsolete folded line goes on the field before it, joined by a
    // space; there must be one.
    const std::string_view more = Trim(line);
    if (headers_.empty() || !IsFieldText(more)) {
      Fail(ResponseError::kBadHeader);
      return;
    }
    std::string& value = headers_.back().value;
    if (!more.empty()) {
      value.append(value.empty() ? "" : " ").append(more);
    }
    return;
  }
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) {
    Fail(ResponseError::kBadHeader);
    return;
  }
  const std::string_view value = Trim(line.substr(colon + 1));
  if (!IsFieldText(value)) {
    Fail(ResponseError::kBadHeader);
    return;
  }
  if (headers_.size() >= kMaxHeaderCount) {
    Fail(ResponseError::kTooManyHeaders);
    return;
  }
  headers_.push_back(Header{std::string(line.substr(0, colon)), std::string(value)});
}

void ResponseParser::OnHeadEnd() {
  if (status_ < 200) {
    StartResponse();  // an interim response: the final one follows
    return;
  }
  headComplete_ = true;

  bool close = false;
  bool keepAlive = false;
  for (std::string_view value : FindAllHeaders("Connection")) {
    ForEachElement(value, [&](std::string_view option) {
      close = close || SameText(option, "close");
      keepAlive = keepAlive || SameText(option, "keep-alive");
    });
  }
  keepAlive_ = !close && (minorVersion_ >= 1 || keepAlive);

  if (headRequest_ || status_ == 204 || status_ == 304) {
    framing_ = BodyFraming::kNone;
    state_ = State::kDone;
    return;
  }

  const std::vector<std::string_view> codings = FindAllHeaders("Transfer-Encoding");
  const std::vector<std::string_view> lengths = FindAllHeaders("Content-Length");
  if (!codings.empty()) {
    // Only chunked alone is read: no request offers another coding.
    std::size_t chunked = 0;
    bool other = false;
    for (std::string_view value : codings) {
      ForEachElement(value, [&](std::string_view coding) {
        if (SameText(coding, "chunked")) {
          ++chunked;
        } else if (!coding.empty()) {
          other = true;
        }
      });
    }
    if (minorVersion_ == 0 || chunked != 1 || other) {
      Fail(ResponseError::kBadTransferEncoding);
      return;
    }
    // Chunked wins over a Content-Length; such a message may be smuggling
    // another, so the connection ends with it.
    framing_ = BodyFraming::kChunked;
    keepAlive_ = keepAlive_ && lengths.empty();
    state_ = State::kChunkSize;
    return;
  }

  if (!lengths.empty()) {
    std::optional<std::uint64_t> length;
    for (std::string_view value : lengths) {
      bool bad = false;
      bool conflict = false;
      ForEachElement(value, [&](std::string_view element) {
        const std::optional<std::uint64_t> parsed = ParseDecimal(element);
        if (!parsed) {
          bad = true;
        } else if (length && *length != *parsed) {
          conflict = true;
        } else {
          length = parsed;
        }
      });
      if (bad || conflict) {
        Fail(bad ? ResponseError::kBadContentLength : ResponseError::kConflictingContentLength);
        return;
      }
    }
    framing_ = BodyFraming::kLength;
    contentLength_ = remaining_ = *length;
    state_ = remaining_ == 0 ? State::kDone : State::kBody;
    return;
  }

  framing_ = BodyFraming::kUntilClose;
  keepAlive_ = false;
  state_ = State::kUntilClose;
}

void ResponseParser::OnChunkSizeLine(std::string_view line) {
  // Hex digits, blanks, then nothing or ";" and extensions (ignored).
  std::uint64_t size = 0;
  std::size_t at = 0;
  for (; at < line.size() && HexValue(line[at]) >= 0; ++at) {
    if (size > std::numeric_limits<std::uint64_t>::max() >> 4) {
      Fail(ResponseError::kChunkSizeTooLarge);
      return;
    }
    size = size << 4 | static_cast<std::uint64_t>(HexValue(line[at]));
  }
  const std::size_t digits = at;
  while (at < line.size() && IsBlank(line[at])) {
    ++at;
  }
  if (digits == 0 || (at < line.size() && line[at] != ';')) {
    Fail(ResponseError::kBadChunkSize);
    return;
  }
  if (size == 0) {
    headBytes_ = 0;  // the trailers have a budget of their own
    state_ = State::kTrailer;
  } else {
    remaining_ = size;
    state_ = State::kChunkData;
  }
}

void ResponseParser::OnTrailerLine(std::string_view line) {
  if (line.empty()) {
    state_ = State::kDone;
  }
  // Trailer fields are dropped: nothing the browser needs comes there.
}

void ResponseParser::Deliver(std::string_view bytes) {
  if (bytes.empty()) {
    return;
  }
  bodyBytes_ += bytes.size();
  if (sink_) {
    sink_(bytes);
  }
}

void ResponseParser::Fail(ResponseError error) {
  state_ = State::kFailed;
  error_ = error;
  keepAlive_ = false;
}

void ResponseParser::StartResponse() {
  state_ = State::kStatusLine;
  status_ = 0;
  minorVersion_ = 1;
  reason_.clear();
  headers_.clear();
  headBytes_ = 0;
}

std::string MimeType(std::string_view contentType) {
  const std::string_view media = Trim(contentType.substr(0, contentType.find(';')));
  const std::size_t slash = media.find('/');
  if (slash == std::string_view::npos || !IsToken(media.substr(0, slash)) ||
      !IsToken(media.substr(slash + 1))) {
    return {};
  }
  std::string type(media);
  std::transform(type.begin(), type.end(), type.begin(), Lower);
  return type;
}

std::optional<RedirectRule> RedirectFor(int status, std::string_view method) {
  switch (status) {
    case 303:
      return RedirectRule{method == "HEAD" ? "HEAD" : "GET", false};
    case 301:
    case 302:
      if (method == "POST") {
        return RedirectRule{"GET", false};
      }
      return RedirectRule{std::string(method), true};
    case 307:
    case 308:
      return RedirectRule{std::string(method), true};
    default:
      return std::nullopt;
  }
}

}  // namespace corvane::net
