#include "platform/win32/system_library.h"

#include <cwchar>

namespace corvane::win32 {

bool RestrictDllSearch() noexcept {
  // From Windows XP SP1 on: the empty folder replaces the current one.
  ::SetDllDirectoryW(L"");
  // Looked up, as Windows XP and an unpatched Vista or 7 do not have it.
  using SetDefault = BOOL(WINAPI*)(DWORD);
  const auto setDefault = LibraryFunction<SetDefault>(::GetModuleHandleW(L"kernel32.dll"),
                                                      "SetDefaultDllDirectories");
  return setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

Library LoadSystemLibrary(const wchar_t* name) noexcept {
  // The system folder's path, a separator and the name, within MAX_PATH.
  wchar_t path[MAX_PATH];
  const UINT folder = ::GetSystemDirectoryW(path, MAX_PATH);
  const std::size_t length = std::wcslen(name);
  if (folder == 0 || folder + 1 + length >= MAX_PATH || std::wcspbrk(name, L"\\/:") != nullptr) {
    return {};
  }
  UINT at = folder;
  if (path[at - 1] != L'\\') {
    path[at++] = L'\\';
  }
  std::wmemcpy(path + at, name, length + 1);
  // A full path: the search is not used for the DLL itself; for the DLLs it
  // imports it starts in its folder instead of the program's. A system that
  // refuses the flag next to the system-folder-only search is asked without
  // it (that search then covers the imports).
  HMODULE module = ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    module = ::LoadLibraryW(path);
  }
  return Library(module);
}

}  // namespace corvane::win32
