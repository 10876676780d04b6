// What every backend's controls share: the twips rectangle a control is
// placed at (checked by the one place rule), and the lookup of a window's
// controls by design name and kind.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/ports/controls.h"
#include "platform/kit/window_rules.h"

namespace corvane {

// Where a placed control is now, read without any check of the control's
// own (the hit rule reads it on every click).
class PlacedArea {
 public:
  [[nodiscard]] const Rect& CurrentArea() const { return placedArea_; }

 protected:
  explicit PlacedArea(const Rect& area) : placedArea_(area) {}
  Rect placedArea_;
};

// A control placed in twips: keeps its rectangle as set, refuses places the
// rule refuses, and tells the backend after each move (Moved).
template <class Interface>
class Placed : public Interface, public PlacedArea {
 public:
  explicit Placed(const ControlDesign& design)
      : PlacedArea(Rect{design.left, design.top, design.width, design.height}),
        placedDesign_(design) {}

  [[nodiscard]] float Left() const override { return placedArea_.left; }
  [[nodiscard]] float Top() const override { return placedArea_.top; }
  [[nodiscard]] float Width() const override { return placedArea_.width; }
  [[nodiscard]] float Height() const override { return placedArea_.height; }
  void Move(float left, float top, float width, float height) override {
    CheckPlace(left, top, width, height);
    placedArea_ = Rect{left, top, width, height};
    Moved();
  }
  [[nodiscard]] const ControlDesign& Design() const { return placedDesign_; }

 protected:
  // The backend shows the control at its new place.
  virtual void Moved() {}
  // Sets the rectangle without a move (a control that sizes itself).
  void SetArea(const Rect& area) { placedArea_ = area; }

 private:
  const ControlDesign& placedDesign_;
};

// Where each of a window's controls is now, for the hit rule: a placed
// control among `controls` (keyed by name and index) where it stands, any
// other as designed. `controls` must outlive the answer.
template <class Map>
AreaOf CurrentAreas(const Map& controls) {
  return [&controls](const ControlDesign& c) {
    auto it = controls.find(std::make_pair(c.name, c.index));
    if (it != controls.end()) {
      if (const auto* placed = dynamic_cast<const PlacedArea*>(&*it->second)) {
        return placed->CurrentArea();
      }
    }
    return Rect{c.left, c.top, c.width, c.height};
  };
}

// The control called `name` (with `index`) of kind T among a window's
// controls, keyed by (name, index); throws Failure when there is none of
// that kind.
template <class T, class Map>
T& TypedControl(const Map& controls, const std::string& window, const std::string& name,
                std::int16_t index) {
  auto it = controls.find(std::make_pair(name, index));
  if (it != controls.end()) {
    if (auto* typed = dynamic_cast<T*>(&*it->second)) {
      return *typed;
    }
  }
  throw Failure(window + " has no such control: " + name);
}

// The timer called `name` among a window's timers, keyed by name.
template <class Map>
auto& NamedTimer(const Map& timers, const std::string& window, const std::string& name) {
  auto it = timers.find(name);
  if (it == timers.end()) {
    throw Failure(window + " has no such timer: " + name);
  }
  return *it->second;
}

}  // namespace corvane
