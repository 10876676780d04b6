// The window rules, stated once as tables of cases and run against every
// backend through its driver (driver.h): the fake always, GTK on a private X
// server, Win32 under Wine. A backend that disagrees fails here. So do the
// page's reports to the page policy, one case each, with real pages where
// the engine loads them and what the user then sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "browser/form1.h"
#include "find/frm_find.h"
#include "platform/kit/window_rules.h"
#include "splash/frm_splash.h"
#include "tests/conformance/driver.h"

namespace corvane::conformance {
namespace {

using Strokes = std::vector<Stroke>;
using Events = std::vector<std::string>;

Stroke Enter() { return {.key = Stroke::Key::Enter}; }
Stroke Escape() { return {.key = Stroke::Key::Escape}; }
Stroke Tab(bool back = false) { return {.key = Stroke::Key::Tab, .shift = back}; }
Stroke Letter(char c) { return {.key = Stroke::Key::Letter, .letter = c}; }
Stroke Alt(char c) { return {.key = Stroke::Key::Letter, .letter = c, .alt = true}; }
Stroke F5() { return {.key = Stroke::Key::F5}; }

// Records events as text: "Click cmdOK", "Click" (the window), "KeyPress :13"
// (the window's preview), "KeyPress cboName:113", "KeyDown 88/0", "Timer
// timFast"; Resize is left out. `react` runs on each event.
class Sink final : public EventSink {
 public:
  void Raise(Event& event) override {
    std::string entry;
    switch (event.type) {
      case EventType::Resize:
        ++resizes;
        return;
      case EventType::KeyDown:
        entry = "KeyDown " + std::to_string(*event.keyCode) + "/" + std::to_string(event.shift);
        break;
      case EventType::KeyPress:
        entry = "KeyPress " + event.control + ":" + std::to_string(*event.keyAscii);
        break;
      case EventType::Click:
        entry = event.control.empty() ? "Click" : "Click " + event.control;
        break;
      case EventType::Timer:
        entry = "Timer " + event.control;
        break;
      case EventType::NavigateComplete2:
        entry = "NavigateComplete2";
        break;
      case EventType::DownloadComplete:
        entry = "DownloadComplete";
        break;
      default:
        entry = "other";
        break;
    }
    events.push_back(entry);
    if (react) {
      react(event);
    }
  }
  [[nodiscard]] int Count(const std::string& entry) const {
    int n = 0;
    for (const std::string& e : events) {
      n += e == entry ? 1 : 0;
    }
    return n;
  }
  Events events;
  int resizes = 0;
  std::function<void(Event&)> react;
};

// A window with every rule in play: two default and two cancel buttons, a
// button out of the tab order, a label whose access key focuses the box, a
// frame holding a label, a line and a picture that did not load, and timers.
WindowDesign RulesDesign(bool keyPreview) {
  WindowDesign w;
  w.name = "frmRules";
  w.caption = "Rules";
  w.border = BorderStyle::FixedDialog;
  w.clientWidth = 7200;
  w.clientHeight = 4800;
  w.startPosition = StartPosition::Manual;
  w.left = 1500;
  w.top = 1500;
  w.keyPreview = keyPreview;
  w.controls = {
      {.kind = ControlKind::Frame, .name = "fraBox", .left = 150, .top = 150, .width = 3000,
       .height = 2000, .caption = "Box"},
      {.kind = ControlKind::Label, .name = "lblName", .container = "fraBox", .left = 300,
       .top = 300, .width = 1500, .height = 300, .caption = "&Name:",
       .mnemonicTarget = "cboName"},
      {.kind = ControlKind::Line, .name = "linRule", .container = "fraBox", .left = 100,
       .top = 1500, .width = 2800, .height = 1500},
      {.kind = ControlKind::Image, .name = "imgGone", .container = "fraBox", .left = 2200,
       .top = 200, .width = 600, .height = 500, .picture = "no_such_picture"},
      {.kind = ControlKind::ComboBox, .name = "cboName", .left = 1500, .top = 2400, .width = 3000,
       .height = 315, .tabIndex = 0, .tabStop = true},
      {.kind = ControlKind::CommandButton, .name = "cmdOK", .left = 4500, .top = 150,
       .width = 1200, .height = 345, .caption = "OK", .tabIndex = 3, .tabStop = true,
       .isDefault = true},
      {.kind = ControlKind::CommandButton, .name = "cmdApply", .left = 4500, .top = 600,
       .width = 1200, .height = 345, .caption = "&Apply", .tabIndex = 2, .tabStop = true,
       .isDefault = true},
      {.kind = ControlKind::CommandButton, .name = "cmdCancel", .left = 4500, .top = 1050,
       .width = 1200, .height = 345, .caption = "Cancel", .tabIndex = 1, .tabStop = true,
       .isCancel = true},
      {.kind = ControlKind::CommandButton, .name = "cmdClose", .left = 4500, .top = 1500,
       .width = 1200, .height = 345, .caption = "C&lose", .tabIndex = 4, .tabStop = true,
       .isCancel = true},
      {.kind = ControlKind::CommandButton, .name = "cmdSkip", .left = 4500, .top = 1950,
       .width = 1200, .height = 345, .caption = "Skip", .tabIndex = 5, .tabStop = false},
      {.kind = ControlKind::Label, .name = "lblNote", .left = 150, .top = 3000, .width = 3000,
       .height = 300, .caption = "Note"},
      {.kind = ControlKind::Timer, .name = "timFast", .interval = 40, .enabled = true},
      {.kind = ControlKind::Timer, .name = "timSlow", .interval = 40, .enabled = false},
      {.kind = ControlKind::Timer, .name = "timNone", .interval = 0, .enabled = false},
  };
  return w;
}

const WindowDesign& Rules() {
  static const WindowDesign design = RulesDesign(false);
  return design;
}
const WindowDesign& RulesWithPreview() {
  static const WindowDesign design = RulesDesign(true);
  return design;
}

// The timers stay quiet unless a case asks for them.
class Conformance : public ::testing::Test {
 protected:
  std::unique_ptr<Driver> driver = MakeDriver();
  Driver& d = *driver;
  Sink sink;

  // A window keeps its design: a design made for the call would go first.
  std::unique_ptr<NativeWindow> Open(WindowDesign&& design) = delete;
  std::unique_ptr<NativeWindow> Open(const WindowDesign& design = Rules()) {
    auto window = d.Open(design, sink);
    if (design.Find("timFast") != nullptr) {
      window->GetTimer("timFast").SetEnabled(false);
    }
    d.Settle();
    sink.events.clear();
    return window;
  }
};

// Skips the case, with the reason printed, where the backend cannot do it.
#define SKIP_WITHOUT(need)                                   \
  if (const std::string reason = d.Cannot(need); !reason.empty()) \
  GTEST_SKIP() << reason

// ---- focus and keys -----------------------------------------------------------------

TEST_F(Conformance, TheFirstFocusAndTabFollowTheTabIndexesAndSkipNonStops) {
  auto window = Open();
  EXPECT_EQ(d.Focused(*window), "cboName");
  const std::vector<std::string> forward = {"cmdCancel", "cmdApply", "cmdOK", "cmdClose",
                                            "cboName"};
  for (const std::string& expected : forward) {
    d.Press(*window, Tab());
    d.Settle();
    EXPECT_EQ(d.Focused(*window), expected);
  }
  for (const char* expected : {"cmdClose", "cmdOK"}) {
    d.Press(*window, Tab(true));
    d.Settle();
    EXPECT_EQ(d.Focused(*window), expected);
  }
  EXPECT_TRUE(sink.events.empty());
}

// Enter presses the focused button, else the first default button; Esc the
// first cancel button. Neither moves the focus.
TEST_F(Conformance, EnterAndEscPressTheFirstDefaultAndCancelButtonOrTheFocusedOne) {
  auto window = Open();
  const struct Case {
    const char* focus;
    Stroke stroke;
    Events expected;
  } cases[] = {
      {"cboName", Enter(), {"Click cmdOK"}},
      {"cboName", Escape(), {"Click cmdCancel"}},
      {"cmdApply", Enter(), {"Click cmdApply"}},
      {"cmdClose", Enter(), {"Click cmdClose"}},
      {"cmdClose", Escape(), {"Click cmdCancel"}},
      {"cmdOK", Escape(), {"Click cmdCancel"}},
      {"cboName", Letter('q'), {"KeyPress cboName:113"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.focus) + " " + std::to_string(static_cast<int>(c.stroke.key)));
    d.Focus(*window, c.focus);
    d.Settle();
    sink.events.clear();
    d.Press(*window, c.stroke);
    d.Settle();
    EXPECT_EQ(sink.events, c.expected);
    EXPECT_EQ(d.Focused(*window), c.focus);
  }
}

TEST_F(Conformance, AccessKeysPressAndFocusTheirButtonOrFocusTheLabelsTarget) {
  auto window = Open();
  const struct Case {
    char letter;
    const char* focusBefore;
    Events expected;
    const char* focusAfter;
  } cases[] = {
      {'a', "cboName", {"Click cmdApply"}, "cmdApply"},
      {'l', "cboName", {"Click cmdClose"}, "cmdClose"},
      {'n', "cmdOK", {}, "cboName"},
      {'z', "cmdOK", {}, "cmdOK"},  // no caption has it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.letter));
    d.Focus(*window, c.focusBefore);
    d.Settle();
    sink.events.clear();
    d.Press(*window, Alt(c.letter));
    d.Settle();
    EXPECT_EQ(sink.events, c.expected);
    EXPECT_EQ(d.Focused(*window), c.focusAfter);
  }
}

// With key preview the window sees each key going down first (KeyDown), then
// each character (KeyPress); a key its handler takes goes no further: no
// event, and nothing typed into the focused box.
TEST_F(Conformance, KeyPreviewSeesEveryKeyFirstAndATakenKeyGoesNoFurther) {
  auto window = Open(RulesWithPreview());
  const struct Case {
    const char* what;
    Stroke stroke;
    EventType take;  // the event whose handler takes the key (Close: none)
    Events expected;
  } cases[] = {
      {"letter", Letter('x'), EventType::Close,
       {"KeyDown 88/0", "KeyPress :120", "KeyPress cboName:120"}},
      {"Enter", Enter(), EventType::Close, {"KeyDown 13/0", "KeyPress :13", "Click cmdOK"}},
      {"Esc", Escape(), EventType::Close, {"KeyDown 27/0", "KeyPress :27", "Click cmdCancel"}},
      {"access key", Alt('a'), EventType::Close, {"KeyDown 65/4", "Click cmdApply"}},
      {"F5", F5(), EventType::Close, {"KeyDown 116/0"}},
      {"letter taken going down", Letter('x'), EventType::KeyDown, {"KeyDown 88/0"}},
      {"Enter taken going down", Enter(), EventType::KeyDown, {"KeyDown 13/0"}},
      {"access key taken", Alt('a'), EventType::KeyDown, {"KeyDown 65/4"}},
      {"Tab taken", Tab(), EventType::KeyDown, {"KeyDown 9/0"}},
      {"Enter taken as a character", Enter(), EventType::KeyPress,
       {"KeyDown 13/0", "KeyPress :13"}},
      {"letter taken as a character", Letter('k'), EventType::KeyPress,
       {"KeyDown 75/0", "KeyPress :107"}},
  };
  ComboBox& box = window->GetComboBox("cboName");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    box.SetText("");
    d.Focus(*window, "cboName");
    d.Settle();
    sink.events.clear();
    sink.react = [&](Event& e) {
      if (e.type == c.take && e.control.empty()) {
        if (e.keyCode != nullptr) {
          *e.keyCode = 0;
        }
        if (e.keyAscii != nullptr) {
          *e.keyAscii = 0;
        }
      }
    };
    d.Press(*window, c.stroke);
    d.Settle();
    sink.react = nullptr;
    EXPECT_EQ(sink.events, c.expected);
    EXPECT_EQ(d.Focused(*window), std::string(c.stroke.alt && c.take == EventType::Close
                                                  ? "cmdApply"
                                                  : "cboName"));
    if (c.take != EventType::Close) {
      EXPECT_EQ(box.Text(), "");
    }
  }
}

// ---- clicks ---------------------------------------------------------------------------

TEST_F(Conformance, ClicksReachTheTopMostControlUnderThePointerThatTakesThem) {
  auto window = Open();
  const struct Case {
    const char* what;
    float x;
    float y;
    Events expected;
  } cases[] = {
      {"a label in the frame", 150 + 400, 150 + 400, {"Click lblName"}},
      {"a label where it shows no text", 150 + 1700, 150 + 400, {"Click lblName"}},
      {"a line belongs to the frame", 150 + 1400, 150 + 1500, {"Click fraBox"}},
      {"a picture that did not load", 150 + 2400, 150 + 400, {"Click imgGone"}},
      {"the frame's empty area", 150 + 2000, 150 + 900, {"Click fraBox"}},
      {"the window's margin", 60, 4000, {"Click"}},
      {"a label on the window", 300, 3100, {"Click lblNote"}},
      {"a button out of the tab order", 4600, 2050, {"Click cmdSkip"}},
      {"the combo box takes its own clicks", 2000, 2480, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sink.events.clear();
    d.ClickAt(*window, c.x, c.y);
    d.Settle();
    EXPECT_EQ(sink.events, c.expected);
  }
}

// ---- places and sizes -----------------------------------------------------------------

TEST_F(Conformance, AMoveTakesFiniteNonNegativeSizesAndRefusesTheRestUnchanged) {
  auto window = Open();
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  constexpr float kHuge = 3.0e38F;
  const struct Case {
    const char* what;
    float left, top, width, height;
    bool taken;
  } cases[] = {
      {"ordinary", 120, 90, 900, 300, true},
      {"empty", 120, 90, 0, 0, true},
      {"negative width", 120, 90, -1, 300, false},
      {"negative height", 120, 90, 900, -15, false},
      {"NaN width", 120, 90, kNaN, 300, false},
      {"NaN left", kNaN, 90, 900, 300, false},
      {"infinite height", 120, 90, 900, kInf, false},
      {"infinite top", 120, -kInf, 900, 300, false},
      {"negative place", -600, -300, 900, 300, true},
      {"huge", kHuge, kHuge, kHuge, kHuge, true},
  };
  for (const char* name : {"lblNote", "cmdSkip", "cboName", "fraBox"}) {
    Control& control = window->GetControl(name);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(name) + ": " + c.what);
      control.Move(300, 300, 600, 300);
      bool refused = false;
      try {
        control.Move(c.left, c.top, c.width, c.height);
      } catch (const Failure&) {
        refused = true;
      }
      d.Settle();
      EXPECT_EQ(refused, !c.taken);
      const Rect expected = c.taken ? Rect{c.left, c.top, c.width, c.height}
                                    : Rect{300, 300, 600, 300};
      EXPECT_EQ(control.Left(), expected.left);
      EXPECT_EQ(control.Top(), expected.top);
      EXPECT_EQ(control.Width(), expected.width);
      EXPECT_EQ(control.Height(), expected.height);
    }
    control.Move(300, 300, 600, 300);
  }
  d.Settle();
  EXPECT_TRUE(window->Visible());
}

// ---- combo box ----------------------------------------------------------------------------

std::vector<std::string> Entries(const ComboBox& box) {
  std::vector<std::string> entries;
  for (std::int16_t i = 0; i < box.ListCount(); ++i) {
    entries.push_back(box.List(i));
  }
  return entries;
}

bool Refused(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const Failure&) {
    return true;
  }
  return false;
}

TEST_F(Conformance, TheComboBoxListInsertsRemovesAndSelectsByTheSameRules) {
  auto window = Open();
  ComboBox& box = window->GetComboBox("cboName");
  box.AddItem("b");
  box.AddItem("d");
  box.AddItem("a", 0);  // top
  box.AddItem("c", 2);  // middle
  box.AddItem("e", 4);  // bottom, by index
  EXPECT_EQ(Entries(box), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  for (const std::int16_t bad : {std::int16_t{-2}, std::int16_t{6}}) {
    EXPECT_TRUE(Refused([&] { box.AddItem("x", bad); })) << bad;
  }
  box.RemoveItem(0);
  box.RemoveItem(3);
  box.RemoveItem(1);
  EXPECT_EQ(Entries(box), (std::vector<std::string>{"b", "d"}));
  for (const std::int16_t bad : {std::int16_t{-1}, std::int16_t{2}}) {
    EXPECT_TRUE(Refused([&] { box.RemoveItem(bad); })) << bad;
    EXPECT_TRUE(Refused([&] { (void)box.List(bad); })) << bad;
  }
  EXPECT_TRUE(Refused([&] { box.SetListIndex(2); }));
  EXPECT_TRUE(Refused([&] { box.SetListIndex(-2); }));
  EXPECT_TRUE(sink.events.empty());

  // A set index raises Click at once, with the entry as the text.
  std::string textInClick;
  sink.react = [&](Event& e) {
    if (e.type == EventType::Click) {
      textInClick = box.Text();
    }
  };
  box.SetListIndex(1);
  EXPECT_EQ(sink.events, (Events{"Click cboName"}));
  EXPECT_EQ(textInClick, "d");
  EXPECT_EQ(box.Text(), "d");
  EXPECT_EQ(box.ListIndex(), 1);
  box.AddItem("a", 0);  // the selected entry moves down
  EXPECT_EQ(box.ListIndex(), 2);
  EXPECT_EQ(box.Text(), "d");
  box.RemoveItem(0);
  EXPECT_EQ(box.ListIndex(), 1);
  box.RemoveItem(1);  // the selected entry goes
  EXPECT_EQ(box.ListIndex(), -1);
  box.SetListIndex(0);
  box.SetText("typed");  // text of its own: no entry selected, no Click
  EXPECT_EQ(box.ListIndex(), -1);
  EXPECT_EQ(box.Text(), "typed");
  EXPECT_EQ(sink.Count("Click cboName"), 2);
  d.Settle();
  EXPECT_EQ(sink.Count("Click cboName"), 2);
}

TEST_F(Conformance, AFullComboBoxListRefusesTheNextEntryUntilOneGoes) {
  auto window = Open();
  ComboBox& box = window->GetComboBox("cboName");
  for (int i = 0; i < 32767; ++i) {
    box.AddItem(std::to_string(i));
  }
  EXPECT_EQ(box.ListCount(), 32767);
  EXPECT_TRUE(Refused([&] { box.AddItem("one more"); }));
  EXPECT_TRUE(Refused([&] { box.AddItem("one more", 0); }));
  EXPECT_EQ(box.ListCount(), 32767);
  box.RemoveItem(32766);
  box.AddItem("top", 0);
  EXPECT_EQ(box.List(0), "top");
  EXPECT_EQ(box.List(32766), "32765");
  box.SetListIndex(32766);
  EXPECT_EQ(box.Text(), "32765");
  d.Settle();
}

// ---- timers -------------------------------------------------------------------------------

TEST_F(Conformance, TimersTickOnlyWhileEnabledAndWithAnInterval) {
  auto window = Open();
  Timer& fast = window->GetTimer("timFast");
  Timer& slow = window->GetTimer("timSlow");
  Timer& none = window->GetTimer("timNone");
  EXPECT_THROW((void)window->GetTimer("timOther"), Failure);
  EXPECT_EQ(fast.Interval(), 40);
  EXPECT_EQ(none.Interval(), 0);
  EXPECT_FALSE(slow.Enabled());
  none.SetEnabled(true);
  EXPECT_TRUE(none.Enabled());  // on, though it never ticks
  fast.SetEnabled(true);
  EXPECT_TRUE(fast.Enabled());
  ASSERT_TRUE(d.TimePasses(*window, [&] { return sink.Count("Timer timFast") >= 2; }));
  EXPECT_EQ(sink.Count("Timer timSlow"), 0);
  EXPECT_EQ(sink.Count("Timer timNone"), 0);

  // A handler switches its own timer off: no tick after.
  sink.react = [&](Event& e) {
    if (e.type == EventType::Timer && e.control == "timSlow") {
      slow.SetEnabled(false);
    }
  };
  fast.SetEnabled(false);
  const int fastTicks = sink.Count("Timer timFast");
  slow.SetEnabled(true);
  ASSERT_TRUE(d.TimePasses(*window, [&] { return sink.Count("Timer timSlow") >= 1; }));
  EXPECT_FALSE(slow.Enabled());
  fast.SetEnabled(true);
  ASSERT_TRUE(d.TimePasses(*window, [&] { return sink.Count("Timer timFast") >= fastTicks + 2; }));
  fast.SetEnabled(false);
  none.SetEnabled(false);
  EXPECT_EQ(sink.Count("Timer timSlow"), 1);
  EXPECT_EQ(sink.Count("Timer timNone"), 0);
}

// ---- text -----------------------------------------------------------------------------------

TEST_F(Conformance, CaptionsKeepAnyTextAsValidUtf8) {
  auto window = Open();
  const struct Case {
    const char* what;
    std::string text;
    std::string shown;
  } cases[] = {
      {"plain", "Plain", "Plain"},
      {"accents and symbols", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
      {"control characters", std::string("a\tb\x01\x1F" "c"), std::string("a\tb\x01\x1F" "c")},
      {"invalid bytes", "a\xFF\xFE" "b\xE2\x82", "a\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"an overlong form", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"64 KB", std::string(65536, 'w'), std::string(65536, 'w')},
  };
  Label& label = window->GetLabel("lblNote");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    window->SetCaption(c.text);
    label.SetCaption(c.text);
    d.Settle();
    EXPECT_EQ(window->Caption(), c.shown);
    EXPECT_EQ(label.Caption(), c.shown);
  }
  // The address box's edit field: short texts (platforms bound its length).
  ComboBox& box = window->GetComboBox("cboName");
  for (const Case& c : cases) {
    if (c.text.size() < 1000 && c.text.find('\t') == std::string::npos) {
      SCOPED_TRACE(std::string("box: ") + c.what);
      box.SetText(c.text);
      box.AddItem(c.text);
      EXPECT_EQ(box.Text(), c.shown);
      EXPECT_EQ(box.List(static_cast<std::int16_t>(box.ListCount() - 1)), c.shown);
    }
  }
  EXPECT_TRUE(window->Visible());
}

// ---- handlers that take the window away ------------------------------------------------------

TEST_F(Conformance, AWindowHiddenOrUnloadedByAHandlerTakesNoMoreOfThatInput) {
  const struct Case {
    const char* what;
    EventType hideOn;
    Stroke stroke;
    Events expected;
  } cases[] = {
      {"hidden by the preview of a key", EventType::KeyPress, Enter(),
       {"KeyDown 13/0", "KeyPress :13"}},
      {"hidden going down", EventType::KeyDown, Letter('x'), {"KeyDown 88/0"}},
      {"hidden by the button pressed", EventType::Click, Enter(),
       {"KeyDown 13/0", "KeyPress :13", "Click cmdOK"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto window = Open(RulesWithPreview());
    d.Focus(*window, "cboName");
    d.Settle();
    sink.events.clear();
    sink.react = [&](Event& e) {
      if (e.type == c.hideOn && window) {
        window->Hide();
        // Unloaded from the loop, as the program does.
        d.TheBackend().Post([&] { window.reset(); });
      }
    };
    d.Press(*window, c.stroke);
    d.Settle();
    sink.react = nullptr;
    EXPECT_EQ(sink.events, c.expected);
    EXPECT_EQ(window, nullptr);
  }
}

// Shown again, also from a handler, a window raises no second Resize and
// gives the focus to its first control again.
TEST_F(Conformance, AWindowShownAgainRaisesNoSecondResizeAndFocusesItsFirstControl) {
  auto window = Open();
  EXPECT_EQ(sink.resizes, 1);
  window->Show();  // already shown: nothing
  d.Focus(*window, "cmdOK");
  d.Settle();
  sink.react = [&](Event& e) {
    if (e.type == EventType::Click) {
      window->Hide();
      EXPECT_FALSE(window->Visible());
      window->Show();
    }
  };
  d.ClickAt(*window, 4600, 2050);  // cmdSkip
  d.Settle();
  sink.react = nullptr;
  EXPECT_EQ(sink.events, (Events{"Click cmdSkip"}));
  EXPECT_TRUE(window->Visible());
  EXPECT_EQ(sink.resizes, 1);
  EXPECT_EQ(d.Focused(*window), "cboName");
}

// ---- web view ---------------------------------------------------------------------------------

WindowDesign PageDesign() {
  WindowDesign w;
  w.name = "frmPage";
  w.caption = "Page";
  w.clientWidth = 7200;
  w.clientHeight = 4800;
  w.controls = {{.kind = ControlKind::WebBrowser, .name = "brwWeb", .left = 0, .top = 0,
                 .width = 7200, .height = 4800, .tabIndex = 0, .tabStop = true}};
  return w;
}

TEST_F(Conformance, AWebViewIsIdleBeforeItsFirstLoadAndStopThenDoesNothing) {
  const WindowDesign design = PageDesign();
  auto window = Open(design);
  WebBrowser& web = window->GetWebBrowser("brwWeb");
  EXPECT_FALSE(web.Busy());
  web.Stop();
  d.Settle();
  EXPECT_FALSE(web.Busy());
  EXPECT_TRUE(sink.events.empty());
}

// The page policy decides for every web view: a script address given to the
// view (typed into the address box) goes nowhere...
TEST_F(Conformance, AScriptAddressGivenToTheViewGoesNowhere) {
  const WindowDesign design = PageDesign();
  auto window = Open(design);
  WebBrowser& web = window->GetWebBrowser("brwWeb");
  const std::string before = web.LocationURL();
  web.Navigate("  JavaScript:document.title='ran'");
  d.Settle();
  int looks = 0;  // a moment: a hundred looks at the events
  d.TimePasses(*window, [&] { return !sink.events.empty() || ++looks >= 100; });
  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(web.LocationURL(), before);
  EXPECT_FALSE(web.Busy());
}

// ...and a load that fails shows the policy's own page, named for the
// trouble and standing for the address (the system's control under Wine
// says only that the download failed).
TEST_F(Conformance, ALoadThatFailsShowsOurPageStandingForItsAddress) {
  SKIP_WITHOUT(Need::FailingLoads);
  const WindowDesign design = PageDesign();
  auto window = Open(design);
  WebBrowser& web = window->GetWebBrowser("brwWeb");
  const std::string address = d.RefusedAddress();
  web.Navigate(address);
  EXPECT_TRUE(d.TimePasses(*window, [&] {
    const std::string name = web.LocationName();
    return web.LocationURL() == address &&
           (name == "Connection Refused" || name == "Page Not Loaded");
  })) << web.LocationName() << " at " << web.LocationURL();
  EXPECT_GE(sink.Count("NavigateComplete2"), 1);
}

// ---- what a page's engine reports to the page policy -------------------------------------

// Lets about `ms` pass (the fake's time passes at once).
void Moment(Driver& d, NativeWindow& window, std::chrono::milliseconds ms) {
  const auto end = std::chrono::steady_clock::now() + ms;
  (void)d.TimePasses(window, [&] { return std::chrono::steady_clock::now() >= end; });
}

// Loads `address` and waits until the view shows `title`, done loading.
bool Shows(Driver& d, NativeWindow& window, const std::string& address, const std::string& title) {
  WebBrowser& web = window.GetWebBrowser("brwWeb");
  web.Navigate(address);
  return d.TimePasses(window, [&] {
    return web.LocationURL() == address && web.LocationName() == title && !web.Busy();
  });
}

// A new window a page asks for opens its address in the view when the user
// asked for it (a click on a link to a new window, on a button that calls
// window.open); a page that opens one by itself, on its load or from a
// timer, gets nothing and the view stays on it.
TEST_F(Conformance, ANewWindowOpensInTheViewOnlyWhenTheUserClickedForIt) {
  SKIP_WITHOUT(Need::NewWindows);
  const WindowDesign design = PageDesign();
  auto window = Open(design);
  WebBrowser& web = window->GetWebBrowser("brwWeb");
  struct Case {
    const char* page;
    const char* title;  // once its script has run
    const char* opens;  // with a click anywhere in it; nullptr: it opens one itself
    const char* opened;
  };
  for (const Case& c : {Case{"/blank-link.html", "Blank Link", "/second.html", "Second Page"},
                        Case{"/open-button.html", "Open Button", "/third.html", "Third Page"},
                        Case{"/popup.html", "Popup Done", nullptr, nullptr}}) {
    SCOPED_TRACE(c.page);
    const std::string page = d.PageAt(c.page);
    ASSERT_TRUE(Shows(d, *window, page, c.title)) << web.LocationName() << " at " << web.LocationURL();
    if (c.opens != nullptr) {
      d.ClickAt(*window, 3600, 2400);
      EXPECT_TRUE(d.TimePasses(*window, [&] {
        return web.LocationURL() == d.PageAt(c.opens) && web.LocationName() == c.opened;
      })) << web.LocationName() << " at " << web.LocationURL();
    } else {
      const int reached = sink.Count("NavigateComplete2");
      Moment(d, *window, std::chrono::milliseconds(500));
      EXPECT_EQ(web.LocationURL(), page);
      EXPECT_EQ(web.LocationName(), c.title);
      EXPECT_EQ(sink.Count("NavigateComplete2"), reached);
      EXPECT_EQ(d.Requests("/home.html"), 0);
    }
  }
}

// A page whose process ends shows our page standing for its address, and
// Refresh there loads the page again.
TEST_F(Conformance, APageWhoseProcessEndsShowsOurPageAndRefreshLoadsItAgain) {
  SKIP_WITHOUT(Need::PageProcess);
  const WindowDesign design = PageDesign();
  auto window = Open(design);
  WebBrowser& web = window->GetWebBrowser("brwWeb");
  const std::string page = d.PageAt("/first.html");
  ASSERT_TRUE(Shows(d, *window, page, "First Page"));
  d.EndPageProcess(*window, "brwWeb");
  ASSERT_TRUE(d.TimePasses(*window, [&] {
    return web.LocationURL() == page && web.LocationName() == "Page Stopped Working";
  })) << web.LocationName() << " at " << web.LocationURL();
  const int requests = d.Requests("/first.html");
  web.Refresh();
  EXPECT_TRUE(d.TimePasses(*window, [&] {
    return web.LocationURL() == page && web.LocationName() == "First Page";
  })) << web.LocationName() << " at " << web.LocationURL();
  EXPECT_EQ(d.Requests("/first.html"), requests + 1);
}

// A page that opens dialog after dialog: the engine's own dialogs first
// (closed with a click on their button, below the middle of the view),
// then the policy's offer to stop the page, whose Stop Page ends it.
TEST_F(Conformance, APageThatOpensDialogAfterDialogIsOfferedToBeStopped) {
  SKIP_WITHOUT(Need::ScriptDialogs);
  const WindowDesign design = PageDesign();
  auto window = Open(design);
  WebBrowser& web = window->GetWebBrowser("brwWeb");
  const std::string page = d.PageAt("/alerts.html");
  ASSERT_TRUE(Shows(d, *window, page, "Alert Page"));
  std::optional<Shown> question;
  auto clicked = std::chrono::steady_clock::now();
  ASSERT_TRUE(d.TimePasses(*window, [&] {
    question = d.Question();
    if (!question && std::chrono::steady_clock::now() - clicked > std::chrono::milliseconds(300)) {
      d.ClickAt(*window, 3600, 2400 + 57 * 15);
      clicked = std::chrono::steady_clock::now();
    }
    return question.has_value();
  }));
  EXPECT_EQ(question->title, "Page Keeps Opening Dialogs");
  ASSERT_TRUE(d.Answer("Stop Page"));
  EXPECT_TRUE(d.TimePasses(*window, [&] {
    return web.LocationURL() == page && web.LocationName() == "Page Stopped Working";
  })) << web.LocationName() << " at " << web.LocationURL();
  EXPECT_FALSE(d.Question());
}

// A page that asks for a permission: the user is asked, naming the site;
// the answer holds for the site, so its next page is not asked again.
TEST_F(Conformance, APermissionRequestIsAskedAndItsAnswerKeptForTheSite) {
  SKIP_WITHOUT(Need::Permissions);
  const WindowDesign design = PageDesign();
  auto window = Open(design);
  WebBrowser& web = window->GetWebBrowser("brwWeb");
  const std::string page = d.PageAt("/location.html");
  web.Navigate(page);
  std::optional<Shown> question;
  ASSERT_TRUE(d.TimePasses(*window, [&] { return (question = d.Question()).has_value(); }));
  EXPECT_EQ(question->title, "Permission Request");
  EXPECT_EQ(question->text, d.PageAt("") + " wants to know your location.");
  EXPECT_NE(web.LocationName(), "Location denied");  // the page waits for the answer
  EXPECT_NE(web.LocationName(), "Location granted");
  ASSERT_TRUE(d.Answer("Deny"));
  EXPECT_TRUE(d.TimePasses(*window, [&] { return web.LocationName() == "Location denied"; }))
      << web.LocationName();
  // The next load of the site is told at once.
  EXPECT_TRUE(Shows(d, *window, page + "?again", "Location denied")) << web.LocationName();
  EXPECT_FALSE(d.Question());
}

// A download a page offers is asked about, and a No writes nothing: the
// view stays on the page.
TEST_F(Conformance, AnOfferedDownloadIsAskedAboutAndNoWritesNothing) {
  SKIP_WITHOUT(Need::Downloads);
  const WindowDesign design = PageDesign();
  auto window = Open(design);
  WebBrowser& web = window->GetWebBrowser("brwWeb");
  const std::string page = d.PageAt("/download-link.html");
  ASSERT_TRUE(Shows(d, *window, page, "Download Link"));
  d.ClickAt(*window, 3600, 2400);
  std::optional<Shown> question;
  ASSERT_TRUE(d.TimePasses(*window, [&] { return (question = d.Question()).has_value(); }));
  EXPECT_EQ(question->title, "Save Download");
  ASSERT_TRUE(d.Answer("Cancel"));
  EXPECT_TRUE(d.TimePasses(*window, [&] { return !d.Question(); }));
  Moment(d, *window, std::chrono::milliseconds(500));
  EXPECT_EQ(d.DownloadFolder(), std::vector<std::string>{});
  EXPECT_EQ(d.Requests("/attachment.txt"), 1);
  EXPECT_EQ(web.LocationURL(), page);
  EXPECT_EQ(web.LocationName(), "Download Link");
}

TEST_F(Conformance, ALoadIsBusyAndNavigateComplete2ComesBeforeDownloadComplete) {
  SKIP_WITHOUT(Need::PageEngine);
  const WindowDesign design = PageDesign();
  auto window = Open(design);
  WebBrowser& web = window->GetWebBrowser("brwWeb");
  bool busyWhenReached = false;
  sink.react = [&](Event& e) {
    if (e.type == EventType::NavigateComplete2) {
      busyWhenReached = web.Busy();
    }
  };
  web.Navigate(d.PageAddress());
  ASSERT_TRUE(d.TimePasses(*window, [&] { return sink.Count("DownloadComplete") >= 1; }));
  sink.react = nullptr;
  ASSERT_EQ(sink.Count("NavigateComplete2"), 1);
  EXPECT_EQ(sink.events.front(), "NavigateComplete2");
  EXPECT_TRUE(busyWhenReached);
  EXPECT_TRUE(d.TimePasses(*window, [&] { return !web.Busy(); }));
}

// ---- the Find window: text box, check box, option buttons ------------------------------

// Its design table as it stands: Tab runs through the text box, the check
// box, both option buttons and the two buttons; letters go into the text
// box; Enter presses Find Next and Esc Cancel, wherever the focus is but on
// a button.
TEST_F(Conformance, TheFindWindowsTabOrderTypingEnterAndEsc) {
  auto window = Open(frmFind::TheDesign());
  EXPECT_EQ(d.Focused(*window), "txtFind");
  for (const char* expected :
       {"chkMatchCase", "optUp", "optDown", "cmdFindNext", "cmdCancel", "txtFind"}) {
    d.Press(*window, Tab());
    d.Settle();
    EXPECT_EQ(d.Focused(*window), expected);
  }
  d.Press(*window, Tab(true));
  d.Settle();
  EXPECT_EQ(d.Focused(*window), "cmdCancel");
  d.Focus(*window, "txtFind");
  d.Settle();
  for (const char c : std::string("zanzibar")) {
    d.Press(*window, Letter(c));
  }
  d.Settle();
  EXPECT_EQ(window->GetTextBox("txtFind").Text(), "zanzibar");
  EXPECT_TRUE(sink.events.empty());
  const struct Case {
    const char* focus;
    Stroke stroke;
    Events expected;
  } cases[] = {
      {"txtFind", Enter(), {"Click cmdFindNext"}},
      {"txtFind", Escape(), {"Click cmdCancel"}},
      {"chkMatchCase", Enter(), {"Click cmdFindNext"}},
      {"optUp", Escape(), {"Click cmdCancel"}},
      {"cmdCancel", Enter(), {"Click cmdCancel"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.focus) + " " + std::to_string(static_cast<int>(c.stroke.key)));
    d.Focus(*window, c.focus);
    d.Settle();
    sink.events.clear();
    d.Press(*window, c.stroke);
    d.Settle();
    EXPECT_EQ(sink.events, c.expected);
  }
  EXPECT_EQ(window->GetTextBox("txtFind").Text(), "zanzibar");
}

// Access keys turn the check box over and choose an option button (the
// other goes off); the label's focuses the text box; clicks do the same.
TEST_F(Conformance, TheFindWindowsAccessKeysAndClicksSetItsChoices) {
  auto window = Open(frmFind::TheDesign());
  CheckBox& matchCase = window->GetCheckBox("chkMatchCase");
  CheckBox& up = window->GetCheckBox("optUp");
  CheckBox& down = window->GetCheckBox("optDown");
  EXPECT_FALSE(matchCase.Value());
  EXPECT_FALSE(up.Value());
  EXPECT_TRUE(down.Value());
  // A click a little into the control's caption, halfway down, where the
  // design puts it (inside its container).
  const auto click = [&](const std::string& name) {
    const auto& controls = frmFind::TheDesign().controls;
    const auto find = [&](const std::string& n) {
      return std::find_if(controls.begin(), controls.end(),
                          [&](const ControlDesign& c) { return c.name == n; });
    };
    const auto control = find(name);
    ASSERT_NE(control, controls.end()) << name;
    float x = control->left + 300;
    float y = control->top + control->height / 2;
    if (!control->container.empty()) {
      const auto container = find(control->container);
      ASSERT_NE(container, controls.end()) << control->container;
      x += container->left;
      y += container->top;
    }
    d.ClickAt(*window, x, y);
  };
  const struct Case {
    const char* what;
    std::function<void()> act;
    bool matchCase, up;
    const char* focus;
  } cases[] = {
      {"Alt+C", [&] { d.Press(*window, Alt('c')); }, true, false, "chkMatchCase"},
      {"Alt+U", [&] { d.Press(*window, Alt('u')); }, true, true, "optUp"},
      {"Alt+C again", [&] { d.Press(*window, Alt('c')); }, false, true, "chkMatchCase"},
      {"Alt+N", [&] { d.Press(*window, Alt('n')); }, false, true, "txtFind"},
      {"Alt+D", [&] { d.Press(*window, Alt('d')); }, false, false, "optDown"},
      {"click Match case", [&] { click("chkMatchCase"); }, true, false, "chkMatchCase"},
      {"click Up", [&] { click("optUp"); }, true, true, "optUp"},
      {"set Down", [&] { down.SetValue(true); }, true, false, "optUp"},
      {"set Down off: stays on", [&] { down.SetValue(false); }, true, false, "optUp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.act();
    d.Settle();
    EXPECT_EQ(matchCase.Value(), c.matchCase);
    EXPECT_EQ(up.Value(), c.up);
    EXPECT_EQ(down.Value(), !c.up);
    EXPECT_EQ(d.Focused(*window), c.focus);
  }
  EXPECT_TRUE(sink.events.empty());
  d.Press(*window, Alt('f'));
  d.Settle();
  EXPECT_EQ(sink.events, (Events{"Click cmdFindNext"}));
  // The text box keeps any text as valid UTF-8.
  TextBox& text = window->GetTextBox("txtFind");
  text.SetText("a\xFF" "b \xE2\x82\xAC");
  EXPECT_EQ(text.Text(), "a\xEF\xBF\xBD" "b \xE2\x82\xAC");
  EXPECT_THROW((void)window->GetTextBox("chkMatchCase"), Failure);
  EXPECT_THROW((void)window->GetCheckBox("txtFind"), Failure);
}

// Moved off a match, the Find window is where it was sent, frame and all
// (to the pixel); its page has no match before a search.
TEST_F(Conformance, TheFindWindowGoesWhereItIsMovedAndAPageHasNoMatchYet) {
  auto window = Open(frmFind::TheDesign());
  const Rect work = window->WorkArea();
  const float left = work.left + 1500;
  const float top = work.top + 900;
  window->MoveTo(left, top);
  EXPECT_TRUE(d.TimePasses(*window, [&] {
    const Rect now = window->ScreenArea();
    return std::abs(now.left - left) < 16 && std::abs(now.top - top) < 16;
  }));
  const WindowDesign design = PageDesign();  // outlives the window made of it
  auto page = Open(design);
  EXPECT_FALSE(page->GetWebBrowser("brwWeb").MatchArea().has_value());
}

// ---- the program's windows as designed ---------------------------------------------------
//
// The rules above on the four windows' own design tables, on every backend:
// where the focus starts and where Tab and Shift+Tab take it, what Enter, Esc,
// Space and the access keys press, and which control a click reaches. The
// splash is dismissed by the window's KeyPress and by Frame1's Click (its
// event table), and by nothing else.

using DesignOf = const WindowDesign& (*)();

Stroke Space() { return {.key = Stroke::Key::Space}; }
Stroke Left() { return {.key = Stroke::Key::Left}; }
Stroke ShiftAlone() { return {.key = Stroke::Key::Shift}; }
Stroke Shifted(char c) { return {.key = Stroke::Key::Letter, .letter = c, .shift = true}; }

// One row: in the window, with the focus put on `from` (nullptr: where the
// row before left it, or where the window put it when it opened), the
// strokes raise `events` and leave the focus on `focus` ("": no control).
struct KeyCase {
  DesignOf design;
  const char* what;
  const char* from;
  Strokes strokes;
  Events events;
  const char* focus;
};

// Tab, then Shift+Tab, once round `order` from its first control, which has
// the focus; the window sees no key (no key preview) and nothing is pressed.
void AddTabRound(std::vector<KeyCase>& cases, DesignOf design, std::vector<const char*> order) {
  const std::size_t n = order.size();
  for (std::size_t i = 1; i <= n; ++i) {
    cases.push_back({design, "Tab", nullptr, {Tab()}, {}, order[i % n]});
  }
  for (std::size_t i = 1; i <= n; ++i) {
    cases.push_back({design, "Shift+Tab", nullptr, {Tab(true)}, {}, order[(n - i) % n]});
  }
}

std::vector<KeyCase> WindowKeyCases() {
  const DesignOf splash = &frmSplash::TheDesign;
  const DesignOf browser = &Form1::TheDesign;
  const DesignOf about = &frmAbout::TheDesign;
  const DesignOf find = &frmFind::TheDesign;
  std::vector<KeyCase> cases = {
      // No control of the splash takes the focus: every key reaches the
      // window, and each that types a character dismisses it.
      {splash, "opened", nullptr, {}, {}, ""},
      {splash, "a letter", nullptr, {Letter('x')}, {"KeyDown 88/0", "KeyPress :120"}, ""},
      {splash, "a capital", nullptr, {Shifted('x')}, {"KeyDown 88/1", "KeyPress :88"}, ""},
      {splash, "Enter", nullptr, {Enter()}, {"KeyDown 13/0", "KeyPress :13"}, ""},
      {splash, "Esc", nullptr, {Escape()}, {"KeyDown 27/0", "KeyPress :27"}, ""},
      {splash, "Space", nullptr, {Space()}, {"KeyDown 32/0", "KeyPress :32"}, ""},
      {splash, "an arrow: no character", nullptr, {Left()}, {"KeyDown 37/0"}, ""},
      {splash, "Shift alone: no key at all", nullptr, {ShiftAlone()}, {}, ""},

      // The About box: OK, the picture, System Info. OK is the default and
      // the cancel button; the picture takes the focus and presses nothing.
      {about, "opened", nullptr, {}, {}, "cmdOK"},
      {about, "Tab, Space: the picture has the focus", "cmdOK", {Tab(), Space()}, {}, "picIcon"},
      {about, "Tab, Tab, Space: System Info", "cmdOK", {Tab(), Tab(), Space()},
       {"Click cmdSysInfo"}, "cmdSysInfo"},
      {about, "Space on OK", "cmdOK", {Space()}, {"Click cmdOK"}, "cmdOK"},
      {about, "Enter on OK", "cmdOK", {Enter()}, {"Click cmdOK"}, "cmdOK"},
      {about, "Enter on the picture: OK", "picIcon", {Enter()}, {"Click cmdOK"}, "picIcon"},
      {about, "Enter on System Info", "cmdSysInfo", {Enter()}, {"Click cmdSysInfo"},
       "cmdSysInfo"},
      {about, "Esc on OK", "cmdOK", {Escape()}, {"Click cmdOK"}, "cmdOK"},
      {about, "Esc on the picture", "picIcon", {Escape()}, {"Click cmdOK"}, "picIcon"},
      {about, "Esc on System Info: OK", "cmdSysInfo", {Escape()}, {"Click cmdOK"}, "cmdSysInfo"},
      {about, "Alt+S from OK", "cmdOK", {Alt('s')}, {"Click cmdSysInfo"}, "cmdSysInfo"},
      {about, "Alt+S from the picture", "picIcon", {Alt('s')}, {"Click cmdSysInfo"},
       "cmdSysInfo"},
      {about, "Alt+K: no caption has it", "picIcon", {Alt('k')}, {}, "picIcon"},
      {about, "back to OK", "cmdOK", {}, {}, "cmdOK"},

      // The browser window sees every key first. The page has Tab and
      // Shift+Tab while the web view has the focus (it moves among its
      // links), so no round starts there. No button is pressed by Enter or
      // Esc: the address box has them.
      {browser, "opened: the page", nullptr, {}, {}, "brwWebBrowser"},
      {browser, "Tab: the toolbar", "cboAddress", {Tab()}, {"KeyDown 9/0"}, "tbToolBar"},
      {browser, "Tab: the page", nullptr, {Tab()}, {"KeyDown 9/0"}, "brwWebBrowser"},
      {browser, "Shift+Tab: the page", "cboAddress", {Tab(true)}, {"KeyDown 9/1"},
       "brwWebBrowser"},
      {browser, "Shift+Tab: the address box", "tbToolBar", {Tab(true)}, {"KeyDown 9/1"},
       "cboAddress"},
      {browser, "Alt+A from the toolbar", "tbToolBar", {Alt('a')}, {"KeyDown 65/4"},
       "cboAddress"},
      {browser, "Alt+A from the page", "brwWebBrowser", {Alt('a')}, {"KeyDown 65/4"},
       "cboAddress"},
      {browser, "Enter in the address box", "cboAddress", {Enter()},
       {"KeyDown 13/0", "KeyPress :13", "KeyPress cboAddress:13"}, "cboAddress"},
      {browser, "Esc in the address box", "cboAddress", {Escape()},
       {"KeyDown 27/0", "KeyPress :27", "KeyPress cboAddress:27"}, "cboAddress"},

      // The Find window: Find Next is the default button, Cancel the cancel.
      {find, "opened", nullptr, {}, {}, "txtFind"},
  };
  AddTabRound(cases, find,
              {"txtFind", "chkMatchCase", "optUp", "optDown", "cmdFindNext", "cmdCancel"});
  cases.insert(cases.end(), {
      {find, "Enter on Find Next", "cmdFindNext", {Enter()}, {"Click cmdFindNext"},
       "cmdFindNext"},
      {find, "Esc on Find Next", "cmdFindNext", {Escape()}, {"Click cmdCancel"}, "cmdFindNext"},
      {find, "Enter on Down", "optDown", {Enter()}, {"Click cmdFindNext"}, "optDown"},
      {find, "Alt+F", "optDown", {Alt('f')}, {"Click cmdFindNext"}, "cmdFindNext"},
      {find, "Alt+N", "cmdCancel", {Alt('n')}, {}, "txtFind"},
  });
  // The About box's round, last: from OK.
  AddTabRound(cases, about, {"cmdOK", "picIcon", "cmdSysInfo"});
  return cases;
}

TEST_F(Conformance, TheWindowsTabOrderEnterEscAndAccessKeysAsDesigned) {
  const std::vector<KeyCase> cases = WindowKeyCases();
  std::unique_ptr<NativeWindow> window;
  DesignOf open = nullptr;
  for (const KeyCase& c : cases) {
    const WindowDesign& design = c.design();
    SCOPED_TRACE(design.name + ": " + c.what + (c.from != nullptr ? std::string(" from ") + c.from
                                                                  : std::string()));
    if (c.design != open) {
      window.reset();
      window = Open(design);
      open = c.design;
    }
    if (c.from != nullptr) {
      d.Focus(*window, c.from);
      d.Settle();
      ASSERT_EQ(d.Focused(*window), c.from);
    }
    sink.events.clear();
    for (const Stroke& stroke : c.strokes) {
      d.Press(*window, stroke);
      d.Settle();
    }
    EXPECT_EQ(sink.events, c.events);
    EXPECT_EQ(d.Focused(*window), c.focus);
    ASSERT_TRUE(window->Visible());
  }
}

// A click at (x, y) twips of the client area raises `events`. Points on
// labels that size themselves lie where the text starts, inside the label
// however its text is measured.
TEST_F(Conformance, TheWindowsClicksReachTheControlsAsDesigned) {
  const DesignOf splash = &frmSplash::TheDesign;
  const DesignOf browser = &Form1::TheDesign;
  const DesignOf about = &frmAbout::TheDesign;
  const DesignOf find = &frmFind::TheDesign;
  // Splash controls count from Frame1's corner (150, 60).
  constexpr float kFx = 150;
  constexpr float kFy = 60;
  const struct Case {
    DesignOf design;
    const char* what;
    float x;
    float y;
    Events events;
  } cases[] = {
      {splash, "Frame1's empty area", kFx + 3000, kFy + 300, {"Click Frame1"}},
      {splash, "Line2, right of Label1", kFx + 5300, kFy + 1935, {"Click Frame1"}},
      {splash, "Line1, past Line2's end", kFx + 5590, kFy + 1930, {"Click Frame1"}},
      {splash, "the logo", kFx + 600, kFy + 1500, {"Click imgLogo"}},
      {splash, "Label1", kFx + 2500, kFy + 2250, {"Click Label1"}},
      {splash, "lblProductName, over the logo's right", kFx + 2100, kFy + 1300,
       {"Click lblProductName"}},
      {splash, "lblCompanyProduct", kFx + 2500, kFy + 800, {"Click lblCompanyProduct"}},
      {splash, "lblCopyright", kFx + 3700, kFy + 3100, {"Click lblCopyright"}},
      {splash, "lblCompany, which shows no text", kFx + 5000, kFy + 3400, {"Click lblCompany"}},
      {splash, "lblWarning", kFx + 400, kFy + 3700, {"Click lblWarning"}},
      {splash, "the margin left of the frame", 75, 2000, {"Click"}},
      {splash, "the margin below the frame", 3000, 4180, {"Click"}},

      {about, "the picture", 340, 340, {"Click picIcon"}},
      {about, "lblTitle", 1200, 300, {"Click lblTitle"}},
      {about, "lblDescription", 1200, 1300, {"Click lblDescription"}},
      {about, "lblDisclaimer", 400, 2800, {"Click lblDisclaimer"}},
      {about, "the separator: the window", 3000, 2452, {"Click"}},
      {about, "the margin", 5600, 100, {"Click"}},
      {about, "OK", 4500, 2750, {"Click cmdOK"}},
      {about, "System Info", 4500, 3200, {"Click cmdSysInfo"}},

      {browser, "the address label", 45 + 300, 540 + 150, {"Click lblAddress"}},
      {browser, "the address strip's empty part", 8000, 540 + 100, {"Click picAddress"}},
      {browser, "the toolbar past its buttons", 12000, 270, {}},

      {find, "the text box's label", 200, 250, {"Click lblFind"}},
      {find, "the direction frame's empty part", 1740 + 1500, 660 + 150, {"Click fraDirection"}},
      {find, "the status line", 300, 1450, {"Click lblStatus"}},
      {find, "the margin", 4800, 1200, {"Click"}},
  };
  std::unique_ptr<NativeWindow> window;
  DesignOf open = nullptr;
  for (const Case& c : cases) {
    const WindowDesign& design = c.design();
    SCOPED_TRACE(design.name + ": " + c.what);
    if (c.design != open) {
      window.reset();
      window = Open(design);
      open = c.design;
      if (c.design == splash) {  // the texts the splash's load sets, which size their labels
        window->GetLabel("lblProductName").SetCaption("Corvane Ombrel");
        window->GetLabel("lblVersion").SetCaption("Version 1.0.0");
      }
    }
    sink.events.clear();
    d.ClickAt(*window, c.x, c.y);
    d.Settle();
    EXPECT_EQ(sink.events, c.events);
  }
}

// ---- end of the program's windows as designed ------------------------------------------------

// ---- the program's own labels ----------------------------------------------------------------

// Each label of the three windows shows its whole design caption: on one
// line within its width, or wrapped within its height when it wraps. (The
// splash's copyright line was cut at its right edge.)
TEST_F(Conformance, TheWindowsLabelsShowTheirWholeCaptions) {
  SKIP_WITHOUT(Need::TextMetrics);
  for (const WindowDesign* design :
       {&frmSplash::TheDesign(), &Form1::TheDesign(), &frmAbout::TheDesign(),
        &frmFind::TheDesign()}) {
    auto window = Open(*design);
    for (const ControlDesign& c : design->controls) {
      if (c.kind != ControlKind::Label || c.autoSize || StripAccessKey(c.caption).empty()) {
        continue;
      }
      SCOPED_TRACE(design->name + "." + c.name + ": " + c.caption);
      const std::optional<TextFit> fit = d.Fit(*window, c.name);
      ASSERT_TRUE(fit.has_value());
      // One line within the width (a tall font's line may overhang the
      // height with its descent), or all wrapped lines within the height.
      if (c.wordWrap) {
        EXPECT_LE(fit->textHeight, fit->height);
      } else {
        EXPECT_LE(fit->textWidth, fit->width);
      }
    }
  }
}

// ---- the splash's labels that size themselves ---------------------------------------

// The labels of the splash that size themselves to their text take clicks on
// the rectangle they have after sizing, which every backend works out by one
// rule: a right-aligned one keeps its right edge, the others their left.
// Clicks on the text beyond a designed edge reach the label; just past a
// sized edge they reach the frame.
TEST_F(Conformance, SplashLabelsThatSizeThemselvesTakeClicksWhereTheyAreSized) {
  const WindowDesign& design = frmSplash::TheDesign();
  auto window = Open(design);
  window->GetLabel("lblProductName").SetCaption("Corvane Ombrel");
  window->GetLabel("lblVersion").SetCaption("Version 1.0.0");
  d.Settle();
  enum class From : std::uint8_t { DesignedLeft, DesignedRight, SizedLeft, SizedRight };
  const struct Case {
    const char* label;
    From from;
    float offset;  // twips along x from that edge (three pixels at 96 DPI)
    const char* expected;
  } cases[] = {
      {"lblProductName", From::DesignedRight, 45, "Click lblProductName"},
      {"lblProductName", From::SizedRight, 45, "Click Frame1"},
      {"lblCompanyProduct", From::SizedRight, 45, "Click Frame1"},
      {"lblVersion", From::SizedLeft, 45, "Click lblVersion"},
      {"lblVersion", From::SizedLeft, -45, "Click Frame1"},
      {"lblPlatform", From::SizedLeft, -45, "Click Frame1"},
      {"lblPlatform", From::SizedRight, -45, "Click lblPlatform"},
  };
  const ControlDesign& frame = *design.Find("Frame1");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.label) + " from edge " + std::to_string(static_cast<int>(c.from)) +
                 " by " + std::to_string(c.offset));
    const ControlDesign& designed = *design.Find(c.label);
    const Label& label = window->GetLabel(c.label);
    const float designedRight = designed.left + designed.width;
    const float sizedRight = label.Left() + label.Width();
    // Within a pixel: the backends place whole pixels.
    if (designed.alignment == Alignment::Right) {
      EXPECT_NEAR(sizedRight, designedRight, 15);
    } else {
      EXPECT_NEAR(label.Left(), designed.left, 15);
    }
    const float edges[] = {designed.left, designedRight, label.Left(), sizedRight};
    const float x = edges[static_cast<int>(c.from)] + c.offset;
    if (c.from == From::DesignedRight) {
      ASSERT_LT(x, sizedRight) << "the text reaches beyond the designed width";
    }
    sink.events.clear();
    d.ClickAt(*window, frame.left + x, frame.top + label.Top() + label.Height() / 2);
    d.Settle();
    EXPECT_EQ(sink.events, Events{c.expected});
  }
}

}  // namespace
}  // namespace corvane::conformance
