#include "net/cookie_jar.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace corvane::net {
namespace {

constexpr std::size_t kMaxCookiesPerDomain = 50;
constexpr std::size_t kMaxCookieBytes = 4096;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), Lower);
  return out;
}

// Calls `each(name, value)` for every attribute after the cookie's
// "name=value", both trimmed.
template <typename Each>
void ForEachAttribute(std::string_view setCookie, Each each) {
  std::size_t semicolon = setCookie.find(';');
  while (semicolon != std::string_view::npos) {
    setCookie.remove_prefix(semicolon + 1);
    semicolon = setCookie.find(';');
    const std::string_view attribute = setCookie.substr(0, semicolon);
    const std::size_t equals = attribute.find('=');
    each(Trim(attribute.substr(0, equals)),
         equals == std::string_view::npos ? std::string_view() : Trim(attribute.substr(equals + 1)));
  }
}

// An address of digits and dots, or with a colon: no domain of its own.
bool IsIpAddress(std::string_view host) {
  return host.find(':') != std::string_view::npos ||
         (!host.empty() && std::all_of(host.begin(), host.end(), [](char c) { return IsDigit(c) || c == '.'; }));
}

bool DomainMatches(std::string_view host, std::string_view domain) {
  return host == domain || (host.size() > domain.size() && host.ends_with(domain) &&
                            host[host.size() - domain.size() - 1] == '.' && !IsIpAddress(host));
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
  return requestPath.starts_with(cookiePath) &&
         (requestPath.size() == cookiePath.size() || cookiePath.ends_with('/') ||
          requestPath[cookiePath.size()] == '/');
}

std::string_view PathOf(const Url& url) {
  return std::string_view(url.target).substr(0, url.target.find('?'));
}

// The path a cookie gets without a Path attribute: the request's path up to,
// not including, its last '/'; "/" when that leaves nothing.
std::string DefaultPath(const Url& url) {
  const std::string_view path = PathOf(url);
  const std::size_t slash = path.rfind('/');
  if (path.empty() || path.front() != '/' || slash == 0 || slash == std::string_view::npos) {
    return "/";
  }
  return std::string(path.substr(0, slash));
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// Leading digits of `token`: their value when there are `min` to `max` of
// them, else nothing.
std::optional<int> LeadingNumber(std::string_view token, std::size_t min, std::size_t max) {
  std::size_t count = 0;
  int value = 0;
  while (count < token.size() && IsDigit(token[count])) {
    value = value * 10 + (token[count] - '0');
    if (++count > max) {
      return std::nullopt;
    }
  }
  return count >= min ? std::optional<int>(value) : std::nullopt;
}

// A cookie date (RFC 1123 "Sun, 06 Nov 1994 08:49:37 GMT", RFC 850
// "Sunday, 06-Nov-94 08:49:37 GMT", asctime "Sun Nov  6 08:49:37 1994"),
// read the lenient way cookies are: time, day, month and year picked out of
// the words in any order. Seconds since 1970, or nothing.
std::optional<std::int64_t> ParseCookieDate(std::string_view text) {
  auto isDelimiter = [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b == 0x09 || (b >= 0x20 && b <= 0x2F) || (b >= 0x3B && b <= 0x40) || (b >= 0x5B && b <= 0x60) ||
           (b >= 0x7B && b <= 0x7E);
  };
  std::optional<int> hour, minute, second, day, month, year;
  static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && isDelimiter(text[at])) {
      ++at;
    }
    std::size_t end = at;
    while (end < text.size() && !isDelimiter(text[end])) {
      ++end;
    }
    const std::string_view token = text.substr(at, end - at);
    at = end;
    if (token.empty()) {
      continue;
    }
    if (!hour) {
      const std::size_t c1 = token.find(':');
      const std::size_t c2 = c1 == std::string_view::npos ? c1 : token.find(':', c1 + 1);
      if (c2 != std::string_view::npos) {
        const auto h = LeadingNumber(token.substr(0, c1), 1, 2);
        const auto m = LeadingNumber(token.substr(c1 + 1, c2 - c1 - 1), 1, 2);
        const auto s = LeadingNumber(token.substr(c2 + 1), 1, 2);
        if (h && m && s) {
          hour = h, minute = m, second = s;
          continue;
        }
      }
    }
    if (!day) {
      if (const auto d = LeadingNumber(token, 1, 2)) {
        day = d;
        continue;
      }
    }
    if (!month && token.size() >= 3) {
      const std::string prefix = LowerCase(token.substr(0, 3));
      const auto found = std::find(std::begin(kMonths), std::end(kMonths), prefix);
      if (found != std::end(kMonths)) {
        month = static_cast<int>(found - std::begin(kMonths)) + 1;
        continue;
      }
    }
    if (!year) {
      if (const auto y = LeadingNumber(token, 2, 4)) {
        year = y;
        continue;
      }
    }
  }
  if (!hour || !day || !month || !year) {
    return std::nullopt;
  }
  int fullYear = *year;
  if (fullYear >= 70 && fullYear <= 99) {
    fullYear += 1900;
  } else if (fullYear < 70) {
    fullYear += 2000;
  }
  if (*day < 1 || *day > 31 || fullYear < 1601 || *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  return DaysFromCivil(fullYear, static_cast<unsigned>(*month), static_cast<unsigned>(*day)) * 86400 +
         *hour * 3600 + *minute * 60 + *second;
}

}  // namespace

bool IsHttpOnly(std::string_view setCookie) {
  bool found = false;
  ForEachAttribute(setCookie, [&](std::string_view name, std::string_view) {
    found = found || SameText(name, "HttpOnly");
  });
  return found;
}

MemoryCookieJar::MemoryCookieJar(Clock nowSeconds) : now_(nowSeconds) {}

std::string MemoryCookieJar::CookieHeader(const Url& url) {
  const std::int64_t now = now_();
  std::erase_if(cookies_, [&](const Cookie& c) { return c.expires <= now; });
  std::vector<const Cookie*> matching;
  for (const Cookie& c : cookies_) {
    if ((c.hostOnly ? url.host == c.domain : DomainMatches(url.host, c.domain)) &&
        PathMatches(PathOf(url), c.path) && (!c.secure || url.scheme == "https")) {
      matching.push_back(&c);
    }
  }
  std::stable_sort(matching.begin(), matching.end(),
                   [](const Cookie* a, const Cookie* b) { return a->path.size() > b->path.size(); });
  std::string header;
  for (const Cookie* c : matching) {
    header += (header.empty() ? "" : "; ") + c->name + "=" + c->value;
  }
  return header;
}

void MemoryCookieJar::Store(const Url& url, std::string_view setCookie) {
  if (setCookie.size() > kMaxCookieBytes ||
      std::any_of(setCookie.begin(), setCookie.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
      })) {
    return;
  }
  const std::string_view pair = setCookie.substr(0, setCookie.find(';'));
  const std::size_t equals = pair.find('=');
  if (equals == std::string_view::npos || Trim(pair.substr(0, equals)).empty()) {
    return;
  }
  const std::int64_t now = now_();
  Cookie cookie;
  cookie.name = std::string(Trim(pair.substr(0, equals)));
  cookie.value = std::string(Trim(pair.substr(equals + 1)));
  cookie.domain = url.host;
  cookie.path = DefaultPath(url);
  std::optional<std::int64_t> maxAge, expires;
  std::string domain;
  ForEachAttribute(setCookie, [&](std::string_view name, std::string_view value) {
    if (SameText(name, "Expires")) {
      if (const auto date = ParseCookieDate(value)) {
        expires = date;
      }
    } else if (SameText(name, "Max-Age")) {
      const bool negative = value.starts_with('-');
      const std::string_view digits = negative ? value.substr(1) : value;
      if (!digits.empty() && std::all_of(digits.begin(), digits.end(), IsDigit)) {
        std::int64_t seconds = 0;
        for (const char c : digits) {
          if (seconds > (INT64_MAX - 9) / 10) {
            seconds = INT64_MAX;  // for ever, as far as this run goes
            break;
          }
          seconds = seconds * 10 + (c - '0');
        }
        maxAge = negative || seconds == 0 ? INT64_MIN
                 : seconds >= INT64_MAX - now ? INT64_MAX
                                              : now + seconds;
      }
    } else if (SameText(name, "Domain")) {
      domain = LowerCase(value.starts_with('.') ? value.substr(1) : value);
    } else if (SameText(name, "Path")) {
      if (value.starts_with('/')) {
        cookie.path = std::string(value);
      }
    } else if (SameText(name, "Secure")) {
      cookie.secure = true;
    } else if (SameText(name, "HttpOnly")) {
      cookie.httpOnly = true;
    }
  });
  if (cookie.secure && url.scheme != "https") {
    return;  // only a secure page may set a secure cookie
  }
  if (!domain.empty() && domain != url.host) {
    // A parent of the host, never an address's, never a lone top-level name.
    if (IsIpAddress(url.host) || !DomainMatches(url.host, domain) ||
        domain.find('.') == std::string::npos) {
      return;
    }
    cookie.domain = domain;
    cookie.hostOnly = false;
  }
  if (maxAge) {
    cookie.expires = *maxAge;
  } else if (expires) {
    cookie.expires = *expires;
  }

  std::erase_if(cookies_, [&](const Cookie& c) {
    return c.expires <= now ||
           (c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path);
  });
  if (cookie.expires <= now) {
    return;  // an expiry in the past removes it
  }
  const auto sameDomain = [&](const Cookie& c) { return c.domain == cookie.domain; };
  if (static_cast<std::size_t>(std::count_if(cookies_.begin(), cookies_.end(), sameDomain)) >=
      kMaxCookiesPerDomain) {
    cookies_.erase(std::find_if(cookies_.begin(), cookies_.end(), sameDomain));  // the oldest
  }
  cookies_.push_back(std::move(cookie));
}

}  // namespace corvane::net
