#include "platform/fake/fake_backend.h"

#include <stdexcept>

#include "platform/keys.h"

namespace corvane::fake {

void Faults::Check(const std::string& operation) const {
  if (!failing_.empty() && failing_.count(operation) != 0) {
    throw Failure(operation + " failed");
  }
}

// ---- combo box -------------------------------------------------------------

std::string FakeComboBox::Text() const {
  faults.Check("Text");
  return text_;
}

void FakeComboBox::SetText(const std::string& text) {
  faults.Check("SetText");
  text_ = ValidUtf8(text);
  allSelected_ = false;
  listIndex_ = -1;  // text set leaves no entry selected
}

std::int16_t FakeComboBox::ListCount() const {
  faults.Check("ListCount");
  return static_cast<std::int16_t>(items_.size());
}

const std::string& FakeComboBox::List(std::int16_t index) const {
  faults.Check("List");
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
    throw Failure("invalid list index");
  }
  return items_[static_cast<std::size_t>(index)];
}

void FakeComboBox::AddItem(const std::string& text, std::int16_t index) {
  faults.Check("AddItem");
  if (items_.size() >= static_cast<std::size_t>(kMaxEntries)) {
    throw Failure("the list is full");
  }
  if (index < -1 || index > static_cast<std::int16_t>(items_.size())) {
    throw Failure("invalid list index");
  }
  if (index == -1) {
    items_.push_back(ValidUtf8(text));
  } else {
    items_.insert(items_.begin() + index, ValidUtf8(text));
    if (listIndex_ >= index) {
      ++listIndex_;
    }
  }
}

void FakeComboBox::RemoveItem(std::int16_t index) {
  faults.Check("RemoveItem");
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
    throw Failure("invalid list index");
  }
  items_.erase(items_.begin() + index);
  if (listIndex_ == index) {
    listIndex_ = -1;
  } else if (listIndex_ > index) {
    --listIndex_;
  }
}

void FakeComboBox::SetListIndex(std::int16_t index) {
  faults.Check("SetListIndex");
  if (index < -1 || index >= static_cast<std::int16_t>(items_.size())) {
    throw Failure("invalid list index");
  }
  listIndex_ = index;
  if (index >= 0) {
    text_ = items_[static_cast<std::size_t>(index)];
  }
  Event click{.type = EventType::Click, .control = Design().name};
  window_.Raise(click);
}

void FakeComboBox::SetFocus() {
  faults.Check("SetFocus");
  window_.SetFocus(Design().name);
}

void FakeComboBox::SelectAll() {
  faults.Check("SelectAll");
  allSelected_ = true;
}

void FakeComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  listIndex_ = -1;
}

void FakeComboBox::PressKey(std::int16_t code) {
  std::int16_t key = code;
  Event press{.type = EventType::KeyPress, .control = Design().name, .keyAscii = &key};
  window_.Raise(press);
}

void FakeComboBox::Pick(std::int16_t index) {
  // A pick by the user selects like the program does, and raises Click; the
  // faults a test sets are for the program's calls, not for the user.
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
    throw std::logic_error("no entry to pick at that index");
  }
  listIndex_ = index;
  text_ = items_[static_cast<std::size_t>(index)];
  Event click{.type = EventType::Click, .control = Design().name};
  window_.Raise(click);
}

// ---- toolbar ---------------------------------------------------------------

namespace {

class KeyedButton final : public ToolbarButton {
 public:
  explicit KeyedButton(std::string key, bool broken = false)
      : key_(std::move(key)), broken_(broken) {}
  [[nodiscard]] std::string Key() const override {
    if (broken_) {
      throw Failure("Key failed");
    }
    return key_;
  }

 private:
  std::string key_;
  bool broken_;
};

}  // namespace

void FakeToolbar::ClickButton(const std::string& key) {
  const KeyedButton button(key);
  Event click{.type = EventType::ButtonClick, .control = Design().name, .button = &button};
  window_.Raise(click);
}

void FakeToolbar::ClickBrokenButton() {
  const KeyedButton button({}, true);
  Event click{.type = EventType::ButtonClick, .control = Design().name, .button = &button};
  window_.Raise(click);
}

// ---- web view --------------------------------------------------------------

void FakeWebBrowser::Call(const std::string& operation, const std::string& argument) {
  calls.push_back(operation + "(" + argument + ")");
  if (onCall) {
    onCall(calls.back());
  }
  faults.Check(operation);
}

std::string FakeWebBrowser::LocationName() const {
  faults.Check("LocationName");
  return locationName;
}

const std::string& FakeWebBrowser::LocationURL() const {
  ++urlReads;
  faults.Check("LocationURL");
  return locationURL;
}

bool FakeWebBrowser::Busy() const {
  faults.Check("Busy");
  return busy;
}

float FakeWebBrowser::Zoom() const {
  faults.Check("Zoom");
  return zoom;
}

void FakeWebBrowser::SetZoom(float factor) {
  Call("SetZoom", std::to_string(factor));
  zoom = factor;
}

void FakeWebBrowser::RaiseNavigateComplete2(const std::string& address) {
  Event done{.type = EventType::NavigateComplete2, .control = Design().name, .text = address};
  window_.Raise(done);
}

void FakeWebBrowser::RaiseDownloadComplete() {
  Event done{.type = EventType::DownloadComplete, .control = Design().name};
  window_.Raise(done);
}

// ---- window ----------------------------------------------------------------

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

void FakeWindow::Show() {
  faults.Check("Show");
  if (visible_) {
    return;
  }
  visible_ = true;
  ++shows_;
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

KeyRouting FakeWindow::Routing() {
  return KeyRouting{
      .design = design_,
      .raise = [this](Event& event) { Raise(event); },
      .alive = [this] { return visible_; },
      .focused = [this] { return design_.Find(focus_); },
      .focus = [this](const ControlDesign& control) { focus_ = control.name; },
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
    (void)RouteCharacter(routing, key);
  }
  Settle();
}

void FakeWindow::ClickAt(float x, float y) {
  const ControlDesign* hit = HitTest(design_, x, y);
  if (hit != nullptr && hit->tabStop) {
    focus_ = hit->name;
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

void FakeWindow::SetFocus(const std::string& name) { focus_ = name; }

// ---- backend ---------------------------------------------------------------

FakeBackend::~FakeBackend() = default;

std::unique_ptr<NativeWindow> FakeBackend::MakeWindow(const WindowDesign& design,
                                                      EventSink& sink) {
  faults.Check("MakeWindow");
  auto window = std::make_unique<FakeWindow>(*this, design, sink);
  if (onCreate) {
    onCreate(*window);
  }
  return window;
}

void FakeBackend::Run() {
  ++runs_;
  Drain();
}

void FakeBackend::Quit() {
  ++quits_;
  Note("quit");
}

void FakeBackend::Post(std::function<void()> task) { posted_.push_back(std::move(task)); }

void FakeBackend::Drain() {
  if (draining_) {
    return;
  }
  draining_ = true;
  while (!posted_.empty()) {
    std::vector<std::function<void()>> batch;
    batch.swap(posted_);
    for (auto& task : batch) {
      task();
    }
  }
  draining_ = false;
}

FakeWindow* FakeBackend::Find(const std::string& name) const {
  auto it = live_.find(name);
  return it == live_.end() ? nullptr : it->second;
}

FakeWindow& FakeBackend::Window(const std::string& name) const {
  FakeWindow* window = Find(name);
  if (window == nullptr) {
    throw std::logic_error("no live window " + name);
  }
  return *window;
}

void FakeBackend::Note(const std::string& entry) {
  journal_.push_back(entry);
  if (onNote) {
    onNote(entry);
  }
}

}  // namespace corvane::fake
