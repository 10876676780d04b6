// The container side of hosting a control in place in a window: its client
// site, in-place site and in-place frame, one COM object. The control asks
// it for the window and the rectangles, and names its active object to it.
#pragma once

#include <windows.h>
#include <oleidl.h>

#include "platform/win32/handles.h"

namespace corvane::win32 {

// A site for a control hosted in `window`: the control fills its client
// area, and the window's top-level window is the frame.
ComPtr<IOleClientSite> MakeInPlaceSite(HWND window);

// The control's active object, as it last named it to `site` (made by
// MakeInPlaceSite); none before.
[[nodiscard]] ComPtr<IOleInPlaceActiveObject> ActiveObjectOf(const ComPtr<IOleClientSite>& site);

// `site` (made by MakeInPlaceSite) lets go of the active object.
void ForgetActiveObject(const ComPtr<IOleClientSite>& site);

}  // namespace corvane::win32
