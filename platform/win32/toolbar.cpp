#include "platform/win32/toolbar.h"

#include <commctrl.h>

#include <vector>

#include "platform/win32/accessible.h"
#include "platform/win32/pictures.h"

namespace corvane::win32 {

namespace {

constexpr int kFirstToolbarCommand = 1000;

GdiObject Blank(int w, int h, COLORREF colour) {
  ScreenDc screen;
  GdiObject bitmap(::CreateCompatibleBitmap(screen.get(), w, h));
  const MemoryDc dc(screen.get());
  if (dc.get() != nullptr && bitmap) {
    const Selected selected(dc.get(), bitmap.get());
    const GdiObject brush(::CreateSolidBrush(colour));
    RECT all{0, 0, w, h};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(brush.get()));
  }
  return bitmap;
}

}  // namespace

Win32Toolbar::Win32Toolbar(Win32Window& form, const ControlDesign& design, HWND parent)
    : Placed(form, design) {
  DWORD style = WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER;
  style |= design.dock == Dock::Top ? static_cast<DWORD>(CCS_TOP)
                                    : static_cast<DWORD>(CCS_NORESIZE | CCS_NOPARENTALIGN);
  const RECT r = PixelRect();
  handle_ = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", style, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.NextId())),
                              form.Backend().Instance(), nullptr);
  if (handle_ == nullptr) {
    throw Failure("cannot create " + design.name);
  }
  ::SendMessageW(handle_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  if (const ControlDesign* list = form.Design().Find(design.imageList)) {
    MakeImageList(*list);
  }
  std::vector<TBBUTTON> buttons;
  for (std::size_t i = 0; i < design.buttons.size(); ++i) {
    TBBUTTON b{};
    b.iBitmap = design.buttons[i].image - 1;
    b.idCommand = kFirstToolbarCommand + static_cast<int>(i);
    b.fsState = TBSTATE_ENABLED;
    b.fsStyle = BTNS_BUTTON;
    b.iString = -1;
    buttons.push_back(b);
  }
  ::SendMessageW(handle_, TB_ADDBUTTONSW, buttons.size(),
                 reinterpret_cast<LPARAM>(buttons.data()));
  NameToolbarButtons(handle_, design, kFirstToolbarCommand);
  if (design.buttonWidth > 0 && design.buttonHeight > 0) {
    ::SendMessageW(handle_, TB_SETBUTTONSIZE, 0,
                   MAKELPARAM(design.buttonWidth, design.buttonHeight));
  }
  ::SendMessageW(handle_, TB_AUTOSIZE, 0, 0);
}

const ToolbarButtonDesign* Win32Toolbar::ButtonOf(int id) const {
  const int at = id - kFirstToolbarCommand;
  if (at < 0 || static_cast<std::size_t>(at) >= design_.buttons.size()) {
    return nullptr;
  }
  return &design_.buttons[static_cast<std::size_t>(at)];
}

void Win32Toolbar::MakeImageList(const ControlDesign& list) {
  const int w = list.imageWidth > 0 ? list.imageWidth : 24;
  const int h = list.imageHeight > 0 ? list.imageHeight : 24;
  images_.reset(::ImageList_Create(w, h, ILC_COLOR24 | ILC_MASK,
                                   static_cast<int>(list.images.size()), 0));
  if (!images_) {
    return;
  }
  const COLORREF mask = list.maskColor ? ToColorRef(*list.maskColor) : CLR_NONE;
  for (const ImageDesign& image : list.images) {
    GdiObject bitmap = LoadBitmapPicture(image.resource, w, h);
    if (!bitmap) {
      // A missing picture keeps its place, so the others stay on their
      // buttons; it shows as the mask colour, which is drawn transparent.
      bitmap = Blank(w, h, list.maskColor ? ToColorRef(*list.maskColor) : RGB(192, 192, 192));
    }
    ::ImageList_AddMasked(images_.get(), static_cast<HBITMAP>(bitmap.get()), mask);
  }
  ::SendMessageW(handle_, TB_SETBITMAPSIZE, 0, MAKELPARAM(w, h));
  ::SendMessageW(handle_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
}

}  // namespace corvane::win32
