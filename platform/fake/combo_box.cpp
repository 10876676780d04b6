#include "platform/fake/fake_backend.h"

#include <stdexcept>
#include <utility>

namespace corvane::fake {

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

}  // namespace corvane::fake
