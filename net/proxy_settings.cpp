#include "net/proxy_settings.h"

#include <algorithm>

namespace corvane::net {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
  return lower;
}

bool IsSeparator(char c) { return c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The entries of a list separated by ';' or blanks, empty ones left out.
std::vector<std::string_view> Entries(std::string_view list) {
  std::vector<std::string_view> entries;
  std::size_t at = 0;
  while (at < list.size()) {
    while (at < list.size() && IsSeparator(list[at])) {
      ++at;
    }
    std::size_t end = at;
    while (end < list.size() && !IsSeparator(list[end])) {
      ++end;
    }
    if (end > at) {
      entries.push_back(list.substr(at, end - at));
    }
    at = end;
  }
  return entries;
}

// "scheme://" dropped from the front.
std::string_view WithoutScheme(std::string_view text) {
  const std::size_t marker = text.find("://");
  return marker == std::string_view::npos ? text : text.substr(marker + 3);
}

bool ParsePort(std::string_view digits, std::uint16_t& port) {
  if (digits.empty() || digits.size() > 5) {
    return false;
  }
  unsigned value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) {
    return false;
  }
  port = static_cast<std::uint16_t>(value);
  return true;
}

bool IsHostChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > 0x20 && byte != 0x7F && c != '/' && c != '@' && c != '[' && c != ']';
}

// "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address, after an
// optional "scheme://" and before an optional '/'.
std::optional<ProxyAddress> ParseAddress(std::string_view text) {
  text = WithoutScheme(text);
  text = text.substr(0, text.find('/'));
  ProxyAddress address;
  address.port = 80;
  std::string_view host = text;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) {
      return std::nullopt;
    }
    host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') {
        return std::nullopt;
      }
      port = rest.substr(1);
    }
  } else if (const std::size_t colon = text.find(':');
             colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostChar) ||
      (!port.empty() && !ParsePort(port, address.port)) ||
      (port.empty() && !text.empty() && text.back() == ':')) {
    return std::nullopt;
  }
  address.host = LowerCase(host);
  return address;
}

// `pattern` ('*': any run, '?': one character) matches all of `text`.
bool Matches(std::string_view pattern, std::string_view text) {
  std::size_t p = 0, t = 0;
  std::size_t starAt = std::string_view::npos, resumeAt = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = t;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      t = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

}  // namespace

ProxySettings ParseProxySettings(bool enabled, std::string_view server, std::string_view override) {
  ProxySettings settings;
  if (!enabled) {
    return settings;
  }
  std::optional<ProxyAddress> every, https;
  for (const std::string_view entry : Entries(server)) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (!every) {
        every = ParseAddress(entry);
      }
    } else if (LowerCase(entry.substr(0, equals)) == "https" && !https) {
      https = ParseAddress(entry.substr(equals + 1));
    }
  }
  settings.https = https ? https : every;
  for (const std::string_view entry : Entries(override)) {
    const std::string pattern = LowerCase(WithoutScheme(entry));
    if (pattern == "<local>") {
      settings.bypassLocal = true;
    } else if (!pattern.empty()) {
      settings.bypass.push_back(pattern);
    }
  }
  return settings;
}

std::optional<ProxyAddress> ProxyFor(const ProxySettings& settings, const Url& url) {
  if (!settings.https) {
    return std::nullopt;
  }
  const std::string host = LowerCase(url.host);
  if (settings.bypassLocal && host.find_first_of(".:") == std::string::npos) {
    return std::nullopt;
  }
  const std::string withPort = host + ":" + std::to_string(url.port);
  for (const std::string& pattern : settings.bypass) {
    if (Matches(pattern, host) || Matches(pattern, withPort)) {
      return std::nullopt;
    }
  }
  return settings.https;
}

}  // namespace corvane::net
