// The window classes of the backend and their window procedures: every
// native message reaches the windows through these, and no failure crosses
// them.
#pragma once

#include <windows.h>

namespace corvane::win32 {

inline constexpr UINT kRunPosted = WM_APP + 1;
inline constexpr UINT kHandleKey = WM_APP + 2;
inline constexpr wchar_t kInternalClass[] = L"CorvaneOmbrel.Internal";
inline constexpr wchar_t kSurfaceClass[] = L"CorvaneOmbrel.Surface";
inline constexpr wchar_t kWebHostClass[] = L"CorvaneOmbrel.WebHost";

// The backend's message-only and owner windows: posted tasks and taken keys.
LRESULT CALLBACK InternalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A window made from a design.
LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A frame or picture box.
LRESULT CALLBACK SurfaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The window the web view is hosted in.
LRESULT CALLBACK WebHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon);

}  // namespace corvane::win32
