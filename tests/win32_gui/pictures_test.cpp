// The pictures the windows name, as the Win32 front end loads them from the
// program's resources (the test executable holds the same ones): each is
// found as its kind, and each image-list picture has the pixels of the file
// resources/ holds for it, so that no id stands for another's picture.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "browser/form1.h"
#include "find/frm_find.h"
#include "platform/win32/handles.h"
#include "platform/win32/pictures.h"
#include "splash/frm_splash.h"

namespace corvane::win32 {
namespace {

// The pixel rows of a 24-bit bitmap file as stored (bottom-up, each row
// padded to four bytes); none when the file cannot be read.
std::vector<std::uint8_t> FilePixels(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(file), {}};
  if (data.size() < 14) {
    return {};
  }
  const std::uint32_t offset = data[10] | data[11] << 8U | data[12] << 16U | data[13] << 24U;
  return {data.begin() + std::min<std::size_t>(offset, data.size()), data.end()};
}

// The same rows read back from a loaded bitmap.
std::vector<std::uint8_t> LoadedPixels(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as the file stores them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>((width * 3 + 3) / 4 * 4 * height));
  const ScreenDc screen;
  if (::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), rows.data(), &info,
                  DIB_RGB_COLORS) != height) {
    return {};
  }
  return rows;
}

TEST(ProgramPictures, EachPictureTheWindowsNameComesFromTheFileResourcesHoldsForIt) {
  int bitmaps = 0;
  int icons = 0;
  for (const WindowDesign* design : {&frmSplash::TheDesign(), &Form1::TheDesign(),
                                     &frmAbout::TheDesign(), &frmFind::TheDesign()}) {
    for (const ControlDesign& control : design->controls) {
      if (!control.picture.empty()) {
        SCOPED_TRACE(control.picture);
        EXPECT_NE(PictureResource(control.picture).resource, 0);
        EXPECT_TRUE(LoadIconPicture(control.picture, 32, 32));
        EXPECT_FALSE(LoadBitmapPicture(control.picture, 32, 32)) << "an icon loaded as a bitmap";
        ++icons;
      }
      for (const ImageDesign& image : control.images) {
        SCOPED_TRACE(image.resource);
        const GdiObject bitmap =
            LoadBitmapPicture(image.resource, control.imageWidth, control.imageHeight);
        ASSERT_TRUE(bitmap);
        const std::vector<std::uint8_t> file =
            FilePixels(CORVANE_TEST_RESOURCES "/toolbar/" + image.resource + ".bmp");
        ASSERT_FALSE(file.empty()) << "resources/ holds no such file";
        EXPECT_EQ(LoadedPixels(static_cast<HBITMAP>(bitmap.get()), control.imageWidth,
                               control.imageHeight),
                  file);
        ++bitmaps;
      }
    }
  }
  EXPECT_EQ(bitmaps, 7) << "the browser window's toolbar has seven pictures";
  EXPECT_EQ(icons, 2) << "the splash window and the About box show the logo";
  // A name no list holds gives no resource and empty handles.
  EXPECT_EQ(PictureResource("no_such_picture").resource, 0);
  EXPECT_FALSE(LoadIconPicture("no_such_picture", 32, 32));
  EXPECT_FALSE(LoadBitmapPicture("no_such_picture", 24, 24));
}

}  // namespace
}  // namespace corvane::win32
