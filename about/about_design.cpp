// The About box as designed.
#include "about/frm_about.h"

namespace corvane {

namespace {

constexpr Color kBlack{0, 0, 0};
constexpr Color kWhite{255, 255, 255};
constexpr Color kGrey{128, 128, 128};

WindowDesign MakeDesign() {
  WindowDesign w;
  w.name = "frmAbout";
  w.caption = "About";
  w.border = BorderStyle::FixedDialog;
  w.controlBox = true;
  w.minButton = false;
  w.maxButton = false;
  w.clientWidth = 5730;
  w.clientHeight = 3555;
  w.startPosition = StartPosition::Manual;
  w.left = 2340;
  w.top = 1935;
  w.showInTaskbar = false;

  w.controls = {
      {.kind = ControlKind::PictureBox, .name = "picIcon", .left = 240, .top = 240,
       .width = 540, .height = 540, .autoSize = true, .border = false, .tabIndex = 1,
       .tabStop = true, .picture = "logo", .description = "Corvane Ombrel logo"},
      {.kind = ControlKind::Label, .name = "lblTitle", .left = 1050, .top = 240, .width = 3885,
       .height = 480, .foreColor = kBlack},
      {.kind = ControlKind::Label, .name = "lblVersion", .left = 1050, .top = 780,
       .width = 3885, .height = 225},
      {.kind = ControlKind::Label, .name = "lblDescription", .left = 1050, .top = 1125,
       .width = 3885, .height = 1170,
       .caption = "A perfrect web browser to achieve tasks with older operating systems such "
                  "as windows 95.",
       .foreColor = kBlack, .wordWrap = true},
      {.kind = ControlKind::Label, .name = "lblDisclaimer", .left = 255, .top = 2625,
       .width = 3870, .height = 825,
       .caption = "Warning: this app is in BETA so it may have glitches and does not support "
                  "html",
       .foreColor = kBlack, .wordWrap = true},
      {.kind = ControlKind::CommandButton, .name = "cmdOK", .left = 4245, .top = 2625,
       .width = 1260, .height = 345, .caption = "OK", .tabIndex = 0, .tabStop = true,
       .isDefault = true, .isCancel = true},
      {.kind = ControlKind::CommandButton, .name = "cmdSysInfo", .left = 4260, .top = 3075,
       .width = 1245, .height = 345, .caption = "&System Info...", .tabIndex = 2,
       .tabStop = true},
      // The etched separator: grey above white, 15 twips apart. A line's
      // width/height hold its second end.
      {.kind = ControlKind::Line, .name = "Line1", .index = 0, .left = 105, .top = 2460,
       .width = 5654, .height = 2460, .borderColor = kWhite, .borderWidth = 2},
      {.kind = ControlKind::Line, .name = "Line1", .index = 1, .left = 90, .top = 2445,
       .width = 5654, .height = 2445, .borderColor = kGrey, .borderWidth = 1,
       .insideSolid = true},
  };
  return w;
}

}  // namespace

const WindowDesign& frmAbout::TheDesign() {
  static const WindowDesign design = MakeDesign();
  return design;
}

}  // namespace corvane
