// The Find window as designed.
#include "find/frm_find.h"

namespace corvane {

namespace {

WindowDesign MakeDesign() {
  WindowDesign w;
  w.name = "frmFind";
  w.caption = "Find";
  w.border = BorderStyle::FixedDialog;
  w.controlBox = true;
  w.minButton = false;
  w.maxButton = false;
  w.clientWidth = 5640;
  w.clientHeight = 1710;
  // Over the page's top-right corner, clear of the toolbar and the address
  // box: left is the gap to the owner's right edge, top the distance from
  // its top. The page scrolls a match to its middle, so this covers none.
  w.startPosition = StartPosition::OwnerTopRight;
  w.left = 360;
  w.top = 1500;
  w.showInTaskbar = false;
  w.owner = "Form1";

  // The direction frame starts well below the text box, whose themed height
  // may be more than designed (GTK's is about 34 pixels).
  w.controls = {
      {.kind = ControlKind::Label, .name = "lblFind", .left = 120, .top = 165, .width = 1035,
       .height = 255, .caption = "Fi&nd what:", .tabIndex = 6, .mnemonicTarget = "txtFind"},
      {.kind = ControlKind::TextBox, .name = "txtFind", .left = 1170, .top = 120, .width = 2880,
       .height = 315, .tabIndex = 0, .tabStop = true},
      {.kind = ControlKind::CheckBox, .name = "chkMatchCase", .left = 120, .top = 900,
       .width = 1500, .height = 300, .caption = "Match &case", .tabIndex = 1, .tabStop = true},
      {.kind = ControlKind::Frame, .name = "fraDirection", .left = 1740, .top = 660,
       .width = 2310, .height = 600, .caption = "Direction"},
      {.kind = ControlKind::OptionButton, .name = "optUp", .container = "fraDirection",
       .left = 120, .top = 255, .width = 900, .height = 270, .caption = "&Up", .tabIndex = 2,
       .tabStop = true},
      {.kind = ControlKind::OptionButton, .name = "optDown", .container = "fraDirection",
       .left = 1110, .top = 255, .width = 1080, .height = 270, .caption = "&Down",
       .tabIndex = 3, .tabStop = true, .value = true},
      {.kind = ControlKind::CommandButton, .name = "cmdFindNext", .left = 4230, .top = 120,
       .width = 1290, .height = 345, .caption = "&Find Next", .tabIndex = 4, .tabStop = true,
       .isDefault = true},
      {.kind = ControlKind::CommandButton, .name = "cmdCancel", .left = 4230, .top = 555,
       .width = 1290, .height = 345, .caption = "Cancel", .tabIndex = 5, .tabStop = true,
       .isCancel = true},
      // What the last search found.
      {.kind = ControlKind::Label, .name = "lblStatus", .left = 120, .top = 1350, .width = 5400,
       .height = 255},
  };
  return w;
}

}  // namespace

const WindowDesign& frmFind::TheDesign() {
  static const WindowDesign design = MakeDesign();
  return design;
}

}  // namespace corvane
