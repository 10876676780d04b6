#include "platform/fake/fake_backend.h"

#include <stdexcept>

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
  text_ = text;
  allSelected_ = false;
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
    items_.push_back(text);
  } else {
    items_.insert(items_.begin() + index, text);
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
  caption_ = text;
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
  const ControlDesign* first = nullptr;
  for (const ControlDesign& c : design_.controls) {
    if (c.tabStop && c.tabIndex >= 0 && (first == nullptr || c.tabIndex < first->tabIndex)) {
      first = &c;
    }
  }
  focus_ = first != nullptr ? first->name : std::string();
  Event resize{.type = EventType::Resize};
  Raise(resize);
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
  auto it = controls_.find(std::make_pair(name, index));
  if (it != controls_.end()) {
    if (auto* typed = dynamic_cast<T*>(it->second.get())) {
      return *typed;
    }
  }
  throw Failure(design_.name + " has no such control: " + name);
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
  auto it = timers_.find(name);
  if (it == timers_.end()) {
    throw Failure(design_.name + " has no such timer: " + name);
  }
  return *it->second;
}

void FakeWindow::Raise(Event& event) { sink_.Raise(event); }

void FakeWindow::Settle() { backend_.Drain(); }

void FakeWindow::PressKey(std::int16_t code) {
  std::int16_t key = code;
  if (design_.keyPreview) {
    Event preview{.type = EventType::KeyPress, .keyAscii = &key};
    Raise(preview);
  }
  // A handler may have unloaded this window; it then takes no more input.
  if (visible_ && key != 0) {
    const ControlDesign* focused = design_.Find(focus_);
    const bool onButton = focused != nullptr && focused->kind == ControlKind::CommandButton;
    const ControlDesign* pressed = nullptr;
    for (const ControlDesign& c : design_.controls) {
      if (c.kind == ControlKind::CommandButton &&
          ((key == 13 && c.isDefault && !onButton) || (key == 27 && c.isCancel))) {
        pressed = &c;
      }
    }
    if (key == 13 && onButton) {
      pressed = focused;
    }
    if (pressed != nullptr) {
      Event click{.type = EventType::Click, .control = pressed->name};
      Raise(click);
    } else if (focused != nullptr && focused->kind == ControlKind::ComboBox) {
      Event press{.type = EventType::KeyPress, .control = focused->name, .keyAscii = &key};
      Raise(press);
    }
  }
  Settle();
}

bool FakeWindow::PressKeyDown(std::int16_t keyCode, std::int16_t shift) {
  std::int16_t key = keyCode;
  if (design_.keyPreview) {
    Event down{.type = EventType::KeyDown, .keyCode = &key, .shift = shift};
    Raise(down);
  }
  Settle();
  return key != 0;
}

void FakeWindow::PressAccessKey(char letter) {
  if (const ControlDesign* owner = AccessKeyOwner(design_, letter)) {
    if (owner->kind == ControlKind::CommandButton) {
      focus_ = owner->name;
      Event click{.type = EventType::Click, .control = owner->name};
      Raise(click);
    } else if (!owner->mnemonicTarget.empty()) {
      focus_ = owner->mnemonicTarget;
    }
  }
  Settle();
}

void FakeWindow::ClickAt(float x, float y) {
  const ControlDesign* hit = HitTest(design_, x, y);
  if (hit != nullptr && hit->tabStop) {
    focus_ = hit->name;
  }
  Event click{.type = EventType::Click, .control = hit != nullptr ? hit->name : std::string(),
              .index = hit != nullptr ? hit->index : std::int16_t{-1}};
  Raise(click);
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
  if (TimerNamed(timer).Enabled()) {
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
