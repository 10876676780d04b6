#include "platform/win32/win32_shell.h"

#include <windows.h>

#include <memory>
#include <type_traits>

#include "platform/ports/failure.h"
#include "platform/win32/text.h"

namespace corvane::win32 {

namespace {

struct FindCloser {
  void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, FindCloser>;

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

constexpr DWORD kNotNormal = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

std::string Win32Shell::FindFile(const std::string& path) {
  if (path.empty()) {
    return {};
  }
  const std::wstring wide = ToWide(path);
  WIN32_FIND_DATAW data{};
  HANDLE first = FindFirstFileW(wide.c_str(), &data);
  if (first == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_NO_MORE_FILES) {
      return {};
    }
    throw Failure("Bad file name or number");
  }
  const FindHandle find(first);
  do {
    if ((data.dwFileAttributes & kNotNormal) == 0) {
      return ToUtf8(data.cFileName);
    }
  } while (FindNextFileW(find.get(), &data) != FALSE);
  return {};
}

void Win32Shell::StartProgram(const std::string& path) {
  if (path.empty() || path.find('"') != std::string::npos) {
    throw Failure("File not found");
  }
  const std::wstring application = ToWide(path);
  std::wstring commandLine = L"\"" + application + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started{};
  if (CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     nullptr, &startup, &started) == FALSE) {
    throw Failure("File not found: " + path);
  }
  // Nobody waits for the tool: its handles go at once.
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
}

void Win32Shell::ShowMessage(const std::string& text, const std::string& title) {
  MessageBoxW(nullptr, ToWide(text).c_str(), ToWide(title).c_str(),
              MB_OK | MB_TASKMODAL);
}

}  // namespace corvane::win32
