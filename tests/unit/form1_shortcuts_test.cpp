// The browser window's keyboard shortcuts.
#include <string>
#include <vector>

#include "browser/shortcuts.h"
#include "form1_fixture.h"
#include "platform/ports/keys.h"

namespace corvane::testing {
namespace {

using Calls = std::vector<std::string>;
using keys::kAltMask;
using keys::kCtrlMask;
using keys::kShiftMask;

class Shortcuts : public Form1Test {};

// Each shortcut does what its button or action does, is consumed, and keys
// that are not shortcuts (other modifiers, plain letters) go on untouched.
TEST_F(Shortcuts, EachKeyRunsItsCommandAndOtherKeysGoOn) {
  struct Case {
    const char* name;
    std::int16_t code;
    std::int16_t shift;
    bool busy;
    Calls calls;       // web view operations
    bool consumed;
    bool pollOn;       // the poll timer, as a toolbar button leaves it
  };
  const std::vector<Case> cases = {
      {"F5", keys::Function(5), 0, false, {"Refresh()"}, true, true},
      {"Ctrl+R", keys::Letter('R'), kCtrlMask, false, {"Refresh()"}, true, true},
      {"Alt+Left", keys::kLeft, kAltMask, false, {"GoBack()"}, true, true},
      {"Alt+Right", keys::kRight, kAltMask, false, {"GoForward()"}, true, true},
      {"Alt+Home", keys::kHome, kAltMask, false, {"GoHome()"}, true, true},
      {"Esc while loading", keys::kEscape, 0, true, {"Stop()"}, true, false},
      {"Esc when idle", keys::kEscape, 0, false, {}, false, false},
      {"Left alone", keys::kLeft, 0, false, {}, false, false},
      {"Ctrl+Left", keys::kLeft, kCtrlMask, false, {}, false, false},
      {"Shift+F5", keys::Function(5), kShiftMask, false, {}, false, false},
      {"Ctrl+Alt+R", keys::Letter('R'), kCtrlMask | kAltMask, false, {}, false, false},
      {"R", keys::Letter('R'), 0, false, {}, false, false},
      {"Alt+A (the label's access key)", keys::Letter('A'), kAltMask, false, {}, false, false},
      {"Enter", keys::kReturn, 0, false, {}, false, false},
      {"Tab", keys::kTab, 0, false, {}, false, false},
      // With no text searched yet, the find keys open the Find window.
      {"Ctrl+F", keys::Letter('F'), kCtrlMask, false, {}, true, false},
      {"F3", keys::Function(3), 0, false, {}, true, false},
      {"Shift+F3", keys::Function(3), kShiftMask, false, {}, true, false},
      {"Ctrl+Shift+F", keys::Letter('F'), kCtrlMask | kShiftMask, false, {}, false, false},
      {"Ctrl+P", keys::Letter('P'), kCtrlMask, false, {"Print()"}, true, false},
      {"Ctrl+S", keys::Letter('S'), kCtrlMask, false, {"SavePage()"}, true, false},
      {"Ctrl+Shift+S", keys::Letter('S'), kCtrlMask | kShiftMask, false, {}, false, false},
      {"P", keys::Letter('P'), 0, false, {}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    browser.Web().calls.clear();
    browser.Web().busy = c.busy;
    browser.Poll().SetEnabled(false);
    const bool wentOn = browser.Window().PressKeyDown(c.code, c.shift);
    EXPECT_EQ(browser.Web().calls, c.calls);
    EXPECT_EQ(wentOn, !c.consumed);
    EXPECT_EQ(browser.Poll().Enabled(), c.pollOn);
  }
}

TEST_F(Shortcuts, StopByKeySetsThePageCaptionAsTheButtonDoes) {
  browser.Web().busy = true;
  browser.Web().locationName = "Page";
  browser.Poll().SetEnabled(true);
  browser.Window().PressKeyDown(keys::kEscape);
  EXPECT_EQ(browser.Form().Caption(), "Page" + kSuffix);
  EXPECT_FALSE(browser.Poll().Enabled());
}

TEST_F(Shortcuts, AddressKeysFocusTheBoxWithItsTextSelected) {
  for (const auto& [code, shift] : std::vector<std::pair<std::int16_t, std::int16_t>>{
           {keys::Letter('L'), kCtrlMask}, {keys::Letter('D'), kAltMask}, {keys::Function(6), 0}}) {
    SCOPED_TRACE(code);
    browser.Window().SetFocus("brwWebBrowser");
    browser.Box().Type("typed text");
    EXPECT_FALSE(browser.Window().PressKeyDown(code, shift));
    EXPECT_EQ(browser.Window().Focused(), "cboAddress");
    EXPECT_TRUE(browser.Box().AllSelected());
    EXPECT_EQ(browser.Box().Text(), "typed text");
    EXPECT_TRUE(browser.Web().calls.empty());
  }
}

TEST_F(Shortcuts, ZoomStepsUpAndDownWithinItsRangeAndResets) {
  auto& web = browser.Web();
  const auto press = [&](std::int16_t code, std::int16_t shift = kCtrlMask) {
    EXPECT_FALSE(browser.Window().PressKeyDown(code, shift));
    return web.zoom;
  };
  EXPECT_FLOAT_EQ(press(keys::kPlus), 1.1F);
  EXPECT_FLOAT_EQ(press(keys::kPlus, kCtrlMask | kShiftMask), 1.25F);
  EXPECT_FLOAT_EQ(press(keys::kAdd), 1.5F);
  EXPECT_FLOAT_EQ(press(keys::k0), 1.0F);
  EXPECT_FLOAT_EQ(press(keys::kMinus), 0.9F);
  EXPECT_FLOAT_EQ(press(keys::kSubtract), 0.8F);
  EXPECT_FLOAT_EQ(press(keys::kNumpad0), 1.0F);
  // Off the steps (set by the page or the engine): the next step beyond.
  web.zoom = 1.3F;
  EXPECT_FLOAT_EQ(press(keys::kPlus), 1.5F);
  web.zoom = 1.3F;
  EXPECT_FLOAT_EQ(press(keys::kMinus), 1.25F);
  for (int i = 0; i < 40; ++i) {
    press(keys::kPlus);
  }
  EXPECT_FLOAT_EQ(web.zoom, 5.0F);
  for (int i = 0; i < 40; ++i) {
    press(keys::kMinus);
  }
  EXPECT_FLOAT_EQ(web.zoom, 0.25F);
}

TEST_F(Shortcuts, AFailingControlNeitherEndsTheHandlerNorLetsTheKeyThrough) {
  browser.Box().faults.FailOn("SetFocus");
  EXPECT_FALSE(browser.Window().PressKeyDown(keys::Letter('L'), kCtrlMask));
  EXPECT_TRUE(browser.Box().AllSelected());  // the next step still ran

  browser.Web().faults.FailOn("Zoom");
  EXPECT_FALSE(browser.Window().PressKeyDown(keys::kPlus, kCtrlMask));
  EXPECT_FLOAT_EQ(browser.Web().zoom, 1.0F);

  browser.Web().faults.FailOn("Print");  // a refused print is dropped, the key used
  EXPECT_FALSE(browser.Window().PressKeyDown(keys::Letter('P'), kCtrlMask));

  browser.Web().faults.FailOn("Busy");  // Esc cannot tell a load: it goes on
  EXPECT_TRUE(browser.Window().PressKeyDown(keys::kEscape));
}

TEST(ShortcutTable, NoKeyIsTwoShortcuts) {
  for (int code = 0; code < 256; ++code) {
    for (std::int16_t shift = 0; shift < 8; ++shift) {
      const Shortcut* s = FindShortcut(static_cast<std::int16_t>(code), shift);
      if (s != nullptr) {
        EXPECT_EQ(s->keyCode, code);
        EXPECT_EQ(s->shift, shift);
        EXPECT_EQ(s->action == ShortcutAction::Button, s->button != nullptr);
      }
    }
  }
}

}  // namespace
}  // namespace corvane::testing
