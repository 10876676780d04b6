#include "platform/win32/ui_text.h"

#include <windows.h>

namespace corvane::winui {

std::wstring ToWide(const std::string& text) {
  if (text.empty()) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), needed);
  return wide;
}

std::string ToUtf8(const wchar_t* text, int length) {
  if (text == nullptr || length <= 0) {
    return {};
  }
  const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), needed, nullptr, nullptr);
  return narrow;
}

std::string ToUtf8(const std::wstring& text) {
  return ToUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace corvane::winui
