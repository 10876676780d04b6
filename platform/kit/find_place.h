// Where the Find window goes so that it does not cover the match it found,
// and what a page's figures for where a match is may be taken as. One rule
// for every backend; all rectangles are screen twips unless said otherwise.
#pragma once

#include <optional>

#include "platform/ports/design.h"

namespace corvane {

// Whether two rectangles share any area (touching edges share none).
bool Overlap(const Rect& a, const Rect& b);

// The place for `window` clear of `match`, within `workArea`:
// - where it is, when it does not cover the match;
// - else moved the least: just above or just below the match, whichever
//   fits in the work area (the side that is the shorter way first, which is
//   the side its middle is on), and held inside the work area across;
// - where it is, when it fits on neither side.
// Only the place changes, never the size.
Rect PlaceClearOf(const Rect& window, const Rect& match, const Rect& workArea);

// The part inside `view` of the rectangle a page reported (left, top,
// width, height, in the view's own units): none when a figure is not a
// finite number, the size is negative, or nothing of it is in the view.
// Any other figure, however absurd, ends up clamped to the view.
std::optional<Rect> MatchInView(double left, double top, double width, double height,
                                const Rect& view);

}  // namespace corvane
