#include "platform/win32/https/wininet_cookies.h"

#include <ctime>
#include <exception>
#include <optional>
#include <vector>

#include "platform/win32/text.h"

namespace corvane::win32::https {
namespace {

// WinINet's flag for HttpOnly cookies (Internet Explorer 8 and later).
constexpr DWORD kCookieHttpOnly = 0x00002000;
// A Cookie header longer than this is not asked for.
constexpr DWORD kMostChars = 64 * 1024;

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// UTF-8 text as UTF-16, or nothing for bytes that are not UTF-8 text or hold
// a control character (a Set-Cookie is one line of text).
std::optional<std::wstring> Wide(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      return std::nullopt;
    }
  }
  if (text.empty() || text.size() > 0x7FFFFFFF) {
    return std::wstring();
  }
  const int size = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (needed <= 0) {
    return std::nullopt;
  }
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), needed);
  return wide;
}

}  // namespace

WinInetCookies::WinInetCookies(HttpOnlyFlag flag) : flag_(flag), memory_(Now) {}

void WinInetCookies::Load() {
  if (loaded_) {
    return;
  }
  loaded_ = true;
  wininet_ = LoadSystemLibrary(L"wininet.dll");
  const HMODULE module = wininet_.get();
  getEx_ = LibraryFunction<GetEx>(module, "InternetGetCookieExW");
  get_ = LibraryFunction<Get>(module, "InternetGetCookieW");
  setEx_ = LibraryFunction<SetEx>(module, "InternetSetCookieExW");
  set_ = LibraryFunction<Set>(module, "InternetSetCookieW");
  httpOnly_ = Support::kNo;
  if (flag_ == HttpOnlyFlag::kDetect && getEx_ != nullptr && setEx_ != nullptr) {
    // A system without the flag refuses it as a parameter; one with it
    // answers (no cookie for this address, most likely).
    DWORD size = 0;
    ::SetLastError(ERROR_SUCCESS);
    const BOOL got = getEx_(L"https://localhost/", nullptr, nullptr, &size, kCookieHttpOnly, nullptr);
    if (got || ::GetLastError() != ERROR_INVALID_PARAMETER) {
      httpOnly_ = Support::kYes;
    }
  }
}

bool WinInetCookies::StoresHttpOnly() {
  Locked hold(section_);
  Load();
  return httpOnly_ == Support::kYes;
}

std::string WinInetCookies::FromStore(const std::wstring& url, bool httpOnly) {
  DWORD size = 0;
  const auto ask = [&](wchar_t* data, DWORD* chars) -> BOOL {
    if (getEx_ != nullptr) {
      return getEx_(url.c_str(), nullptr, data, chars, httpOnly ? kCookieHttpOnly : 0, nullptr);
    }
    return get_ != nullptr ? get_(url.c_str(), nullptr, data, chars) : FALSE;
  };
  // The size asked for first is sometimes a count of bytes, sometimes of
  // characters: enough either way, grown while the store says so.
  if (!ask(nullptr, &size) || size == 0) {
    return {};
  }
  for (int tries = 0; tries < 4 && size <= kMostChars; ++tries) {
    std::vector<wchar_t> data(size + 1, L'\0');
    DWORD chars = size;
    if (ask(data.data(), &chars)) {
      data.back() = L'\0';
      return ToUtf8(std::wstring(data.data()));
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      return {};
    }
    size = chars > size ? chars : size * 2;
  }
  return {};
}

std::string WinInetCookies::CookieHeader(const net::Url& url) {
  Locked hold(section_);
  Load();
  std::string header;
  try {
    if (const std::optional<std::wstring> address = Wide(net::ToString(url))) {
      header = FromStore(*address, httpOnly_ == Support::kYes);
    }
  } catch (const std::exception&) {
    header.clear();  // what the store gave is no text: not sent
  }
  const std::string kept = memory_.CookieHeader(url);
  if (!kept.empty()) {
    header += header.empty() ? kept : "; " + kept;
  }
  return header;
}

void WinInetCookies::Store(const net::Url& url, std::string_view setCookie) {
  Locked hold(section_);
  Load();
  const bool httpOnly = net::IsHttpOnly(setCookie);
  if (httpOnly && httpOnly_ != Support::kYes) {
    // Not in the store: a page could read it there.
    memory_.Store(url, setCookie);
    return;
  }
  if (memory_.Count() != 0) {
    // The cookie that now goes to the store replaces one kept here.
    memory_.Store(url, std::string(setCookie) + "; Max-Age=0");
  }
  const std::optional<std::wstring> address = Wide(net::ToString(url));
  const std::optional<std::wstring> data = Wide(setCookie);
  if (!address || !data || data->empty()) {
    return;  // bytes that are no text: the cookie is not kept
  }
  if (setEx_ != nullptr) {
    // The flag lets the server's answer set and replace HttpOnly cookies
    // (the cookie's own attribute says whether it is one); without it the
    // store treats us as a page's script.
    setEx_(address->c_str(), nullptr, data->c_str(), httpOnly_ == Support::kYes ? kCookieHttpOnly : 0, 0);
  } else if (set_ != nullptr) {
    set_(address->c_str(), nullptr, data->c_str());
  }
}

}  // namespace corvane::win32::https
