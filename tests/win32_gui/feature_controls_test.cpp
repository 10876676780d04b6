// The WebBrowser control's security features: on for the process once the
// program's start-up call has run, the others as they were, and nothing
// written to the registry for it.
#include <gtest/gtest.h>
#include <windows.h>
#include <urlmon.h>

#include <vector>

#include "platform/win32/feature_controls.h"
#include "tests/win32_gui/registry_snapshot.h"

namespace corvane::win32 {
namespace {

// The features the README promises on.
const struct {
  INTERNETFEATURELIST feature;
  const char* name;
} kOn[] = {
    {FEATURE_OBJECT_CACHING, "object caching"},
    {FEATURE_ZONE_ELEVATION, "zone elevation"},
    {FEATURE_MIME_HANDLING, "MIME handling"},
    {FEATURE_MIME_SNIFFING, "MIME sniffing"},
    {FEATURE_WINDOW_RESTRICTIONS, "window restrictions"},
    {FEATURE_WEBOC_POPUPMANAGEMENT, "pop-up management"},
    {FEATURE_BEHAVIORS, "behaviors"},
    {FEATURE_DISABLE_MK_PROTOCOL, "mk: protocol off"},
    {FEATURE_LOCALMACHINE_LOCKDOWN, "local machine lockdown"},
    {FEATURE_RESTRICT_ACTIVEXINSTALL, "ActiveX install restricted"},
    {FEATURE_VALIDATE_NAVIGATE_URL, "navigate URL validated"},
    {FEATURE_RESTRICT_FILEDOWNLOAD, "file download restricted"},
    {FEATURE_ADDON_MANAGEMENT, "add-on management"},
    {FEATURE_PROTOCOL_LOCKDOWN, "protocol lockdown"},
    {FEATURE_HTTP_USERNAME_PASSWORD_DISABLE, "user name and password URLs off"},
    {FEATURE_SAFE_BINDTOOBJECT, "safe bind to object"},
    {FEATURE_UNC_SAVEDFILECHECK, "UNC saved-file check"},
    {FEATURE_DISABLE_TELNET_PROTOCOL, "telnet: protocol off"},
};

bool Promised(int feature) {
  for (const auto& on : kOn) {
    if (on.feature == feature) {
      return true;
    }
  }
  return false;
}

std::vector<HRESULT> States() {
  std::vector<HRESULT> states;
  for (int f = 0; f < FEATURE_ENTRY_COUNT; ++f) {
    states.push_back(
        ::CoInternetIsFeatureEnabled(static_cast<INTERNETFEATURELIST>(f), GET_FEATURE_FROM_PROCESS));
  }
  return states;
}

TEST(FeatureControls, OnForTheProcessOnlyAndNothingElseChanges) {
  // Off first, so that a feature on by default shows the call as well.
  for (const auto& on : kOn) {
    ASSERT_EQ(::CoInternetSetFeatureEnabled(on.feature, SET_FEATURE_ON_PROCESS, FALSE), S_OK)
        << on.name;
    ASSERT_EQ(::CoInternetIsFeatureEnabled(on.feature, GET_FEATURE_FROM_PROCESS), S_FALSE)
        << on.name;
  }
  const std::vector<HRESULT> before = States();
  const test::Snapshot users = test::Take(HKEY_USERS);
  const test::Snapshot machine = test::Take(HKEY_LOCAL_MACHINE);

  EXPECT_EQ(SwitchOnHardeningFeatures(), static_cast<int>(std::size(kOn)));

  for (const auto& on : kOn) {
    EXPECT_EQ(::CoInternetIsFeatureEnabled(on.feature, GET_FEATURE_FROM_PROCESS), S_OK)
        << on.name << " is not on";
  }
  const std::vector<HRESULT> after = States();
  for (int f = 0; f < FEATURE_ENTRY_COUNT; ++f) {
    if (!Promised(f)) {
      EXPECT_EQ(after[f], before[f]) << "feature " << f << " was to be left alone";
    }
  }
  EXPECT_TRUE(test::Take(HKEY_USERS) == users) << "a user's registry value changed";
  EXPECT_TRUE(test::Take(HKEY_LOCAL_MACHINE) == machine) << "a machine registry value changed";
  // As before for the tests run after this one in the same process.
  for (int f = 0; f < FEATURE_ENTRY_COUNT; ++f) {
    ::CoInternetSetFeatureEnabled(static_cast<INTERNETFEATURELIST>(f), SET_FEATURE_ON_PROCESS,
                                  before[f] == S_OK);
  }
}

}  // namespace
}  // namespace corvane::win32
