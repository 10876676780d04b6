#include "platform/gtk/address.h"

#include <cctype>
#include <string_view>

namespace corvane::gtk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// The scheme at the start of `text` ("http" for "http://x"), or empty. A
// "name:digits" prefix ends a host with a port, not a scheme.
std::string_view Scheme(std::string_view text) {
  if (text.empty() || std::isalpha(static_cast<unsigned char>(text.front())) == 0) {
    return {};
  }
  std::size_t i = 1;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (std::isalnum(c) == 0 && c != '+' && c != '-' && c != '.') {
      break;
    }
    ++i;
  }
  if (i >= text.size() || text[i] != ':') {
    return {};
  }
  // "localhost:8080", "example.com:81/path": a port follows, so this is a host.
  std::size_t j = i + 1;
  while (j < text.size() && IsDigit(text[j])) {
    ++j;
  }
  const bool portFollows =
      j > i + 1 && (j == text.size() || text[j] == '/' || text[j] == '?' || text[j] == '#');
  return portFollows ? std::string_view{} : text.substr(0, i);
}

// The host part of a scheme-less address: up to the port, path, query or fragment.
std::string_view Host(std::string_view text) {
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    return close == std::string_view::npos ? text : text.substr(0, close + 1);
  }
  const std::size_t end = text.find_first_of(":/?#");
  return end == std::string_view::npos ? text : text.substr(0, end);
}

bool IsIPv4(std::string_view host) {
  int parts = 0;
  std::size_t i = 0;
  while (i <= host.size()) {
    std::size_t digits = 0;
    while (i < host.size() && IsDigit(host[i])) {
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3) {
      return false;
    }
    ++parts;
    if (i == host.size()) {
      break;
    }
    if (host[i] != '.') {
      return false;
    }
    ++i;
  }
  return parts == 4;
}

bool IsLocal(std::string_view host) {
  std::string lower(host);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower == "localhost" || IsIPv4(host) || (!host.empty() && host.front() == '[');
}

}  // namespace

std::string FixUpAddress(const std::string& typed) {
  const std::string_view text = Trim(typed);
  if (text.empty()) {
    return "about:blank";
  }
  if (!Scheme(text).empty()) {
    return std::string(text);
  }
  const std::string prefix = IsLocal(Host(text)) ? "http://" : "https://";
  return prefix + std::string(text);
}

}  // namespace corvane::gtk
