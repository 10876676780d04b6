// The program's pictures, by the names the design tables use.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/win32/handles.h"

namespace corvane::win32 {

enum class PictureType { Icon, Bitmap };

struct PictureId {
  int resource = 0;  // 0: no such picture
  PictureType type = PictureType::Bitmap;
};

// The resource that holds the picture a design table calls `name`.
PictureId PictureResource(std::string_view name);

// Loads a picture at the given size in pixels (0, 0: its own size). Missing
// pictures give an empty handle; the control then shows nothing.
IconHandle LoadIconPicture(std::string_view name, int width, int height);
GdiObject LoadBitmapPicture(std::string_view name, int width, int height);

}  // namespace corvane::win32
