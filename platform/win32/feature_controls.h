// The WebBrowser control's security features that a program hosting it has
// to switch on itself: off by default for every program but the system's own
// browser. They are switched on for this process only, so nothing is written
// to the registry and no other program changes.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <span>

namespace corvane::winui {

// The features switched on (the README says why each is on and why the
// others are left alone).
std::span<const INTERNETFEATURELIST> HardeningFeatures() noexcept;

// Switches each of them on for this process. Call before the first control
// is made. Answers how many the system took; 0 when its urlmon has no
// feature controls (before Windows XP SP2), and nothing else changes then.
int SwitchOnHardeningFeatures() noexcept;

}  // namespace corvane::winui
