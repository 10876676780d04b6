// The pure window rules that every backend calls (the conformance cases in
// tests/conformance check the backends follow them): text made valid,
// twips held to pixels a window system can place, and the tab order.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/kit/window_rules.h"

namespace corvane {
namespace {

const std::string kBad = "\xEF\xBF\xBD";

TEST(WindowRules, TextBecomesValidUtf8ByteByByte) {
  const struct Case {
    const char* what;
    std::string text;
    std::string valid;
  } cases[] = {
      {"ASCII and controls", std::string("a\0b\x7F", 4), std::string("a\0b\x7F", 4)},
      {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
       "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"a lone continuation byte", "a\x80z", "a" + kBad + "z"},
      {"a cut sequence at the end", "a\xE2\x82", "a" + kBad + kBad},
      {"an overlong slash", "\xC0\xAF", kBad + kBad},
      {"an overlong three-byte form", "\xE0\x80\xAF", kBad + kBad + kBad},
      {"a surrogate", "\xED\xA0\x80", kBad + kBad + kBad},
      {"past U+10FFFF", "\xF4\x90\x80\x80", kBad + kBad + kBad + kBad},
      {"the highest code point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
      {"bytes that never begin one", "\xFE\xFF", kBad + kBad},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ValidUtf8(c.text), c.valid);
  }
}

TEST(WindowRules, TwipsBecomePixelsHeldToWhatAWindowSystemPlaces) {
  const struct Case {
    double twips;
    double perPixel;
    int pixels;
  } cases[] = {
      {1440, 15, 96},   {7, 15, 0},        {8, 15, 1},        {-1440, 15, -96},
      {3.0e38, 15, 32767}, {-3.0e38, 15, -32768}, {std::numeric_limits<double>::quiet_NaN(), 15, 0},
      {1440, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.twips);
    EXPECT_EQ(PixelsOf(c.twips, c.perPixel), c.pixels);
  }
}

TEST(WindowRules, TheTabOrderGoesByTabIndexThenBuildOrderAndWrapsBothWays) {
  WindowDesign w;
  w.controls = {
      {.kind = ControlKind::CommandButton, .name = "b", .tabIndex = 1, .tabStop = true},
      {.kind = ControlKind::CommandButton, .name = "a", .tabIndex = 0, .tabStop = true},
      {.kind = ControlKind::CommandButton, .name = "c", .tabIndex = 1, .tabStop = true},
      {.kind = ControlKind::Label, .name = "label", .tabIndex = 2},
      {.kind = ControlKind::CommandButton, .name = "gone", .tabIndex = 3, .tabStop = true},
  };
  const CanFocus shown = [](const ControlDesign& c) { return c.name != "gone"; };
  std::vector<std::string> order;
  for (const ControlDesign* c : TabOrder(w, shown)) {
    order.push_back(c->name);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(FirstFocus(w, shown)->name, "a");
  EXPECT_EQ(NextFocus(w, w.Find("c"), true, shown)->name, "a");
  EXPECT_EQ(NextFocus(w, w.Find("a"), false, shown)->name, "c");
  EXPECT_EQ(NextFocus(w, nullptr, false, shown)->name, "c");
  EXPECT_EQ(NextFocus(w, w.Find("label"), true, shown)->name, "a");
  EXPECT_EQ(NextFocus(w, nullptr, true, [](const ControlDesign&) { return false; }), nullptr);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// A label sizes itself to its text; the edge its alignment holds stays.
TEST(WindowRules, ALabelSizedToItsTextKeepsTheEdgeItsAlignmentHolds) {
  const Rect placed{1000, 500, 2000, 300};
  const auto measure = [](const std::string& line) {
    return TextExtent{static_cast<float>(line.size()) * 100, line == " " ? 240.0F : 250.0F};
  };
  const struct Case {
    Alignment alignment;
    std::string caption;
    Rect sized;
  } cases[] = {
      {Alignment::Left, "abcdefghijklmnopqrstuvwxy", {1000, 500, 2500, 250}},
      {Alignment::Right, "abcdefghijklmnopqrstuvwxy", {500, 500, 2500, 250}},
      {Alignment::Right, "abcde", {2500, 500, 500, 250}},
      {Alignment::Center, "abcde", {1750, 500, 500, 250}},
      {Alignment::Right, "", {3000, 500, 0, 240}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption + " aligned " + std::to_string(static_cast<int>(c.alignment)));
    const Rect r = SizedLabel(placed, c.alignment, c.caption, measure);
    EXPECT_FLOAT_EQ(r.left, c.sized.left);
    EXPECT_FLOAT_EQ(r.top, c.sized.top);
    EXPECT_FLOAT_EQ(r.width, c.sized.width);
    EXPECT_FLOAT_EQ(r.height, c.sized.height);
    // Sizing again to the same text changes nothing.
    const Rect again = SizedLabel(r, c.alignment, c.caption, measure);
    EXPECT_FLOAT_EQ(again.left, r.left);
  }
}

// The frame goes where the client area's corner minus the frame's left and
// top lands; a centred window is centred with its frame.
TEST(WindowRules, AWindowsFrameGoesWhereItsClientAreaLandsAsPlaced) {
  const FrameExtents none{};
  const FrameExtents titled{4, 24, 6, 8};
  EXPECT_EQ(OuterCornerForClient({156, 129}, none), (PixelPoint{156, 129}));
  EXPECT_EQ(OuterCornerForClient({156, 129}, titled), (PixelPoint{152, 105}));
  EXPECT_EQ(OuterCornerCentred(0, 0, 1280, 1024, 492, 283, none), (PixelPoint{394, 370}));
  EXPECT_EQ(OuterCornerCentred(100, 0, 1280, 1024, 492, 283, titled), (PixelPoint{489, 354}));
}

}  // namespace
}  // namespace corvane
