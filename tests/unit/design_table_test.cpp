// Design-table rules that both front ends rely on: hit testing, nesting,
// access keys, and the window properties of the splash and the About box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about/frm_about.h"
#include "platform/ports/design.h"
#include "splash/frm_splash.h"

namespace corvane {
namespace {

TEST(DesignTable, SplashControlsAreBuiltInsideTheFrameInTheirDesignedOrder) {
  const WindowDesign& d = frmSplash::TheDesign();
  std::vector<std::string> inFrame;
  for (const ControlDesign& c : d.controls) {
    if (c.container == "Frame1") {
      inFrame.push_back(c.name);
    }
  }
  EXPECT_EQ(inFrame, (std::vector<std::string>{"Line2", "Label1", "Line1", "imgLogo",
                                               "lblCopyright", "lblCompany", "lblWarning",
                                               "lblVersion", "lblPlatform", "lblProductName",
                                               "lblCompanyProduct"}));
  ASSERT_EQ(d.controls.size(), inFrame.size() + 1);
  EXPECT_EQ(d.controls.front().name, "Frame1");
}

TEST(DesignTable, WindowsHaveTheirBordersPlacesAndTaskbarPresence) {
  const WindowDesign& splash = frmSplash::TheDesign();
  EXPECT_EQ(splash.border, BorderStyle::FixedDialog);
  EXPECT_TRUE(splash.caption.empty());
  EXPECT_FALSE(splash.controlBox);  // together with no caption: no title bar
  EXPECT_EQ(splash.startPosition, StartPosition::CenterScreen);
  EXPECT_FALSE(splash.showInTaskbar);
  EXPECT_TRUE(splash.keyPreview);
  EXPECT_FLOAT_EQ(splash.clientWidth, 7380);
  EXPECT_FLOAT_EQ(splash.clientHeight, 4245);

  const WindowDesign& about = frmAbout::TheDesign();
  EXPECT_EQ(about.border, BorderStyle::FixedDialog);
  EXPECT_TRUE(about.controlBox);
  EXPECT_FALSE(about.minButton || about.maxButton);
  EXPECT_EQ(about.startPosition, StartPosition::Manual);
  EXPECT_FLOAT_EQ(about.left, 2340);
  EXPECT_FLOAT_EQ(about.top, 1935);
  EXPECT_FALSE(about.showInTaskbar);
  EXPECT_FLOAT_EQ(about.clientWidth, 5730);
  EXPECT_FLOAT_EQ(about.clientHeight, 3555);
}

TEST(DesignTable, HitTestHonoursKindsStackingAndContainerClipping) {
  WindowDesign d;
  d.controls = {
      {.kind = ControlKind::Frame, .name = "box", .left = 100, .top = 100, .width = 1000,
       .height = 1000},
      {.kind = ControlKind::Image, .name = "under", .container = "box", .left = 0, .top = 0,
       .width = 500, .height = 500},
      {.kind = ControlKind::Label, .name = "over", .container = "box", .left = 400, .top = 400,
       .width = 2000, .height = 200},
      {.kind = ControlKind::Line, .name = "rule", .container = "box", .left = 0, .top = 700,
       .width = 900, .height = 700, .borderWidth = 5},
      {.kind = ControlKind::Timer, .name = "tick"},
  };
  struct Case {
    float x, y;
    const char* expected;  // nullptr: the window itself
  };
  const Case cases[] = {
      {150, 150, "under"},
      {550, 550, "over"},     // built later, on top of the image
      {599, 599, "over"},
      {599, 499, "under"},
      {600, 450, "box"},      // right and bottom edges lie outside a control
      {700, 800, "box"},      // a line lets the click through
      {1050, 550, "over"},
      {1500, 550, nullptr},   // the label reaches past the frame, but is clipped by it
      {50, 50, nullptr},
      {0, 0, nullptr},        // the timer has no area to hit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    const ControlDesign* hit = HitTest(d, c.x, c.y);
    if (c.expected == nullptr) {
      EXPECT_EQ(hit, nullptr);
    } else {
      ASSERT_NE(hit, nullptr);
      EXPECT_EQ(hit->name, c.expected);
    }
  }
}

TEST(DesignTable, AccessKeysAndCaptionsWithoutTheirMarks) {
  const WindowDesign& about = frmAbout::TheDesign();
  ASSERT_NE(AccessKeyOwner(about, 'S'), nullptr);
  EXPECT_EQ(AccessKeyOwner(about, 's')->name, "cmdSysInfo");
  EXPECT_EQ(AccessKeyOwner(about, 'O'), nullptr);  // "OK" has no access key

  struct Case {
    const char* caption;
    const char* shown;
  };
  for (const Case& c : {Case{"&System Info...", "System Info..."}, Case{"&Address:", "Address:"},
                        Case{"Fish && Chips", "Fish & Chips"}, Case{"trailing&", "trailing"},
                        Case{"", ""}}) {
    EXPECT_EQ(StripAccessKey(c.caption), c.shown);
  }
  WindowDesign d;
  d.controls = {{.kind = ControlKind::Label, .name = "amp", .caption = "Fish && &Chips"}};
  ASSERT_NE(AccessKeyOwner(d, 'c'), nullptr);
  EXPECT_EQ(AccessKeyOwner(d, 'f'), nullptr);
}

}  // namespace
}  // namespace corvane
