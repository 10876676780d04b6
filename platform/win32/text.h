// Text at the Windows edge: the program's UTF-8 to UTF-16 for the W
// functions and back, and to the ANSI code page where only the A functions
// will do. Each conversion throws Failure when the text cannot be converted.
#pragma once

#include <string>

namespace corvane::win32 {

std::wstring ToWide(const std::string& text);
// `length` UTF-16 units from `text`; nothing for none or a null pointer.
std::string ToUtf8(const wchar_t* text, int length);
std::string ToUtf8(const std::wstring& text);
// UTF-8 to the ANSI code page; what it cannot hold becomes its default character.
std::string ToAnsi(const std::string& utf8);
// ANSI bytes (zero bytes included) to UTF-8.
std::string FromAnsi(const std::string& ansi);

}  // namespace corvane::win32
