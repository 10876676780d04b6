// The splash window as designed.
#include "splash/frm_splash.h"

namespace corvane {

namespace {

FontDesign Arial(float points, bool bold, bool italic = false) {
  return FontDesign{.face = "Arial", .points = points, .bold = bold, .italic = italic};
}

WindowDesign MakeDesign() {
  WindowDesign w;
  w.name = "frmSplash";
  w.caption = "";
  w.border = BorderStyle::FixedDialog;
  w.controlBox = false;
  w.minButton = false;
  w.maxButton = false;
  w.clientWidth = 7380;
  w.clientHeight = 4245;
  w.startPosition = StartPosition::CenterScreen;
  w.showInTaskbar = false;
  w.keyPreview = true;

  w.controls = {
      {.kind = ControlKind::Frame, .name = "Frame1", .left = 150, .top = 60, .width = 7080,
       .height = 4050},
      // Inside the frame, in build order. A line's width/height hold its second end.
      {.kind = ControlKind::Line, .name = "Line2", .container = "Frame1", .left = 1680,
       .top = 1920, .width = 5520, .height = 1920, .borderWidth = 5},
      {.kind = ControlKind::Label, .name = "Label1", .container = "Frame1", .left = 1920,
       .top = 1920, .width = 3135, .height = 495, .caption = "Ombrel",
       .font = Arial(27.75F, true, true)},
      {.kind = ControlKind::Line, .name = "Line1", .container = "Frame1", .left = 1920,
       .top = 2040, .width = 5640, .height = 1920, .borderWidth = 5},
      {.kind = ControlKind::Image, .name = "imgLogo", .container = "Frame1", .left = 240,
       .top = 960, .width = 1815, .height = 2385, .picture = "logo",
       .description = "Corvane Ombrel logo"},
      // Its rectangle reaches down under lblWarning's first line, which lies
      // on top: the copyright's one line of text stays clear above it.
      {.kind = ControlKind::Label, .name = "lblCopyright", .container = "Frame1", .left = 3555,
       .top = 3030, .width = 3300, .height = 600,
       .caption = "Copyright 2026 Varnhollow Industries", .font = Arial(8.25F, false)},
      {.kind = ControlKind::Label, .name = "lblCompany", .container = "Frame1", .left = 4440,
       .top = 3270, .width = 2415, .height = 255, .caption = "", .font = Arial(8.25F, false)},
      {.kind = ControlKind::Label, .name = "lblWarning", .container = "Frame1", .left = 240,
       .top = 3570, .width = 6615, .height = 390,
       .caption = "Warning: this is beta software. It may contain errors; use it with care.",
       .font = Arial(8.25F, false), .wordWrap = true},
      {.kind = ControlKind::Label, .name = "lblVersion", .container = "Frame1", .left = 5490,
       .top = 2700, .width = 1365, .height = 285, .font = Arial(12, true), .autoSize = true,
       .alignment = Alignment::Right},
      {.kind = ControlKind::Label, .name = "lblPlatform", .container = "Frame1", .left = 5025,
       .top = 2340, .width = 1830, .height = 360, .caption = "Windows 95",
       .font = Arial(15.75F, true), .autoSize = true, .alignment = Alignment::Right},
      {.kind = ControlKind::Label, .name = "lblProductName", .container = "Frame1",
       .left = 1800, .top = 1200, .width = 2205, .height = 630,
       .font = Arial(27.75F, true, true), .autoSize = true},
      {.kind = ControlKind::Label, .name = "lblCompanyProduct", .container = "Frame1",
       .left = 2355, .top = 705, .width = 3375, .height = 435,
       .caption = "Varnhollow Software", .font = Arial(18, true), .autoSize = true},
  };
  return w;
}

}  // namespace

const WindowDesign& frmSplash::TheDesign() {
  static const WindowDesign design = MakeDesign();
  return design;
}

}  // namespace corvane
