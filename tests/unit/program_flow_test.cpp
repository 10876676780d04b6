// Start-up, splash dismissal and the window instance model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "program/browser_program.h"
#include "browser/form1.h"
#include "platform/fake/fake_backend.h"
#include "splash/frm_splash.h"

namespace corvane {
namespace {

using fake::FakeBackend;

class ProgramFlow : public ::testing::Test {
 protected:
  FakeBackend backend;
  BrowserProgram program{Ports{backend}, BuildSettings{"start.example"}};

  std::ptrdiff_t Position(const std::string& entry) const {
    const auto& j = backend.Journal();
    return std::find(j.begin(), j.end(), entry) - j.begin();
  }
  bool Logged(const std::string& entry) const {
    return Position(entry) < static_cast<std::ptrdiff_t>(backend.Journal().size());
  }
};

TEST_F(ProgramFlow, StartShowsOnlyTheSplashWithItsTextsSetBeforeShowing) {
  std::string versionWhenShown;
  std::string productWhenShown;
  backend.onNote = [&](const std::string& entry) {
    if (entry == "show frmSplash") {
      versionWhenShown = backend.Window("frmSplash").LabelNamed("lblVersion").Caption();
      productWhenShown = backend.Window("frmSplash").LabelNamed("lblProductName").Caption();
    }
  };
  program.Start();

  EXPECT_EQ(backend.Journal(), (std::vector<std::string>{"create frmSplash", "show frmSplash"}));
  EXPECT_EQ(versionWhenShown, "Version 1.0.0");
  EXPECT_EQ(productWhenShown, "Corvane Ombrel");
  EXPECT_EQ(program.LoadedCount(), 1);
  EXPECT_FALSE(program.Ended());
}

TEST_F(ProgramFlow, DismissalShowsTheBrowserBeforeTheSplashGoesAndNeverEmptiesTheProgram) {
  struct Case {
    const char* what;
    std::function<void(FakeBackend&)> act;
  };
  // Frame1 sits at 150,60 on the window; children are counted from its corner.
  const std::vector<Case> dismissals = {
      {"letter", [](FakeBackend& b) { b.Window("frmSplash").PressKey('x'); }},
      {"Enter", [](FakeBackend& b) { b.Window("frmSplash").PressKey(13); }},
      {"Esc", [](FakeBackend& b) { b.Window("frmSplash").PressKey(27); }},
      {"Backspace", [](FakeBackend& b) { b.Window("frmSplash").PressKey(8); }},
      {"frame's empty area", [](FakeBackend& b) { b.Window("frmSplash").ClickAt(150 + 6500, 60 + 300); }},
      {"Line2 (horizontal)", [](FakeBackend& b) { b.Window("frmSplash").ClickAt(150 + 5300, 60 + 1921); }},
      {"Line1 (slanted, right end)", [](FakeBackend& b) { b.Window("frmSplash").ClickAt(150 + 5600, 60 + 1922); }},
  };
  for (const Case& c : dismissals) {
    SCOPED_TRACE(c.what);
    FakeBackend b;
    BrowserProgram p{Ports{b}, BuildSettings{"start.example"}};
    p.Start();
    bool alwaysSomeWindow = true;
    b.onNote = [&](const std::string&) { alwaysSomeWindow = alwaysSomeWindow && p.LoadedCount() > 0; };
    c.act(b);

    const auto& j = b.Journal();
    const auto showBrowser = std::find(j.begin(), j.end(), "show Form1");
    const auto hideSplash = std::find(j.begin(), j.end(), "hide frmSplash");
    ASSERT_NE(showBrowser, j.end());
    ASSERT_NE(hideSplash, j.end());
    EXPECT_LT(showBrowser, hideSplash);
    EXPECT_NE(std::find(j.begin(), j.end(), "destroy frmSplash"), j.end());
    EXPECT_TRUE(alwaysSomeWindow);
    EXPECT_FALSE(p.Get<frmSplash>().Loaded());
    EXPECT_TRUE(p.Get<Form1>().Loaded());
    EXPECT_EQ(p.LoadedCount(), 1);
    EXPECT_EQ(b.QuitCount(), 0);
  }
}

TEST_F(ProgramFlow, ClicksOutsideTheFrameOrOnItsControlsDoNothing) {
  struct Case {
    const char* what;
    float x;
    float y;
  };
  // Window coordinates: Frame1's children at their designed places plus 150,60.
  const std::vector<Case> misses = {
      {"imgLogo", 150 + 300, 60 + 1000},
      {"lblProductName over the logo", 150 + 1900, 60 + 1300},
      {"Label1 where Line2 crosses it", 150 + 2000, 60 + 1925},
      {"lblCompanyProduct", 150 + 2400, 60 + 800},
      {"lblPlatform", 150 + 5600, 60 + 2400},
      {"lblVersion", 150 + 5500, 60 + 2750},
      {"lblCompany (shows no text)", 150 + 4500, 60 + 3300},
      {"lblCopyright", 150 + 4500, 60 + 3100},
      {"lblWarning", 150 + 300, 60 + 3600},
      {"left margin", 100, 1000},
      {"top margin", 3000, 30},
      {"right margin", 7300, 1000},
      {"bottom margin", 3000, 4200},
  };
  for (const Case& c : misses) {
    SCOPED_TRACE(c.what);
    FakeBackend b;
    BrowserProgram p{Ports{b}, BuildSettings{"start.example"}};
    p.Start();
    b.Window("frmSplash").ClickAt(c.x, c.y);
    EXPECT_TRUE(p.Get<frmSplash>().Loaded());
    EXPECT_EQ(b.Find("Form1"), nullptr);
  }
}

// The labels that size themselves to their text take clicks on the
// rectangle they have after sizing: on their text beyond a designed edge
// nothing happens, just past a sized edge is the frame. The right-aligned
// ones keep their right edge, the others their left.
TEST_F(ProgramFlow, SplashLabelsThatSizeThemselvesAreHitWhereTheyAreSized) {
  enum class From : std::uint8_t { DesignedLeft, DesignedRight, SizedLeft, SizedRight };
  const struct Case {
    const char* label;
    From from;
    float offset;  // twips along x from that edge
    bool dismisses;
  } cases[] = {
      {"lblProductName", From::DesignedRight, 100, false},
      {"lblProductName", From::SizedRight, 30, true},
      {"lblCompanyProduct", From::SizedRight, 30, true},
      {"lblVersion", From::DesignedLeft, -100, false},
      {"lblVersion", From::SizedLeft, -30, true},
      {"lblPlatform", From::SizedLeft, -30, true},
  };
  const ControlDesign& frame = *frmSplash::TheDesign().Find("Frame1");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.label) + " " + std::to_string(static_cast<int>(c.from)));
    FakeBackend b;
    BrowserProgram p{Ports{b}, BuildSettings{"start.example"}};
    p.Start();
    const ControlDesign& designed = *frmSplash::TheDesign().Find(c.label);
    const Label& label = b.Window("frmSplash").LabelNamed(c.label);
    const float designedRight = designed.left + designed.width;
    if (designed.alignment == Alignment::Right) {
      EXPECT_FLOAT_EQ(label.Left() + label.Width(), designedRight);
    } else {
      EXPECT_FLOAT_EQ(label.Left(), designed.left);
    }
    const float edges[] = {designed.left, designedRight, label.Left(),
                           label.Left() + label.Width()};
    const float x = edges[static_cast<int>(c.from)] + c.offset;
    // A point beyond a designed edge must lie on the sized label's text.
    if (c.from == From::DesignedLeft || c.from == From::DesignedRight) {
      ASSERT_GT(x, label.Left());
      ASSERT_LT(x, label.Left() + label.Width());
    }
    b.Window("frmSplash").ClickAt(frame.left + x, frame.top + label.Top() + label.Height() / 2);
    EXPECT_EQ(!p.Get<frmSplash>().Loaded(), c.dismisses);
  }
}

TEST_F(ProgramFlow, TheSplashStillShowsWhileTheBrowserLoadsAndNavigates) {
  program.Start();
  bool splashVisibleWhenBrowserShown = false;
  backend.onNote = [&](const std::string& entry) {
    if (entry == "show Form1") {
      splashVisibleWhenBrowserShown = backend.Window("frmSplash").Visible();
    }
  };
  backend.Window("frmSplash").PressKey('a');
  EXPECT_TRUE(splashVisibleWhenBrowserShown);
}

TEST_F(ProgramFlow, AboutBoxLoadsOnceWhileShownAndAfreshAfterAnUnload) {
  program.Start();
  backend.Window("frmSplash").PressKey('a');
  frmAbout& about = program.Get<frmAbout>();

  about.Show();
  fake::FakeWindow* first = &backend.Window("frmAbout");
  first->LabelNamed("lblVersion").SetCaption("marked");  // would be reset by a second load
  about.Show();
  EXPECT_EQ(&backend.Window("frmAbout"), first);
  EXPECT_EQ(first->ShowCount(), 1);
  EXPECT_EQ(first->LabelNamed("lblVersion").Caption(), "marked");

  first->ClickButton("cmdOK");
  EXPECT_FALSE(about.Loaded());
  EXPECT_EQ(backend.Find("frmAbout"), nullptr);  // controls destroyed

  about.Show();
  EXPECT_EQ(&program.Get<frmAbout>(), &about);  // the instance survives
  EXPECT_EQ(backend.Window("frmAbout").LabelNamed("lblVersion").Caption(), "Version 1.0.0");
  EXPECT_EQ(backend.Window("frmAbout").Caption(), "About Corvane Ombrel");
}

TEST_F(ProgramFlow, MembersSurviveAnUnload) {
  program.Start();
  backend.Window("frmSplash").PressKey('a');
  Form1& browser = program.Get<Form1>();
  browser.StartingAddress = "kept";
  program.Get<frmAbout>().Show();  // keeps the program alive
  browser.Unload();
  EXPECT_FALSE(browser.Loaded());
  EXPECT_EQ(program.Get<Form1>().StartingAddress, "kept");
}

TEST_F(ProgramFlow, TheProgramEndsExactlyWhenTheLastWindowUnloads) {
  struct Case {
    const char* what;
    bool aboutOpen;
    bool closeAboutWithOk;
  };
  for (const Case& c : {Case{"browser alone", false, false},
                        Case{"About closed by OK after the browser", true, true},
                        Case{"About closed by its close box after the browser", true, false}}) {
    SCOPED_TRACE(c.what);
    FakeBackend b;
    BrowserProgram p{Ports{b}, BuildSettings{"start.example"}};
    p.Start();
    b.Window("frmSplash").PressKey('a');
    if (c.aboutOpen) {
      p.Get<frmAbout>().Show();
      ASSERT_TRUE(p.Get<frmAbout>().Loaded());
    }
    b.Window("Form1").CloseBox();
    EXPECT_FALSE(p.Get<Form1>().Loaded());
    if (c.aboutOpen) {
      EXPECT_EQ(b.QuitCount(), 0);
      EXPECT_FALSE(p.Ended());
      if (c.closeAboutWithOk) {
        b.Window("frmAbout").PressKey(27);
      } else {
        b.Window("frmAbout").CloseBox();
      }
    }
    EXPECT_TRUE(p.Ended());
    EXPECT_EQ(b.QuitCount(), 1);
    EXPECT_EQ(p.LoadedCount(), 0);
    EXPECT_EQ(b.Find("Form1"), nullptr);
    EXPECT_EQ(b.Find("frmAbout"), nullptr);
  }
}

}  // namespace
}  // namespace corvane
