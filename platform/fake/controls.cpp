// The fake's simple controls: a label keeps its caption as valid text, a
// timer its switch; either can be made to fail when set.
#include "platform/fake/fake_backend.h"

#include <algorithm>

namespace corvane::fake {

FakeLabel::FakeLabel(FakeWindow& window, const ControlDesign& design)
    : FakePlaced(window, design), caption_(design.caption) {
  Fit();
}

void FakeLabel::SetCaption(const std::string& text) {
  faults.Check("Caption");
  caption_ = ValidUtf8(text);
  Fit();
}

void FakeLabel::Moved() {
  FakePlaced::Moved();
  Fit();
}

void FakeLabel::Fit() {
  if (!Design().autoSize) {
    return;
  }
  const float points = Design().font ? Design().font->points : FontDesign{}.points;
  SetArea(SizedLabel(CurrentArea(), Design().alignment, caption_, [&](const std::string& line) {
    // Characters, not bytes: continuation bytes of UTF-8 are not counted.
    const auto characters = std::count_if(line.begin(), line.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    });
    return TextExtent{static_cast<float>(characters) * points * 10, points * 24};
  }));
}

FakeTimer::FakeTimer(const ControlDesign& design)
    : enabled_(design.enabled), interval_(design.interval) {}

void FakeTimer::SetEnabled(bool enabled) {
  faults.Check("Enabled");
  enabled_ = enabled;
}

}  // namespace corvane::fake

namespace corvane::fake {

std::string FakeTextBox::Text() const {
  faults.Check("Text");
  return text_;
}

void FakeTextBox::SetText(const std::string& text) {
  faults.Check("SetText");
  text_ = ValidUtf8(text);
  allSelected_ = false;
}

void FakeTextBox::SetFocus() {
  faults.Check("SetFocus");
  window_.SetFocus(Design().name);
}

void FakeTextBox::Type(const std::string& text) {
  text_ = allSelected_ ? text : text_ + text;
  allSelected_ = false;
}

FakeCheckBox::FakeCheckBox(FakeWindow& window, const ControlDesign& design)
    : FakePlaced(window, design), value_(design.value) {}

bool FakeCheckBox::Value() const {
  faults.Check("Value");
  return value_;
}

void FakeCheckBox::SetValue(bool on) {
  faults.Check("SetValue");
  if (Design().kind != ControlKind::OptionButton) {
    value_ = on;
    return;
  }
  if (!on) {
    return;  // one of the group stays on
  }
  value_ = true;
  // The other option buttons of the container go off.
  for (const ControlDesign& c : window_.Design().controls) {
    if (c.kind == ControlKind::OptionButton && c.container == Design().container &&
        &c != &Design()) {
      window_.CheckBoxNamed(c.name).value_ = false;
    }
  }
}

void FakeCheckBox::Press() { SetValue(Design().kind == ControlKind::OptionButton || !value_); }

}  // namespace corvane::fake
