#include "platform/win32/pictures.h"

#include <array>
#include <utility>

#include "resources/win32/resource_ids.h"

namespace corvane::win32 {

PictureId PictureResource(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, PictureId>, 8> kPictures{{
      {"logo", {IDP_LOGO, PictureType::Icon}},
      {"toolbar_back", {IDB_TOOLBAR_BACK, PictureType::Bitmap}},
      {"toolbar_forward", {IDB_TOOLBAR_FORWARD, PictureType::Bitmap}},
      {"toolbar_stop", {IDB_TOOLBAR_STOP, PictureType::Bitmap}},
      {"toolbar_refresh", {IDB_TOOLBAR_REFRESH, PictureType::Bitmap}},
      {"toolbar_home", {IDB_TOOLBAR_HOME, PictureType::Bitmap}},
      {"toolbar_search", {IDB_TOOLBAR_SEARCH, PictureType::Bitmap}},
      {"toolbar_about", {IDB_TOOLBAR_ABOUT, PictureType::Bitmap}},
  }};
  for (const auto& [known, id] : kPictures) {
    if (known == name) {
      return id;
    }
  }
  return {};
}

IconHandle LoadIconPicture(std::string_view name, int width, int height) {
  const PictureId id = PictureResource(name);
  if (id.resource == 0 || id.type != PictureType::Icon) {
    return IconHandle();
  }
  return IconHandle(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                    MAKEINTRESOURCEW(id.resource), IMAGE_ICON,
                                                    width, height, LR_DEFAULTCOLOR)));
}

GdiObject LoadBitmapPicture(std::string_view name, int width, int height) {
  const PictureId id = PictureResource(name);
  if (id.resource == 0) {
    return GdiObject();
  }
  if (id.type == PictureType::Icon) {
    return GdiObject();
  }
  return GdiObject(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id.resource),
                                IMAGE_BITMAP, width, height, LR_CREATEDIBSECTION));
}

}  // namespace corvane::win32
