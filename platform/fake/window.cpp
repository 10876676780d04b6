// The fake window: built from its design table, shown and hidden, and
// driven by tests with clicks, resizes and ticks.
#include "platform/fake/fake_backend.h"

namespace corvane::fake {

FakeWindow::FakeWindow(FakeBackend& backend, const WindowDesign& design, EventSink& sink)
    : backend_(backend), design_(design), sink_(sink), caption_(design.caption),
      scaleWidth_(design.clientWidth), scaleHeight_(design.clientHeight) {
  for (const ControlDesign& c : design.controls) {
    const auto key = std::make_pair(c.name, c.index);
    switch (c.kind) {
      case ControlKind::Label:
        controls_[key] = std::make_unique<FakeLabel>(*this, c);
        break;
      case ControlKind::CommandButton:
        controls_[key] = std::make_unique<FakeButton>(*this, c);
        break;
      case ControlKind::ComboBox:
        controls_[key] = std::make_unique<FakeComboBox>(*this, c);
        break;
      case ControlKind::Toolbar:
        controls_[key] = std::make_unique<FakeToolbar>(*this, c);
        break;
      case ControlKind::WebBrowser:
        controls_[key] = std::make_unique<FakeWebBrowser>(*this, c);
        break;
      case ControlKind::TextBox:
        controls_[key] = std::make_unique<FakeTextBox>(*this, c);
        break;
      case ControlKind::CheckBox:
      case ControlKind::OptionButton:
        controls_[key] = std::make_unique<FakeCheckBox>(*this, c);
        break;
      case ControlKind::Timer:
        timers_[c.name] = std::make_unique<FakeTimer>(c);
        break;
      case ControlKind::ImageList:
        break;
      default:
        controls_[key] = std::make_unique<FakeControl>(*this, c);
        break;
    }
  }
  switch (design.startPosition) {
    case StartPosition::Manual:
      screenLeft_ = design.left;
      screenTop_ = design.top;
      break;
    case StartPosition::CenterScreen:
      screenLeft_ = (FakeBackend::kScreenWidth - design.clientWidth) / 2;
      screenTop_ = (FakeBackend::kScreenHeight - design.clientHeight) / 2;
      break;
    case StartPosition::WindowsDefault:
    case StartPosition::OwnerTopRight:  // placed when shown, by its owner
      screenLeft_ = 1200;
      screenTop_ = 1200;
      break;
  }
  backend_.live_[design.name] = this;
  backend_.Note("create " + design.name);
}

FakeWindow::~FakeWindow() {
  auto it = backend_.live_.find(design_.name);
  if (it != backend_.live_.end() && it->second == this) {
    backend_.live_.erase(it);
  }
  backend_.Note("destroy " + design_.name);
}

std::string FakeWindow::Caption() const {
  faults.Check("Caption");
  return caption_;
}

void FakeWindow::SetCaption(const std::string& text) {
  faults.Check("SetCaption");
  caption_ = ValidUtf8(text);
}

float FakeWindow::ScaleWidth() const {
  faults.Check("ScaleWidth");
  return scaleWidth_;
}

float FakeWindow::ScaleHeight() const {
  faults.Check("ScaleHeight");
  return scaleHeight_;
}

Rect FakeWindow::ScreenArea() const {
  faults.Check("ScreenArea");
  return Rect{screenLeft_, screenTop_, scaleWidth_, scaleHeight_};
}

void FakeWindow::MoveTo(float left, float top) {
  faults.Check("MoveTo");
  screenLeft_ = left;
  screenTop_ = top;
  backend_.Note("move " + design_.name);
}

Rect FakeWindow::WorkArea() const {
  return Rect{0, 0, FakeBackend::kScreenWidth, FakeBackend::kScreenHeight};
}

void FakeWindow::Show() {
  faults.Check("Show");
  if (visible_) {
    return;
  }
  visible_ = true;
  ++shows_;
  if (shows_ == 1) {
    PlaceByOwner();
  }
  backend_.active_ = design_.name;
  backend_.Note("show " + design_.name);
  // The focus goes to the first control in the tab order that can take it.
  const ControlDesign* first = FirstFocus(design_, nullptr);
  focus_ = first != nullptr ? first->name : std::string();
  if (shows_ == 1) {  // Resize comes with the first show only
    Event resize{.type = EventType::Resize};
    Raise(resize);
  }
}

void FakeWindow::Hide() {
  if (!visible_) {
    return;
  }
  visible_ = false;
  backend_.Note("hide " + design_.name);
}

void FakeWindow::PlaceByOwner() {
  const FakeWindow* owner = design_.owner.empty() ? nullptr : backend_.Find(design_.owner);
  if (design_.startPosition != StartPosition::OwnerTopRight || owner == nullptr) {
    return;
  }
  screenLeft_ = owner->screenLeft_ + owner->scaleWidth_ - design_.left - scaleWidth_;
  screenTop_ = owner->screenTop_ + design_.top;
}

bool FakeWindow::Active() const { return visible_ && backend_.active_ == design_.name; }

template <class T>
T& FakeWindow::Typed(const std::string& name, std::int16_t index) {
  return TypedControl<T>(controls_, design_.name, name, index);
}

Control& FakeWindow::GetControl(const std::string& name, std::int16_t index) {
  return Typed<Control>(name, index);
}
Label& FakeWindow::GetLabel(const std::string& name, std::int16_t index) {
  return Typed<FakeLabel>(name, index);
}
ComboBox& FakeWindow::GetComboBox(const std::string& name) { return Typed<FakeComboBox>(name, -1); }
Toolbar& FakeWindow::GetToolbar(const std::string& name) { return Typed<FakeToolbar>(name, -1); }
WebBrowser& FakeWindow::GetWebBrowser(const std::string& name) {
  return Typed<FakeWebBrowser>(name, -1);
}
Timer& FakeWindow::GetTimer(const std::string& name) { return TimerNamed(name); }
TextBox& FakeWindow::GetTextBox(const std::string& name) { return Typed<FakeTextBox>(name, -1); }
CheckBox& FakeWindow::GetCheckBox(const std::string& name) {
  return Typed<FakeCheckBox>(name, -1);
}
FakeTextBox& FakeWindow::TextBoxNamed(const std::string& name) {
  return Typed<FakeTextBox>(name, -1);
}
FakeCheckBox& FakeWindow::CheckBoxNamed(const std::string& name) {
  return Typed<FakeCheckBox>(name, -1);
}

FakeLabel& FakeWindow::LabelNamed(const std::string& name, std::int16_t index) {
  return Typed<FakeLabel>(name, index);
}
FakeComboBox& FakeWindow::Combo(const std::string& name) { return Typed<FakeComboBox>(name, -1); }
FakeToolbar& FakeWindow::ToolbarNamed(const std::string& name) {
  return Typed<FakeToolbar>(name, -1);
}
FakeWebBrowser& FakeWindow::Browser(const std::string& name) {
  return Typed<FakeWebBrowser>(name, -1);
}
FakeTimer& FakeWindow::TimerNamed(const std::string& name) {
  return NamedTimer(timers_, design_.name, name);
}

void FakeWindow::Raise(Event& event) { sink_.Raise(event); }

void FakeWindow::Settle() { backend_.Drain(); }

void FakeWindow::ClickAt(float x, float y) {
  const ControlDesign* hit = HitTest(design_, x, y, CurrentAreas(controls_));
  if (hit != nullptr && hit->tabStop) {
    focus_ = hit->name;
  }
  if (hit != nullptr &&
      (hit->kind == ControlKind::CheckBox || hit->kind == ControlKind::OptionButton)) {
    CheckBoxNamed(hit->name).Press();
  }
  // A combo box, toolbar or web view takes the click itself: the window
  // raises nothing for it (a button's own click is a Click).
  if (hit == nullptr || !TakesOwnClicks(hit->kind) || hit->kind == ControlKind::CommandButton) {
    Event click{.type = EventType::Click, .control = hit != nullptr ? hit->name : std::string(),
                .index = hit != nullptr ? hit->index : std::int16_t{-1}};
    Raise(click);
  }
  Settle();
}

void FakeWindow::ClickButton(const std::string& name) {
  focus_ = name;
  Event click{.type = EventType::Click, .control = name};
  Raise(click);
  Settle();
}

void FakeWindow::CloseBox() {
  Event close{.type = EventType::Close};
  Raise(close);
  Settle();
}

void FakeWindow::ResizeClient(float width, float height) {
  scaleWidth_ = width;
  scaleHeight_ = height;
  Event resize{.type = EventType::Resize};
  Raise(resize);
  Settle();
}

void FakeWindow::Tick(const std::string& timer) {
  if (TimerNamed(timer).Enabled() && TimerNamed(timer).Interval() > 0) {
    Event tick{.type = EventType::Timer, .control = timer};
    Raise(tick);
  }
  Settle();
}

void FakeWindow::SetFocus(const std::string& name) {
  focus_ = name;
  backend_.active_ = design_.name;
}

}  // namespace corvane::fake
