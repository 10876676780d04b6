// Where the Find window goes clear of a match, and what a page's figures
// for a match are taken as.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <tuple>

#include "platform/kit/find_place.h"

namespace corvane {
namespace {

auto Figures(const std::optional<Rect>& r) {
  return r ? std::optional(std::tuple(r->left, r->top, r->width, r->height)) : std::nullopt;
}

TEST(FindPlace, TheWindowMovesTheLeastToClearTheMatchWithinTheWorkArea) {
  const Rect work{0, 600, 10000, 7400};  // under a 600-twip bar
  const struct Case {
    const char* what;
    float left, top;  // the window's place; it is 3000 x 1000
    Rect match;
    float wantLeft, wantTop;
  } cases[] = {
      {"clear of it: stays", 6000, 1000, {1000, 1000, 500, 200}, 6000, 1000},
      {"only touching: stays", 6000, 1000, {6000, 2000, 500, 200}, 6000, 1000},
      {"touching its left edge: stays", 6000, 1000, {5500, 1200, 500, 200}, 6000, 1000},
      {"touching its right edge: stays", 6000, 1000, {9000, 1200, 500, 200}, 6000, 1000},
      {"its middle above: goes up", 6000, 1000, {7000, 1700, 600, 240}, 6000, 700},
      {"no room above the bar: goes down", 6000, 700, {7000, 1300, 600, 240}, 6000, 1540},
      {"no room at the bottom: goes up", 6000, 7000, {7000, 7100, 600, 240}, 6000, 6100},
      {"middle below, out across: down, inside", 8000, 1000, {8500, 1200, 600, 240}, 7000, 1440},
      {"a match as tall as the screen: stays", 6000, 1000, {7000, 500, 600, 7600}, 6000, 1000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Figures(PlaceClearOf(Rect{c.left, c.top, 3000, 1000}, c.match, work)),
              Figures(Rect{c.wantLeft, c.wantTop, 3000, 1000})) << c.what;
  }
}

// Rectangles that only touch, on any side, do not overlap; one twip more does.
TEST(FindPlace, EdgesThatOnlyTouchDoNotOverlap) {
  const Rect window{1000, 1000, 3000, 1000};
  const struct Case {
    Rect match;
    bool overlap;
  } cases[] = {
      {{1500, 800, 500, 200}, false},  {{1500, 801, 500, 200}, true},   // above
      {{1500, 2000, 500, 200}, false}, {{1500, 1999, 500, 200}, true},  // below
      {{500, 1200, 500, 200}, false},  {{501, 1200, 500, 200}, true},   // left
      {{4000, 1200, 500, 200}, false}, {{3999, 1200, 500, 200}, true},  // right
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Overlap(window, c.match), c.overlap) << c.match.left << "," << c.match.top;
    EXPECT_EQ(Overlap(c.match, window), c.overlap) << c.match.left << "," << c.match.top;
  }
}

TEST(FindPlace, APagesFiguresAreTakenOnlyWhenFiniteAndClampedToTheView) {
  const struct Case {
    double left, top, width, height;
    std::optional<Rect> want;
  } cases[] = {
      {10, 20, 30, 40, Rect{10, 20, 30, 40}},
      {790, -10, 30, 40, Rect{790, 0, 10, 30}},
      {-1e300, -1e300, 2e300, 2e300, Rect{0, 0, 800, 600}},
      {std::nan(""), 20, 30, 40, std::nullopt},
      {10, 20, -30, 40, std::nullopt},
      {900, 20, 30, 40, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Figures(MatchInView(c.left, c.top, c.width, c.height, Rect{0, 0, 800, 600})),
              Figures(c.want)) << c.left << " " << c.width;
  }
}

}  // namespace
}  // namespace corvane
