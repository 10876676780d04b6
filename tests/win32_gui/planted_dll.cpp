// A DLL that only tells that it ran: copied under the names of the system's
// DLLs beside the program and into its current folder, it must never be
// loaded. When it is, it appends its own path to the file named by the
// environment variable CORVANE_PLANTED_LOG.
//
// Linked against kernel32 alone, without the C runtime, so that it loads as
// any of those names (even as msvcrt.dll) and nothing else it needs can
// stop it from running.
#include <windows.h>

extern "C" BOOL WINAPI PlantedEntry(HINSTANCE self, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) {
    return TRUE;
  }
  wchar_t log[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"CORVANE_PLANTED_LOG", log, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return TRUE;
  }
  char line[MAX_PATH + 1];
  DWORD size = ::GetModuleFileNameA(self, line, MAX_PATH);
  line[size++] = '\n';
  const HANDLE file = ::CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, line, size, &written, nullptr);
    ::CloseHandle(file);
  }
  return TRUE;
}
