// Where the tests find the program: beside the test executable, or the file
// named by the environment variable CORVANE_PROGRAM (an installed release,
// for the installer's tests).
#pragma once

#include <windows.h>

#include <string>

namespace corvane::test {

// The folder of the test executable, with its final separator.
inline std::wstring TestFolder() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
  path.resize(length);
  path.erase(path.find_last_of(L"\\/") + 1);
  return path;
}

inline std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD given = ::GetEnvironmentVariableW(L"CORVANE_PROGRAM", path.data(), MAX_PATH);
  if (given > 0 && given < MAX_PATH) {
    path.resize(given);
    return path;
  }
  return TestFolder() + L"Corvane Ombrel.exe";
}

}  // namespace corvane::test
