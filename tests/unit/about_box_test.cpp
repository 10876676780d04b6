// The About box: texts, keys, closing and reopening at its fixed place.
#include <gtest/gtest.h>

#include <string>

#include "about/frm_about.h"
#include "program/browser_program.h"
#include "platform/fake/fake_backend.h"

namespace corvane {
namespace {

using fake::FakeBackend;
using fake::FakeWindow;

class AboutBox : public ::testing::Test {
 protected:
  FakeBackend backend;
  BrowserProgram program{Ports{backend}, BuildSettings{""}};

  FakeWindow& Open() {
    program.Get<frmAbout>().Show();
    return backend.Window("frmAbout");
  }
};

TEST_F(AboutBox, LoadSetsCaptionTitleAndVersionAndKeepsTheFixedTexts) {
  FakeWindow& w = Open();
  EXPECT_EQ(w.Caption(), "About Corvane Ombrel");
  EXPECT_EQ(w.LabelNamed("lblTitle").Caption(), "Corvane Ombrel");
  EXPECT_EQ(w.LabelNamed("lblVersion").Caption(), "Version 1.0.0");
  EXPECT_EQ(w.LabelNamed("lblDescription").Caption(),
            "A perfrect web browser to achieve tasks with older operating systems such as "
            "windows 95.");
  EXPECT_EQ(w.LabelNamed("lblDisclaimer").Caption(),
            "Warning: this app is in BETA so it may have glitches and does not support html");
  EXPECT_EQ(w.Focused(), "cmdOK");
}

TEST_F(AboutBox, OkEscEnterAndTheCloseBoxUnloadIt) {
  struct Case {
    const char* what;
    void (*act)(FakeWindow&);
  };
  const Case closers[] = {
      {"OK clicked", [](FakeWindow& w) { w.ClickButton("cmdOK"); }},
      {"Esc", [](FakeWindow& w) { w.PressKey(27); }},
      {"Esc with System Info focused", [](FakeWindow& w) { w.SetFocus("cmdSysInfo"); w.PressKey(27); }},
      {"Enter", [](FakeWindow& w) { w.PressKey(13); }},
      {"Enter with the picture focused", [](FakeWindow& w) { w.SetFocus("picIcon"); w.PressKey(13); }},
      {"close box", [](FakeWindow& w) { w.CloseBox(); }},
  };
  for (const Case& c : closers) {
    SCOPED_TRACE(c.what);
    FakeBackend b;
    BrowserProgram p{Ports{b}, BuildSettings{""}};
    p.Get<frmAbout>().Show();
    c.act(b.Window("frmAbout"));
    EXPECT_FALSE(p.Get<frmAbout>().Loaded());
    EXPECT_EQ(b.Find("frmAbout"), nullptr);
  }
}

TEST_F(AboutBox, EnterOnSystemInfoPressesItAndKeepsTheBoxOpen) {
  FakeWindow& w = Open();
  w.SetFocus("cmdSysInfo");
  w.PressKey(13);
  EXPECT_TRUE(program.Get<frmAbout>().Loaded());
  w.PressAccessKey('s');
  EXPECT_TRUE(program.Get<frmAbout>().Loaded());
  EXPECT_EQ(w.Focused(), "cmdSysInfo");
}

TEST_F(AboutBox, ReopeningLoadsAfreshAtTheFixedPlaceWithTheFocusOnOk) {
  FakeWindow& first = Open();
  EXPECT_FLOAT_EQ(first.ScreenLeft(), 2340);
  EXPECT_FLOAT_EQ(first.ScreenTop(), 1935);
  first.SetFocus("cmdSysInfo");
  first.LabelNamed("lblTitle").SetCaption("changed");
  first.ClickButton("cmdOK");

  FakeWindow& second = Open();
  EXPECT_FLOAT_EQ(second.ScreenLeft(), 2340);
  EXPECT_FLOAT_EQ(second.ScreenTop(), 1935);
  EXPECT_EQ(second.Focused(), "cmdOK");
  EXPECT_EQ(second.LabelNamed("lblTitle").Caption(), "Corvane Ombrel");
  EXPECT_EQ(second.ShowCount(), 1);
}

TEST_F(AboutBox, ALoadThatCannotBuildTheWindowLeavesTheProgramConsistent) {
  backend.faults.FailOn("MakeWindow");
  EXPECT_THROW(program.Get<frmAbout>().Show(), Failure);
  EXPECT_FALSE(program.Get<frmAbout>().Loaded());
  EXPECT_EQ(program.LoadedCount(), 0);
  backend.faults.HealAll();
  Open();
  EXPECT_TRUE(program.Get<frmAbout>().Loaded());
  EXPECT_EQ(program.LoadedCount(), 1);
}

}  // namespace
}  // namespace corvane
