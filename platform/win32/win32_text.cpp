#include "platform/win32/win32_text.h"

#include <windows.h>

#include <climits>

#include "platform/failure.h"

namespace corvane::win32 {

namespace {

int Length(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    throw Failure("text too long");
  }
  return static_cast<int>(size);
}

std::wstring ToWide(UINT codePage, const std::string& text) {
  if (text.empty()) {
    return {};
  }
  const int size = Length(text.size());
  const int needed = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) {
    throw Failure("text cannot be converted");
  }
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), needed);
  return wide;
}

std::string FromWide(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) {
    return {};
  }
  const int size = Length(wide.size());
  const int needed = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    throw Failure("text cannot be converted");
  }
  std::string text(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), needed, nullptr, nullptr);
  return text;
}

}  // namespace

std::wstring Widen(const std::string& utf8) { return ToWide(CP_UTF8, utf8); }
std::string Narrow(const std::wstring& utf16) { return FromWide(CP_UTF8, utf16); }
std::string ToAnsi(const std::string& utf8) { return FromWide(CP_ACP, Widen(utf8)); }
std::string FromAnsi(const std::string& ansi) { return Narrow(ToWide(CP_ACP, ansi)); }

}  // namespace corvane::win32
