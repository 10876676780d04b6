// The https handler's cookies, kept in the system's WinINet store, so that
// a page's document.cookie, the system's own requests and ours see the same
// ones. wininet.dll is loaded from the system folder when first needed, not
// imported. HttpOnly cookies carry WinINet's HttpOnly flag where the system
// has it (Internet Explorer 8 and later); elsewhere they are kept in memory
// for the run only, never where a page could read them. When wininet fails,
// cookies are simply not kept.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "net/cookie_jar.h"
#include "net/http_exchange.h"
#include "platform/win32/https/lock.h"
#include "platform/win32/system_library.h"

namespace corvane::win32::https {

class WinInetCookies final : public net::CookieStore {
 public:
  enum class HttpOnlyFlag {
    kDetect,  // use the flag when the system has it
    kNever,   // act as a system without it
  };
  explicit WinInetCookies(HttpOnlyFlag flag = HttpOnlyFlag::kDetect);
  WinInetCookies(const WinInetCookies&) = delete;
  WinInetCookies& operator=(const WinInetCookies&) = delete;

  // The store's cookies for `url` (HttpOnly ones too), then those kept in
  // memory.
  std::string CookieHeader(const net::Url& url) override;
  // The Set-Cookie value as it came, for the response's address `url`.
  void Store(const net::Url& url, std::string_view setCookie) override;

  // Whether the store takes HttpOnly cookies itself.
  bool StoresHttpOnly();

 private:
  using GetEx = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD, DWORD, LPVOID);
  using Get = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);
  using SetEx = DWORD(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, DWORD_PTR);
  using Set = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR);
  enum class Support { kUnknown, kYes, kNo };

  // Loads wininet and detects the flag, once; under section_.
  void Load();
  std::string FromStore(const std::wstring& url, bool httpOnly);

  HttpOnlyFlag flag_;
  Lock section_;
  bool loaded_ = false;
  Library wininet_;
  GetEx getEx_ = nullptr;
  Get get_ = nullptr;
  SetEx setEx_ = nullptr;
  Set set_ = nullptr;
  Support httpOnly_ = Support::kUnknown;
  net::MemoryCookieJar memory_;
};

}  // namespace corvane::win32::https
