// The fake window's keys: a test presses keys and the window routes them
// by the shared rules, as a real window does.
#include "platform/fake/fake_backend.h"

#include "platform/ports/keys.h"

namespace corvane::fake {

KeyRouting FakeWindow::Routing() {
  return KeyRouting{
      .design = design_,
      .raise = [this](Event& event) { Raise(event); },
      .alive = [this] { return visible_; },
      .focused = [this] { return design_.Find(focus_); },
      .focus = [this](const ControlDesign& control) { focus_ = control.name; },
      .press = [this](const ControlDesign& control) { CheckBoxNamed(control.name).Press(); },
  };
}

void FakeWindow::PressKey(std::int16_t code) {
  std::int16_t key = code;
  // A handler may unload this window; it then takes no more input.
  (void)RouteCharacter(Routing(), key);
  Settle();
}

bool FakeWindow::PressKeyDown(std::int16_t keyCode, std::int16_t shift) {
  const bool goesOn = RouteKeyDown(Routing(), keyCode, shift);
  Settle();
  return goesOn;
}

void FakeWindow::PressAccessKey(char letter) {
  (void)RouteAccessKey(Routing(), letter);
  Settle();
}

void FakeWindow::PressTab(bool forward) {
  const ControlDesign* next = NextFocus(design_, design_.Find(focus_), forward, nullptr);
  if (next != nullptr) {
    focus_ = next->name;
  }
}

void FakeWindow::Stroke(std::int16_t keyCode, std::int16_t shift, std::int16_t character) {
  const KeyRouting routing = Routing();
  if (!RouteKeyDown(routing, keyCode, shift)) {
    Settle();
    return;
  }
  if (keyCode == keys::kTab && (shift & keys::kAltMask) == 0) {
    PressTab((shift & keys::kShiftMask) == 0);
  } else if ((shift & keys::kAltMask) != 0) {
    if (keyCode >= keys::kA && keyCode < keys::kA + 26) {
      (void)RouteAccessKey(routing, static_cast<char>('a' + (keyCode - keys::kA)));
    }
  } else if (character != 0) {
    std::int16_t key = character;
    const ControlDesign* focused = nullptr;
    if (RouteCharacter(routing, key) == CharacterRoute::Native) {
      focused = design_.Find(focus_);
    }
    // What reaches the focused control natively: a text box types it; Space
    // presses a button, turns a check box over, sets an option button.
    if (focused != nullptr && focused->kind == ControlKind::TextBox && key >= 32 && key < 127) {
      TextBoxNamed(focused->name).Type(std::string(1, static_cast<char>(key)));
    } else if (focused != nullptr && key == ' ') {
      if (focused->kind == ControlKind::CommandButton) {
        Event click{.type = EventType::Click, .control = focused->name, .index = focused->index};
        Raise(click);
      } else if (focused->kind == ControlKind::CheckBox ||
                 focused->kind == ControlKind::OptionButton) {
        CheckBoxNamed(focused->name).Press();
      }
    }
  }
  Settle();
}

}  // namespace corvane::fake
