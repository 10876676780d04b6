#include "platform/win32/feature_controls.h"

#include <array>

#include "platform/win32/system_library.h"

namespace corvane::win32 {

namespace {

constexpr std::array kHardening{
    FEATURE_OBJECT_CACHING,         // no cached objects across sites and zones
    FEATURE_ZONE_ELEVATION,         // no navigation into a more trusted zone
    FEATURE_MIME_HANDLING,          // a file is handled as its checked type
    FEATURE_MIME_SNIFFING,          // a file's content decides its type too
    FEATURE_WINDOW_RESTRICTIONS,    // no off-screen or title-less windows
    FEATURE_WEBOC_POPUPMANAGEMENT,  // unrequested pop-up windows are blocked
    FEATURE_BEHAVIORS,              // binary behaviours follow the zone
    FEATURE_DISABLE_MK_PROTOCOL,    // the old mk: protocol is gone
    FEATURE_LOCALMACHINE_LOCKDOWN,  // local files run no active content
    FEATURE_RESTRICT_ACTIVEXINSTALL,
    FEATURE_VALIDATE_NAVIGATE_URL,  // malformed addresses are not followed
    FEATURE_RESTRICT_FILEDOWNLOAD,  // downloads only on the user's action
    FEATURE_ADDON_MANAGEMENT,       // add-ons the user disabled stay disabled
    FEATURE_PROTOCOL_LOCKDOWN,      // locked-down protocols stay locked
    FEATURE_HTTP_USERNAME_PASSWORD_DISABLE,  // no user:password@ addresses
    FEATURE_SAFE_BINDTOOBJECT,      // objects only after the zone's checks
    FEATURE_UNC_SAVEDFILECHECK,     // saved network files keep their zone
    FEATURE_DISABLE_TELNET_PROTOCOL,  // telnet: starts no program
};

}  // namespace

int SwitchOnHardeningFeatures() noexcept {
  // The process's settings live in urlmon: it stays loaded for the whole run,
  // so the control finds them when it loads it again.
  static const Library urlmon = LoadSystemLibrary(L"urlmon.dll");
  using SetFeature = HRESULT(WINAPI*)(INTERNETFEATURELIST, DWORD, BOOL);
  const auto set = LibraryFunction<SetFeature>(urlmon.get(), "CoInternetSetFeatureEnabled");
  if (set == nullptr) {
    return 0;
  }
  int taken = 0;
  for (const INTERNETFEATURELIST feature : kHardening) {
    if (SUCCEEDED(set(feature, SET_FEATURE_ON_PROCESS, TRUE))) {
      ++taken;
    }
  }
  return taken;
}

}  // namespace corvane::win32
