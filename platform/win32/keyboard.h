// The keyboard: every key for one of the program's windows goes through the
// backend's handling (key preview, Enter and Esc, access keys, Tab), in the
// program's own message loop and in any other.
#pragma once

#include <windows.h>

namespace corvane::win32 {

class Win32Backend;

// The backend whose windows take the keys the hook sees on this thread;
// nullptr: none.
void SetKeyboardTarget(Win32Backend* backend);
// A WH_GETMESSAGE hook for this thread that hands keys to that backend.
LRESULT CALLBACK KeyboardHook(int code, WPARAM removal, LPARAM data);

}  // namespace corvane::win32
