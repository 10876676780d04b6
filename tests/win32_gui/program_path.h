// Where the tests find the program: beside the test executable.
#pragma once

#include <windows.h>

#include <string>

namespace corvane::test {

inline std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
  path.resize(length);
  path.erase(path.find_last_of(L"\\/") + 1);
  return path + L"Corvane Ombrel.exe";
}

}  // namespace corvane::test
