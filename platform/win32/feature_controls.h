// The WebBrowser control's security features that a program hosting it has
// to switch on itself: most are off by default for every program but the
// system's own browser. They are switched on for this process only, so
// nothing is written to the registry and no other program changes.
#pragma once

#include <windows.h>
#include <urlmon.h>

namespace corvane::win32 {

// Switches the features that harden a host on for this process (the README
// says why each is on and why the others are left alone). Call before the
// first control is made. Answers how many the system took; 0 when its urlmon
// has no feature controls (before Windows XP SP2), and nothing else changes
// then.
int SwitchOnHardeningFeatures() noexcept;

}  // namespace corvane::win32
