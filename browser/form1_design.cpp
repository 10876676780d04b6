// The browser window as designed.
#include "browser/form1.h"

namespace corvane {

namespace {

constexpr Color kLightGrey{192, 192, 192};

ToolbarButtonDesign Button(const char* key, std::int16_t image) {
  return ToolbarButtonDesign{.key = key, .toolTip = key, .image = image};
}

WindowDesign MakeDesign() {
  WindowDesign w;
  w.name = "Form1";
  w.caption = "Form1";
  w.border = BorderStyle::Sizable;
  w.clientWidth = 15165;
  w.clientHeight = 11115;
  w.startPosition = StartPosition::WindowsDefault;
  // The window sees every key first, for its shortcuts.
  w.keyPreview = true;

  w.controls = {
      {.kind = ControlKind::ImageList, .name = "imlIcons",
       .images = {{"toolbar_back"}, {"toolbar_forward"}, {"toolbar_stop"}, {"toolbar_refresh"},
                  {"toolbar_home"}, {"toolbar_search"}, {"toolbar_about"}},
       .imageWidth = 24, .imageHeight = 24, .maskColor = kLightGrey},
      {.kind = ControlKind::Toolbar, .name = "tbToolBar", .left = 0, .top = 0, .width = 15165,
       .height = 540, .dock = Dock::Top, .tabIndex = 4, .tabStop = true,
       .buttons = {Button("Back", 1), Button("Forward", 2), Button("Stop", 3),
                   Button("Refresh", 4), Button("Home", 5), Button("Search", 6),
                   Button("About", 7)},
       .buttonWidth = 31, .buttonHeight = 30, .imageList = "imlIcons"},
      {.kind = ControlKind::PictureBox, .name = "picAddress", .left = 0, .top = 540,
       .width = 15165, .height = 675, .border = false, .dock = Dock::Top, .tabIndex = 1,
       .tabStop = false},
      // Its access key puts the focus into the address box.
      {.kind = ControlKind::Label, .name = "lblAddress", .container = "picAddress", .left = 45,
       .top = 60, .width = 3075, .height = 255, .caption = "&Address:", .tabIndex = 3,
       .mnemonicTarget = "cboAddress"},
      {.kind = ControlKind::ComboBox, .name = "cboAddress", .container = "picAddress",
       .left = 45, .top = 300, .width = 3795, .height = 315, .tabIndex = 2, .tabStop = true},
      {.kind = ControlKind::WebBrowser, .name = "brwWebBrowser", .left = 120, .top = 1200,
       .width = 15000, .height = 10440, .tabIndex = 0, .tabStop = true},
      {.kind = ControlKind::Timer, .name = "timTimer", .interval = 5, .enabled = false},
  };
  return w;
}

}  // namespace

const WindowDesign& Form1::TheDesign() {
  static const WindowDesign design = MakeDesign();
  return design;
}

}  // namespace corvane
