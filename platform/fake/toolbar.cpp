#include "platform/fake/fake_backend.h"

#include <utility>

namespace corvane::fake {

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

}  // namespace corvane::fake
