// The rendering mode of the hosted web control: by default the control
// renders every page in its oldest standards mode; a per-program value under
// the user's feature-control key asks it for the newest mode its engine has.
#pragma once

#include <windows.h>

#include <string>

namespace corvane::winui {

// The key, under HKEY_CURRENT_USER, that holds one value per program file
// name.
inline constexpr wchar_t kBrowserEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
// Where the installed engine states its version, under HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kEngineKey[] = L"Software\\Microsoft\\Internet Explorer";

// The value that selects the newest document mode of an engine whose
// version texts are `serviceVersion` (svcVersion, newer engines) and
// `version` (Version); either may be empty. 0: the engine has no mode newer
// than its default, so nothing is to be written.
DWORD BrowserEmulationValue(const std::wstring& serviceVersion, const std::wstring& version);

// Writes this value for `program` (an executable's file name) under
// `user`'s emulation key when the value is missing, reading the engine's
// version under `machine`. A value that is there is never changed; nothing
// else is written. False when nothing was written.
bool EnsureBrowserEmulation(HKEY user, HKEY machine, const std::wstring& program);

// The same for the running program, under HKEY_CURRENT_USER. Failures are
// ignored: the control then renders as it does by default.
void EnsureBrowserEmulation() noexcept;

}  // namespace corvane::winui
