// A DLL that only tells that it ran: copied under the names of the system's
// DLLs beside the program and into its current folder, it must never be
// loaded. When it is, it appends its own path to corvane-planted-ran.txt in
// the temporary folder, then refuses to load: the program that loaded it
// goes on without it (or does not start) instead of calling into it.
//
// Linked against kernel32 alone, without the C runtime, so that it loads as
// any of those names (even as msvcrt.dll) and nothing else it needs can
// stop it from running.
#include <windows.h>

extern "C" BOOL WINAPI PlantedEntry(HINSTANCE self, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) {
    return TRUE;
  }
  const wchar_t name[] = L"corvane-planted-ran.txt";
  wchar_t log[MAX_PATH + sizeof name / sizeof *name];
  const DWORD length = ::GetTempPathW(MAX_PATH, log);
  if (length == 0 || length >= MAX_PATH) {
    return FALSE;
  }
  for (DWORD i = 0; i < sizeof name / sizeof *name; ++i) {
    log[length + i] = name[i];
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
  return FALSE;
}
