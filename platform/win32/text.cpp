#include "platform/win32/text.h"

#include <windows.h>

#include <climits>

#include "platform/ports/failure.h"

namespace corvane::win32 {

namespace {

int Length(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    throw Failure("text too long");
  }
  return static_cast<int>(size);
}

std::wstring Decode(UINT codePage, const std::string& text) {
  if (text.empty()) {
    return {};
  }
  const int size = Length(text.size());
  const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) {
    throw Failure("text cannot be converted");
  }
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), needed);
  return wide;
}

std::string Encode(UINT codePage, const wchar_t* wide, int size) {
  if (wide == nullptr || size <= 0) {
    return {};
  }
  const int needed = ::WideCharToMultiByte(codePage, 0, wide, size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    throw Failure("text cannot be converted");
  }
  std::string text(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(codePage, 0, wide, size, text.data(), needed, nullptr, nullptr);
  return text;
}

}  // namespace

std::wstring ToWide(const std::string& text) { return Decode(CP_UTF8, text); }

std::string ToUtf8(const wchar_t* text, int length) { return Encode(CP_UTF8, text, length); }

std::string ToUtf8(const std::wstring& text) {
  return Encode(CP_UTF8, text.data(), Length(text.size()));
}

std::string ToAnsi(const std::string& utf8) {
  const std::wstring wide = ToWide(utf8);
  return Encode(CP_ACP, wide.data(), Length(wide.size()));
}

std::string FromAnsi(const std::string& ansi) { return ToUtf8(Decode(CP_ACP, ansi)); }

}  // namespace corvane::win32
