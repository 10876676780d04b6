// The Find window on the fake backend: opened from the browser window's
// keys, searching its page, saying what it found, and giving the keyboard
// back to the page when it closes.
#include <string>
#include <vector>

#include "find/frm_find.h"
#include "form1_fixture.h"
#include "platform/kit/find_place.h"
#include "platform/ports/keys.h"

namespace corvane::testing {
namespace {

using Calls = std::vector<std::string>;
using keys::kCtrlMask;
using keys::kShiftMask;

constexpr std::int16_t kF3 = keys::Function(3);
// "word" at 4, "Word" at 14, "word" at 24.
const std::string kPage = "One word, two Word, and word.";

class FindWindow : public Form1Test {
 protected:
  void SetUp() override {
    Form1Test::SetUp();
    browser.Web().pageText = kPage;
  }
  fake::FakeWindow& Find() { return browser.backend.Window("frmFind"); }
  fake::FakeTextBox& Text() { return Find().TextBoxNamed("txtFind"); }
  std::string Status() { return Find().LabelNamed("lblStatus").Caption(); }
  void Open() { ASSERT_FALSE(browser.Window().PressKeyDown(keys::Letter('F'), kCtrlMask)); }
  // Types into the text box and presses Enter, as a user does.
  void TypeAndEnter(const std::string& text) {
    for (char c : text) {
      Find().Stroke(keys::Letter(static_cast<char>(std::toupper(c))), 0, c);
    }
    Find().Stroke(keys::kReturn, 0, keys::kReturn);
  }
};

TEST_F(FindWindow, CtrlFOpensItAboveThePageWithTheTextBoxReady) {
  Open();
  EXPECT_TRUE(Find().Visible());
  EXPECT_TRUE(Find().Active());
  EXPECT_EQ(Find().Focused(), "txtFind");
  EXPECT_TRUE(Text().AllSelected());
  EXPECT_TRUE(Find().CheckBoxNamed("optDown").Value());
  EXPECT_FALSE(Find().CheckBoxNamed("optUp").Value());
  // Its top-right corner inside the browser window's, below the address box.
  const fake::FakeWindow& owner = browser.Window();
  EXPECT_FLOAT_EQ(Find().ScreenLeft() + Find().ScaleWidth() + 360,
                  owner.ScreenLeft() + owner.ScaleWidth());
  EXPECT_FLOAT_EQ(Find().ScreenTop(), owner.ScreenTop() + 1500);
  // Ctrl+F again: the same window, shown once.
  Open();
  EXPECT_EQ(Find().ShowCount(), 1);
}

// Enter presses Find Next: the first search finds from the top, the next
// ones go on from the match and wrap at the end; Up goes back.
TEST_F(FindWindow, FindNextSelectsEachMatchInTurnAndWraps) {
  Open();
  const struct Step {
    const char* what;
    bool up;
    const char* typed;  // typed before Enter, or nullptr
    Calls calls;
    std::ptrdiff_t selected;
  } steps[] = {
      {"first", false, "word", {"Find(word)"}, 4},
      {"next", false, nullptr, {"FindNext()"}, 14},
      {"next", false, nullptr, {"FindNext()"}, 24},
      {"wraps to the top", false, nullptr, {"FindNext()"}, 4},
      {"up wraps to the end", true, nullptr, {"FindPrevious()"}, 24},
      {"up", true, nullptr, {"FindPrevious()"}, 14},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    browser.Web().calls.clear();
    Find().CheckBoxNamed(s.up ? "optUp" : "optDown").Press();
    if (s.typed != nullptr) {
      TypeAndEnter(s.typed);
    } else {
      Find().Stroke(keys::kReturn, 0, keys::kReturn);
    }
    EXPECT_EQ(browser.Web().calls, s.calls);
    EXPECT_EQ(browser.Web().selected, s.selected);
    EXPECT_EQ(Status(), "3 matches");
    EXPECT_TRUE(Find().Visible());
  }
}

TEST_F(FindWindow, MatchCaseDirectionAndAChangedTextStartANewSearch) {
  Open();
  TypeAndEnter("word");
  browser.Web().calls.clear();
  Find().PressAccessKey('c');  // Match case
  Find().PressAccessKey('u');  // Up
  EXPECT_EQ(Find().Focused(), "optUp");
  Find().PressAccessKey('f');  // Find Next
  EXPECT_EQ(browser.Web().calls, (Calls{"Find(word, case, up)"}));
  EXPECT_EQ(browser.Web().selected, 24);
  EXPECT_EQ(Status(), "2 matches");
  browser.Web().calls.clear();
  Text().SetText("Word");
  Find().ClickButton("cmdFindNext");
  EXPECT_EQ(browser.Web().calls, (Calls{"Find(Word, case, up)"}));
  EXPECT_EQ(Status(), "1 match");
  // Another page: the same text is searched afresh.
  browser.Web().RaiseNavigateComplete2("http://other.example/");
  browser.Web().calls.clear();
  Find().ClickButton("cmdFindNext");
  EXPECT_EQ(browser.Web().calls, (Calls{"Find(Word, case, up)"}));
}

TEST_F(FindWindow, NotFoundIsSaidInTheWindowAndAnEmptyTextSearchesNothing) {
  Open();
  Find().Stroke(keys::kReturn, 0, keys::kReturn);
  EXPECT_TRUE(browser.Web().calls.empty());
  EXPECT_EQ(Find().Focused(), "txtFind");
  TypeAndEnter("zebra");
  EXPECT_EQ(browser.Web().selected, -1);
  EXPECT_EQ(Status(), "Cannot find \"zebra\"");
  // A page that counts nothing: found, with no count shown.
  browser.Web().countsMatches = false;
  Text().SetText("two");
  Find().ClickButton("cmdFindNext");
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(browser.Web().selected, 10);
}

// After a match, the window moves off it where it covers it; "not found"
// leaves it where it is.
TEST_F(FindWindow, ItMovesOffEachMatchItCoversButNotWhenNothingIsFound) {
  Open();
  const Rect opened = Find().ScreenArea();
  const Rect match{opened.left + 1000, opened.top + 500, 900, 240};  // under its middle
  browser.Web().matchArea = match;
  for (const char* text : {"word", "word", "zebra"}) {
    Find().MoveTo(opened.left, opened.top);
    Text().SetText(text);
    Find().Stroke(keys::kReturn, 0, keys::kReturn);
    const Rect now = Find().ScreenArea();
    EXPECT_EQ(Overlap(now, match), text == std::string("zebra")) << text;
    EXPECT_FLOAT_EQ(now.left, opened.left);
  }
  EXPECT_EQ(browser.Web().calls, (Calls{"Find(word)", "FindNext()", "Find(zebra)"}));
}

// Esc and Cancel close it; the page gets the keyboard back, its search
// ended; the last text stays for F3 and the next opening.
TEST_F(FindWindow, EscOrCancelClosesItAndTheKeyboardGoesBackToThePage) {
  for (const bool esc : {true, false}) {
    SCOPED_TRACE(esc ? "Esc" : "Cancel");
    browser.Window().SetFocus("cboAddress");
    Open();
    TypeAndEnter("word");
    browser.Web().calls.clear();
    if (esc) {
      Find().Stroke(keys::kEscape, 0, keys::kEscape);
    } else {
      Find().ClickAt(4300, 600);
    }
    EXPECT_EQ(browser.backend.Find("frmFind"), nullptr);
    EXPECT_EQ(browser.Web().calls, (Calls{"FindFinish()", "SetFocus()"}));
    EXPECT_EQ(browser.Window().Focused(), "brwWebBrowser");
    EXPECT_TRUE(browser.Window().Active());
    EXPECT_EQ(browser.backend.Journal().back(), "destroy frmFind");
  }
  // Opened again, it shows the last text selected.
  Open();
  EXPECT_EQ(Text().Text(), "word");
  EXPECT_TRUE(Text().AllSelected());
}

TEST_F(FindWindow, F3AndShiftF3SearchAgainWithoutTheWindowAndOpenItWhenNothingIsFound) {
  EXPECT_FALSE(browser.Window().PressKeyDown(kF3));  // nothing searched yet: the window
  ASSERT_NE(browser.backend.Find("frmFind"), nullptr);
  TypeAndEnter("word");
  Find().Stroke(keys::kEscape, 0, keys::kEscape);
  browser.Web().calls.clear();
  EXPECT_FALSE(browser.Window().PressKeyDown(kF3));
  browser.backend.Drain();
  EXPECT_EQ(browser.Web().selected, 4);  // the search began afresh from the top
  EXPECT_FALSE(browser.Window().PressKeyDown(kF3));
  EXPECT_FALSE(browser.Window().PressKeyDown(kF3, kShiftMask));
  browser.backend.Drain();
  EXPECT_EQ(browser.Web().calls, (Calls{"Find(word)", "FindNext()", "FindPrevious()"}));
  EXPECT_EQ(browser.Web().selected, 4);
  EXPECT_EQ(browser.backend.Find("frmFind"), nullptr);
  // Not found: the window opens to say so.
  browser.Web().pageText = "nothing here";
  browser.Web().RaiseNavigateComplete2("http://other.example/");
  browser.Window().PressKeyDown(kF3);
  browser.backend.Drain();
  ASSERT_NE(browser.backend.Find("frmFind"), nullptr);
  EXPECT_EQ(Status(), "Cannot find \"word\"");
}

TEST_F(FindWindow, ClosingTheBrowserWindowTakesTheFindWindowAlongAndEndsTheProgram) {
  Open();
  TypeAndEnter("word");
  browser.Window().CloseBox();
  browser.backend.Drain();
  EXPECT_EQ(browser.backend.Find("frmFind"), nullptr);
  EXPECT_EQ(browser.TheProgram().LoadedCount(), 0);
  EXPECT_TRUE(browser.TheProgram().Ended());
  EXPECT_EQ(browser.backend.QuitCount(), 1);
}

}  // namespace
}  // namespace corvane::testing
