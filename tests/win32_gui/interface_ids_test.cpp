// The interface and class ids the Windows program hands to COM are the
// well-known ones. An id taken from the wrong library links without a word
// and fails only at run time: the 64-bit import library of the accessibility
// library has symbols of the ids' names that are jumps into the library, so a
// build that links it before the library of ids passes the jump's bytes.
// This binary links like the program (and the accessibility library on top).
#include <windows.h>

#include <exdisp.h>
#include <ocidl.h>
#include <oleacc.h>
#include <oleidl.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/accessible.h"
#include "platform/win32/text.h"

namespace {

std::string Spelled(const GUID& id) {
  wchar_t text[40] = {};
  const int length = ::StringFromGUID2(id, text, 40);
  return length > 1 ? corvane::win32::ToUtf8(text, length - 1) : std::string("(none)");
}

TEST(InterfaceIds, EachIdTheProgramPassesIsTheWellKnownOne) {
  struct Case {
    const char* name;
    const GUID& id;
    const char* wellKnown;
  };
  const Case cases[] = {
      {"IAccessible (the accessible objects)", corvane::win32::AccessibleInterfaceId(),
       "{618736E0-3C3D-11CF-810C-00AA00389B71}"},
      {"IAccessible (as the tests ask)", __uuidof(IAccessible),
       "{618736E0-3C3D-11CF-810C-00AA00389B71}"},
      {"IUnknown", IID_IUnknown, "{00000000-0000-0000-C000-000000000046}"},
      {"IDispatch", IID_IDispatch, "{00020400-0000-0000-C000-000000000046}"},
      {"WebBrowser", CLSID_WebBrowser, "{8856F961-340A-11D0-A96B-00C04FD705A2}"},
      {"DWebBrowserEvents2", DIID_DWebBrowserEvents2, "{34A715A0-6587-11D0-924A-0020AFC7AC4D}"},
      {"IOleObject", IID_IOleObject, "{00000112-0000-0000-C000-000000000046}"},
      {"IOleClientSite", IID_IOleClientSite, "{00000118-0000-0000-C000-000000000046}"},
      {"IOleWindow", IID_IOleWindow, "{00000114-0000-0000-C000-000000000046}"},
      {"IOleInPlaceSite", IID_IOleInPlaceSite, "{00000119-0000-0000-C000-000000000046}"},
      {"IOleInPlaceFrame", IID_IOleInPlaceFrame, "{00000116-0000-0000-C000-000000000046}"},
      {"IOleInPlaceUIWindow", IID_IOleInPlaceUIWindow, "{00000115-0000-0000-C000-000000000046}"},
      {"IOleInPlaceObject", IID_IOleInPlaceObject, "{00000113-0000-0000-C000-000000000046}"},
      {"IOleInPlaceActiveObject", IID_IOleInPlaceActiveObject,
       "{00000117-0000-0000-C000-000000000046}"},
      {"IConnectionPointContainer", IID_IConnectionPointContainer,
       "{B196B284-BAB4-101A-B69C-00AA00341D07}"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Spelled(c.id), c.wellKnown) << c.name;
  }
}

}  // namespace
