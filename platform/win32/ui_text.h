// UTF-8 (the program's text) to UTF-16 (the W functions) and back.
#pragma once

#include <string>

namespace corvane::winui {

std::wstring ToWide(const std::string& text);
std::string ToUtf8(const wchar_t* text, int length);
std::string ToUtf8(const std::wstring& text);

}  // namespace corvane::winui
