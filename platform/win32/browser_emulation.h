// The rendering mode of the hosted web control: by default the control
// renders every page in its oldest standards mode; a per-program value under
// the user's feature-control key asks it for the newest mode its engine has.
// The program keeps nothing between runs: the value is this run's, written
// at start when missing and removed again at the end.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <type_traits>

namespace corvane::win32 {

// The key, under HKEY_CURRENT_USER, that holds one value per program file
// name, and the same as its keys from the top down.
inline constexpr wchar_t kBrowserEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
inline constexpr std::array<const wchar_t*, 6> kBrowserEmulationPath{
    L"Software", L"Microsoft", L"Internet Explorer", L"Main", L"FeatureControl",
    L"FEATURE_BROWSER_EMULATION"};
// Where the installed engine states its version, under HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kEngineKey[] = L"Software\\Microsoft\\Internet Explorer";

// The value that selects the newest document mode of an engine whose
// version texts are `serviceVersion` (svcVersion, newer engines) and
// `version` (Version); either may be empty. 0: the engine has no mode newer
// than its default, so nothing is to be written.
DWORD BrowserEmulationValue(const std::wstring& serviceVersion, const std::wstring& version);

// One run's browser-emulation value. Made, it writes the value for its
// program under the user's emulation key when that value is missing (keys
// on the way made where missing); gone, it removes that value again (unless
// it no longer holds what was written) and then the keys it made, deepest
// first, as long as they are empty. A value that was there is never
// touched, nor is any other value or key.
//
// A run that does not end (killed, or still open when the session ends)
// leaves its value; later runs cannot tell it from one the user set, so
// they leave it too. The uninstaller removes it.
class BrowserEmulation {
 public:
  // For `program` (an executable's file name) under `user`, reading the
  // engine's version under `machine`. Both keys must outlive the object.
  BrowserEmulation(HKEY user, HKEY machine, std::wstring program) noexcept;
  // For the running program under HKEY_CURRENT_USER. Failures are ignored:
  // the control then renders as it does by default.
  BrowserEmulation() noexcept;
  BrowserEmulation(const BrowserEmulation&) = delete;
  BrowserEmulation& operator=(const BrowserEmulation&) = delete;
  ~BrowserEmulation();

  // Whether this run wrote the value (and so removes it).
  [[nodiscard]] bool Written() const { return written_; }

 private:
  struct CloseKey {
    void operator()(HKEY key) const noexcept { ::RegCloseKey(key); }
  };
  using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey>;

  void Write(HKEY machine);

  HKEY user_;
  std::wstring program_;
  DWORD value_ = 0;
  bool written_ = false;
  // The keys of kBrowserEmulationPath held open, and the first of them that
  // this run made (the path's size: none).
  std::array<Key, kBrowserEmulationPath.size()> keys_;
  std::size_t firstMade_ = kBrowserEmulationPath.size();
};

}  // namespace corvane::win32
