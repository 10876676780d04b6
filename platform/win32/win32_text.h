// Text at the Windows edge: the program's UTF-8 to UTF-16 for the W
// functions, and to the ANSI code page where only the A functions will do.
#pragma once

#include <string>

namespace corvane::win32 {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
// UTF-8 to the ANSI code page; what it cannot hold becomes its default character.
std::string ToAnsi(const std::string& utf8);
// ANSI bytes (zero bytes included) to UTF-8.
std::string FromAnsi(const std::string& ansi);

}  // namespace corvane::win32
