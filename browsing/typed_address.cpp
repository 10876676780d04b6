#include "browsing/typed_address.h"

#include <cctype>
#include <string_view>

namespace corvane {

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

bool HasBlank(std::string_view text) {
  for (const char c : text) {
    if (IsBlank(c)) {
      return true;
    }
  }
  return false;
}

// Schemes whose addresses may hold blanks a user typed (a folder name).
bool IsWebScheme(std::string_view scheme) {
  std::string lower(scheme);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower == "http" || lower == "https" || lower == "file" || lower == "about" ||
         lower == "data" || lower == "ftp";
}

}  // namespace

bool IsSearchWords(const std::string& typed) {
  const std::string_view text = Trim(typed);
  if (text.empty()) {
    return false;
  }
  const std::string_view scheme = Scheme(text);
  if (HasBlank(text)) {
    return !IsWebScheme(scheme);
  }
  if (!scheme.empty()) {
    return false;
  }
  const std::string_view host = Host(text);
  if (host.find('.') != std::string_view::npos || IsLocal(host)) {
    return false;
  }
  // A port or a path after the name makes it an address ("intranet/").
  return host.size() == text.size() || (text[host.size()] != ':' && text[host.size()] != '/');
}

std::string SearchAddress(const std::string& words, const std::string& queryForm) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : Trim(words)) {
    const auto byte = static_cast<unsigned char>(c);
    const bool letterOrDigit = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                               (byte >= '0' && byte <= '9');
    if (letterOrDigit || c == '-' || c == '.' || c == '_' || c == '~') {
      escaped += c;
    } else {
      escaped += '%';
      escaped += kHex[byte >> 4U];
      escaped += kHex[byte & 0x0FU];
    }
  }
  std::string address = queryForm;
  const std::size_t slot = address.find("%s");
  if (slot == std::string::npos) {
    address += escaped;
  } else {
    address.replace(slot, 2, escaped);
  }
  return FixUpAddress(address);
}

bool IsWindowsPath(const std::string& typed) {
  const std::string_view text = Trim(typed);
  const auto slash = [](char c) { return c == '\\' || c == '/'; };
  if (text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) != 0 &&
      text[1] == ':' && slash(text[2])) {
    return true;
  }
  // "\\server\share": a server's name follows.
  return text.size() > 2 && text[0] == '\\' && text[1] == '\\' && !slash(text[2]) &&
         !IsBlank(text[2]);
}

bool IsScriptAddress(std::string_view address) {
  const std::string_view scheme = Scheme(Trim(address));
  const auto is = [&](std::string_view name) {
    if (scheme.size() != name.size()) {
      return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(scheme[i])) != name[i]) {
        return false;
      }
    }
    return true;
  };
  return is("javascript") || is("vbscript");
}

std::optional<std::string> AddressToLoad(const std::string& typed, const std::string& queryForm,
                                         AddressCompletion completion) {
  const bool byTheControl = completion == AddressCompletion::kByTheControl;
  if (IsScriptAddress(typed)) {
    return std::nullopt;
  }
  if (!queryForm.empty() && IsSearchWords(typed) && !(byTheControl && IsWindowsPath(typed))) {
    return SearchAddress(typed, queryForm);
  }
  return byTheControl ? typed : FixUpAddress(typed);
}

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

}  // namespace corvane
