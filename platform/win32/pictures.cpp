#include "platform/win32/pictures.h"

#include <array>
#include <utility>

#include "resources/win32/resource_ids.h"

namespace corvane::win32 {

PictureId PictureResource(std::string_view name) {
  // The pictures of resources/pictures.txt, by their resource ids.
#define CORVANE_PICTURE(name, id, type) {name, {id, PictureType::type}},
  static constexpr auto kPictures = std::to_array<std::pair<std::string_view, PictureId>>(
      {CORVANE_PICTURES(CORVANE_PICTURE)});
#undef CORVANE_PICTURE
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
