// The system's DLLs, loaded from the system folder only: never a file of the
// same name beside the program or in the current folder.
#pragma once

#include <windows.h>

#include "platform/win32/handles.h"

namespace corvane::win32 {

struct FreeLibraryRelease {
  void operator()(HMODULE h) const noexcept { ::FreeLibrary(h); }
};
using Library = Owned<HMODULE, FreeLibraryRelease>;

// Takes the current folder out of the DLL search for the rest of the run
// and, where the system offers it (Windows 8 on, Vista and 7 with their
// loader update), every folder but the system's. Call first thing, before
// anything is loaded at run time. Answers whether the system-folder-only
// search is on.
bool RestrictDllSearch() noexcept;

// The system's DLL `name` (a bare file name such as L"oleacc.dll") loaded by
// its full path in the system folder; the DLLs it imports are then looked
// for in the system folder first too. Empty when the system has no such DLL.
Library LoadSystemLibrary(const wchar_t* name) noexcept;

// Function `name` of `module` as a pointer of type Function; null when the
// module is missing or does not have it.
template <class Function>
Function LibraryFunction(HMODULE module, const char* name) noexcept {
  if (module == nullptr) {
    return nullptr;
  }
  // Through the generic function type, which converts to any other.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace corvane::win32
