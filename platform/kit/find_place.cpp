#include "platform/kit/find_place.h"

#include <algorithm>
#include <cmath>

namespace corvane {

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

Rect PlaceClearOf(const Rect& window, const Rect& match, const Rect& workArea) {
  if (!Overlap(window, match)) {
    return window;
  }
  const float above = match.top - window.height;
  const float below = match.top + match.height;
  const auto fits = [&](float top) {
    return top >= workArea.top && top + window.height <= workArea.top + workArea.height;
  };
  // Going up is the shorter way when the window's middle is above the match's.
  const bool upFirst = window.top - above <= below - window.top;
  for (const float top : {upFirst ? above : below, upFirst ? below : above}) {
    if (fits(top)) {
      const float rightMost =
          std::max(workArea.left, workArea.left + workArea.width - window.width);
      return Rect{std::clamp(window.left, workArea.left, rightMost), top, window.width,
                  window.height};
    }
  }
  return window;
}

std::optional<Rect> MatchInView(double left, double top, double width, double height,
                                const Rect& view) {
  if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(width) ||
      !std::isfinite(height) || width < 0 || height < 0) {
    return std::nullopt;
  }
  const double viewRight = static_cast<double>(view.left) + view.width;
  const double viewBottom = static_cast<double>(view.top) + view.height;
  const double l = std::clamp(left, static_cast<double>(view.left), viewRight);
  const double t = std::clamp(top, static_cast<double>(view.top), viewBottom);
  // Right and bottom from the clamped figures: a huge size overflows nothing.
  const double r = std::clamp(left + width, l, viewRight);
  const double b = std::clamp(top + height, t, viewBottom);
  if (r <= l || b <= t) {
    return std::nullopt;
  }
  return Rect{static_cast<float>(l), static_cast<float>(t), static_cast<float>(r - l),
              static_cast<float>(b - t)};
}

}  // namespace corvane
