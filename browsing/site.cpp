#include "browsing/site.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace corvane {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

int OwnPort(std::string_view scheme) {
  if (scheme == "http" || scheme == "ws") {
    return 80;
  }
  if (scheme == "https" || scheme == "wss") {
    return 443;
  }
  if (scheme == "ftp") {
    return 21;
  }
  return 0;
}

bool IsIpv4(std::string_view host) {
  int parts = 0;
  std::size_t start = 0;
  while (start <= host.size()) {
    const std::size_t dot = std::min(host.find('.', start), host.size());
    const std::string_view part = host.substr(start, dot - start);
    int value = -1;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || part.size() > 3 || error != std::errc() || end != part.data() + part.size() ||
        value > 255) {
      return false;
    }
    ++parts;
    start = dot + 1;
  }
  return parts == 4;
}

// Second-level names under which countries register names for others.
constexpr std::array kCountrySecondLevel{"ac", "co", "com", "edu", "gov", "net", "org", "ne", "or"};

}  // namespace

std::string Site::Origin() const {
  std::string origin = scheme;
  origin += "://";
  origin += host;
  if (port != 0 && port != OwnPort(scheme)) {
    origin += ':';
    origin += std::to_string(port);
  }
  return origin;
}

std::optional<Site> SiteOf(std::string_view address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos || colon == 0 ||
      address.substr(colon, 3) != "://") {
    return std::nullopt;
  }
  Site site;
  site.scheme = Lower(address.substr(0, colon));
  if (!std::all_of(site.scheme.begin(), site.scheme.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '+' || c == '-' || c == '.';
      })) {
    return std::nullopt;
  }
  std::string_view rest = address.substr(colon + 3);
  rest = rest.substr(0, std::min(rest.find_first_of("/?#"), rest.size()));
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
    rest = rest.substr(at + 1);  // no user or password in a site
  }
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) {
      return std::nullopt;
    }
    site.host = Lower(rest.substr(0, close + 1));
    rest = rest.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') {
      return std::nullopt;
    }
    port = rest.empty() ? rest : rest.substr(1);
  } else {
    const std::size_t portColon = rest.find(':');
    site.host = Lower(rest.substr(0, portColon));
    port = portColon == std::string_view::npos ? std::string_view() : rest.substr(portColon + 1);
  }
  while (!site.host.empty() && site.host.back() == '.') {
    site.host.pop_back();  // "example.com." is example.com
  }
  if (site.host.empty()) {
    return std::nullopt;
  }
  site.port = OwnPort(site.scheme);
  if (!port.empty()) {
    int value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || value <= 0 || value > 65535) {
      return std::nullopt;
    }
    site.port = value;
  }
  return site;
}

std::string RegistrableDomain(std::string_view host) {
  std::string name = Lower(host);
  while (!name.empty() && name.back() == '.') {
    name.pop_back();
  }
  if (name.empty() || name.front() == '[' || IsIpv4(name)) {
    return name;
  }
  // The start of each of the last three labels.
  std::array<std::size_t, 3> starts{};
  int labels = 0;
  for (std::size_t end = name.size(); labels < 3;) {
    const std::size_t dot = name.rfind('.', end - 1);
    starts.at(static_cast<std::size_t>(labels)) = dot == std::string::npos ? 0 : dot + 1;
    ++labels;
    if (dot == std::string::npos || dot == 0) {
      break;
    }
    end = dot;
  }
  if (labels < 2) {
    return name;
  }
  const std::string_view top(name.c_str() + starts[0]);
  const std::string_view second(name.c_str() + starts[1], starts[0] - 1 - starts[1]);
  const bool countrySecond =
      top.size() == 2 &&
      std::find(kCountrySecondLevel.begin(), kCountrySecondLevel.end(), second) !=
          kCountrySecondLevel.end();
  if (!countrySecond) {
    return name.substr(starts[1]);
  }
  return labels == 3 ? name.substr(starts[2]) : name;
}

}  // namespace corvane
