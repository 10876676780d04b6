// The fake's simple controls: a label keeps its caption as valid text, a
// timer its switch; either can be made to fail when set.
#include "platform/fake/fake_backend.h"

namespace corvane::fake {

FakeLabel::FakeLabel(FakeWindow& window, const ControlDesign& design)
    : FakePlaced(window, design), caption_(design.caption) {}

void FakeLabel::SetCaption(const std::string& text) {
  faults.Check("Caption");
  caption_ = ValidUtf8(text);
}

FakeTimer::FakeTimer(const ControlDesign& design)
    : enabled_(design.enabled), interval_(design.interval) {}

void FakeTimer::SetEnabled(bool enabled) {
  faults.Check("Enabled");
  enabled_ = enabled;
}

}  // namespace corvane::fake
