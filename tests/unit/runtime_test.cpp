// The forms runtime's guarantees: error modes, the dispatch boundary, and
// windows that unload themselves from their own handlers.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "about/frm_about.h"
#include "app/error_modes.h"
#include "app/identity.h"
#include "program/browser_program.h"
#include "browser/form1.h"
#include "platform/fake/fake_backend.h"
#include "splash/frm_splash.h"

namespace corvane {
namespace {

using fake::FakeBackend;
using fake::FakeWindow;

TEST(ErrorModes, SkipDropsEveryKindOfFailureAndTheNextStatementRuns) {
  int reached = 0;
  Skip([] { throw Failure("control refused"); });
  ++reached;
  Skip([] { throw std::out_of_range("index"); });
  ++reached;
  Skip([] { throw 42; });
  ++reached;
  Skip([&] { ++reached; });
  EXPECT_EQ(reached, 4);
}

TEST(ErrorModes, FlagGuardClearsTheFlagOnEveryPath) {
  bool hold = false;
  {
    FlagGuard guard(hold);
    EXPECT_TRUE(hold);
  }
  EXPECT_FALSE(hold);
  try {
    FlagGuard guard(hold);
    throw Failure("mid-update");
  } catch (const Failure&) {
    EXPECT_FALSE(hold);
  }
}

TEST(Identity, VersionTextIsPlainDecimalWithoutSignOrLeadingZeros) {
  struct Case {
    std::int16_t major, minor, revision;
    const char* text;
  };
  for (const Case& c : {Case{1, 0, 0, "Version 1.0.0"}, Case{10, 2, 305, "Version 10.2.305"},
                        Case{0, 0, 0, "Version 0.0.0"}, Case{-1, 0, 7, "Version 1.0.7"},
                        Case{32767, -32768, 9, "Version 32767.32768.9"}}) {
    EXPECT_EQ(identity::VersionText(c.major, c.minor, c.revision), c.text);
  }
  EXPECT_EQ(identity::VersionText(), "Version 1.0.0");
  EXPECT_STREQ(identity::Title, "Corvane Ombrel");
}

TEST(DispatchBoundary, AFailingStartUpLoadStillShowsTheSplashAndTheProgramRuns) {
  FakeBackend backend;
  backend.onCreate = [](FakeWindow& w) {
    if (w.Design().name == "frmSplash") {
      w.LabelNamed("lblVersion").faults.FailOn("Caption");
    }
  };
  BrowserProgram program{Ports{backend}, BuildSettings{""}};
  program.Start();
  ASSERT_TRUE(program.Get<frmSplash>().Loaded());
  EXPECT_TRUE(backend.Window("frmSplash").Visible());
  // The load ended at the failing statement: the product name was never set.
  EXPECT_EQ(backend.Window("frmSplash").LabelNamed("lblProductName").Caption(), "");
  backend.Window("frmSplash").PressKey('q');
  EXPECT_TRUE(program.Get<Form1>().Loaded());
}

TEST(DispatchBoundary, AFailingAboutLoadStillShowsAWindowThatCanBeClosed) {
  FakeBackend backend;
  backend.onCreate = [](FakeWindow& w) {
    if (w.Design().name == "frmAbout") {
      w.faults.FailOn("SetCaption");
    }
  };
  BrowserProgram program{Ports{backend}, BuildSettings{""}};
  program.Start();
  backend.Window("frmSplash").PressKey('q');
  EXPECT_THROW(program.Get<frmAbout>().Show(), Failure);
  ASSERT_TRUE(program.Get<frmAbout>().Loaded());
  EXPECT_TRUE(backend.Window("frmAbout").Visible());
  backend.Window("Form1").CloseBox();
  EXPECT_FALSE(program.Ended());
  backend.Window("frmAbout").PressKey(27);
  EXPECT_TRUE(program.Ended());
}

TEST(DispatchBoundary, AWindowUnloadedByItsOwnHandlerIsDestroyedAfterTheEvent) {
  FakeBackend backend;
  BrowserProgram program{Ports{backend}, BuildSettings{""}};
  program.Start();
  bool aliveWhenHidden = false;
  backend.onNote = [&](const std::string& entry) {
    if (entry == "hide frmSplash") {
      aliveWhenHidden = backend.Find("frmSplash") != nullptr;
    }
  };
  backend.Window("frmSplash").PressKey('q');
  EXPECT_TRUE(aliveWhenHidden);
  EXPECT_EQ(backend.Find("frmSplash"), nullptr);
}

TEST(DispatchBoundary, EventsOfAnUnloadedWindowReachNoHandler) {
  FakeBackend backend;
  BrowserProgram program{Ports{backend}, BuildSettings{""}};
  program.Start();
  FakeWindow& splash = backend.Window("frmSplash");
  program.Get<frmAbout>().Show();  // keep the program alive
  program.Get<frmSplash>().Unload();
  // Not drained yet: the window object still exists, but is cut off.
  std::int16_t key = 'x';
  Event press{.type = EventType::KeyPress, .keyAscii = &key};
  splash.Raise(press);
  EXPECT_FALSE(program.Get<Form1>().Loaded());
  backend.Drain();
  EXPECT_EQ(backend.Find("frmSplash"), nullptr);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

TEST(StartUp, WithoutAStartUpWindowTheLoopNeverRunsAndRunReturns) {
  fake::FakeBackend backend;
  backend.faults.FailOn("MakeWindow");
  BrowserProgram program{Ports{backend}, BuildSettings{""}};
  EXPECT_EQ(program.Run(), 0);
  EXPECT_EQ(backend.RunCount(), 0);  // a real loop would wait forever
  EXPECT_EQ(program.LoadedCount(), 0);
}

}  // namespace
}  // namespace corvane
