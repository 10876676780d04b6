#include "net/url.h"

#include <algorithm>
#include <string>

namespace corvane::net {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'f'); }

// A blank, a control byte or DEL.
bool IsControlOrBlank(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x20 || byte == 0x7F;
}

bool IsHigh(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// A byte a host name may hold: letters, digits and the few marks of a name
// (no percent-encoding: a name is looked up as written).
bool IsHostChar(char c) {
  return IsAlpha(c) || IsDigit(c) || std::string_view("-._~!$&'()*+,;=").find(c) != std::string_view::npos;
}

std::uint16_t DefaultPort(std::string_view scheme) { return scheme == "https" ? 443 : 80; }

// "%XX" for every byte at or above 0x80 and, when `spaces`, every space.
std::string EncodeHighBytes(std::string_view text, bool spaces) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || (spaces && c == ' ')) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

// The authority "host[:port]" or "[v6]:port" into `url`; false when it is
// not one this client accepts.
bool ParseAuthority(std::string_view authority, Url& url) {
  if (authority.find('@') != std::string_view::npos) {
    return false;  // a user name or password
  }
  std::string_view host;
  std::string_view rest;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) {
      return false;
    }
    host = authority.substr(1, close - 1);
    rest = authority.substr(close + 1);
    const bool v6 = host.find(':') != std::string_view::npos &&
                    std::all_of(host.begin(), host.end(),
                                [](char c) { return IsHex(c) || c == ':' || c == '.'; });
    if (!v6 || (!rest.empty() && rest.front() != ':')) {
      return false;
    }
  } else {
    const std::size_t colon = authority.find(':');
    host = authority.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
    if (!std::all_of(host.begin(), host.end(), IsHostChar)) {
      return false;
    }
  }
  if (host.empty()) {
    return false;
  }
  url.host.assign(host);
  std::transform(url.host.begin(), url.host.end(), url.host.begin(), Lower);
  url.port = DefaultPort(url.scheme);
  if (!rest.empty()) {
    const std::string_view digits = rest.substr(1);  // after ':'; empty is the default
    if (digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), IsDigit)) {
      return false;
    }
    if (!digits.empty()) {
      unsigned long port = std::stoul(std::string(digits));
      if (port == 0 || port > 65535) {
        return false;
      }
      url.port = static_cast<std::uint16_t>(port);
    }
  }
  return true;
}

// The scheme of `text` ("http" for "HTTP://..."), lower case, without its
// colon; empty when `text` starts with none.
std::string SchemeOf(std::string_view text) {
  if (text.empty() || !IsAlpha(text.front())) {
    return {};
  }
  std::size_t at = 1;
  while (at < text.size() && (IsAlpha(text[at]) || IsDigit(text[at]) || text[at] == '+' ||
                              text[at] == '-' || text[at] == '.')) {
    ++at;
  }
  if (at == text.size() || text[at] != ':') {
    return {};
  }
  std::string scheme(text.substr(0, at));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), Lower);
  return scheme;
}

// RFC 3986's remove_dot_segments on a path (no query).
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.starts_with("../")) {
      in.remove_prefix(3);
    } else if (in.starts_with("./")) {
      in.remove_prefix(2);
    } else if (in.starts_with("/./")) {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.starts_with("/../") || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      const std::size_t slash = out.rfind('/');
      out.erase(slash == std::string::npos ? 0 : slash);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const std::size_t next = in.find('/', 1);
      out.append(in.substr(0, next));
      in = next == std::string_view::npos ? std::string_view() : in.substr(next);
    }
  }
  return out;
}

// A target with its path's dot segments removed, the query as it was.
std::string NormalizeTarget(std::string_view target) {
  const std::size_t query = target.find('?');
  std::string path = RemoveDotSegments(target.substr(0, query));
  if (path.empty() || path.front() != '/') {
    path.insert(0, 1, '/');
  }
  if (query != std::string_view::npos) {
    path.append(target.substr(query));
  }
  return path;
}

}  // namespace

std::optional<Url> ParseUrl(std::string_view text) {
  if (std::any_of(text.begin(), text.end(), IsControlOrBlank)) {
    return std::nullopt;
  }
  Url url;
  url.scheme = SchemeOf(text);
  if ((url.scheme != "http" && url.scheme != "https") ||
      text.substr(url.scheme.size() + 1, 2) != "//") {
    return std::nullopt;
  }
  text.remove_prefix(url.scheme.size() + 3);
  text = text.substr(0, text.find('#'));
  const std::size_t end = text.find_first_of("/?");
  const std::string_view authority = text.substr(0, end);
  if (std::any_of(authority.begin(), authority.end(), IsHigh) || !ParseAuthority(authority, url)) {
    return std::nullopt;
  }
  const std::string_view target = end == std::string_view::npos ? std::string_view() : text.substr(end);
  url.target = target.starts_with('/') ? std::string() : std::string("/");
  url.target += EncodeHighBytes(target, false);
  return url;
}

std::string ToString(const Url& url) { return url.scheme + "://" + HostHeader(url) + url.target; }

std::string HostHeader(const Url& url) {
  std::string out = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
  if (url.port != DefaultPort(url.scheme)) {
    out += ':';
    out += std::to_string(url.port);
  }
  return out;
}

std::string OriginKey(const Url& url) {
  const std::string host = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
  return url.scheme + "://" + host + ":" + std::to_string(url.port);
}

std::optional<Url> Resolve(const Url& base, std::string_view reference) {
  reference = reference.substr(0, reference.find('#'));
  // Servers write raw UTF-8 and spaces into Location: sent encoded.
  if (std::any_of(reference.begin(), reference.end(),
                  [](char c) { return c != ' ' && IsControlOrBlank(c); })) {
    return std::nullopt;
  }
  const std::string ref = EncodeHighBytes(reference, true);

  std::optional<Url> url;
  if (!SchemeOf(ref).empty()) {
    url = ParseUrl(ref);
  } else if (ref.starts_with("//")) {
    url = ParseUrl(base.scheme + ":" + ref);
  } else {
    url = base;
    const std::string_view basePath =
        std::string_view(base.target).substr(0, base.target.find('?'));
    if (ref.empty()) {
      // The same address.
    } else if (ref.front() == '?') {
      url->target = std::string(basePath) + ref;
    } else if (ref.front() == '/') {
      url->target = ref;
    } else {
      const std::size_t slash = basePath.rfind('/');
      url->target = std::string(basePath.substr(0, slash == std::string_view::npos ? 0 : slash + 1)) + ref;
    }
  }
  if (url) {
    url->target = NormalizeTarget(url->target);
  }
  return url;
}

}  // namespace corvane::net
