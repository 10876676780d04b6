// The conformance cases on the in-memory backend that the core's tests use.
#include "platform/fake/fake_backend.h"
#include "tests/conformance/driver.h"
#include "tests/conformance/stroke_codes.h"
#include "tests/support/page_policy.h"

namespace corvane::conformance {
namespace {

class FakeDriver final : public Driver {
 public:
  Backend& TheBackend() override { return backend_; }
  std::unique_ptr<NativeWindow> Open(const WindowDesign& design, EventSink& sink) override {
    auto window = backend_.MakeWindow(design, sink);
    window->Show();
    return window;
  }
  void Press(NativeWindow& window, const Stroke& stroke) override {
    const StrokeCodes codes = CodesOf(stroke);
    Fake(window).Stroke(codes.keyCode, codes.shift, codes.character);
  }
  void ClickAt(NativeWindow& window, float x, float y) override { Fake(window).ClickAt(x, y); }
  void Focus(NativeWindow& window, const std::string& name) override {
    Fake(window).SetFocus(name);
  }
  std::string Focused(NativeWindow& window) override { return Fake(window).Focused(); }
  void Settle() override { backend_.Drain(); }
  // Time passes as ticks of every timer, in design order.
  bool TimePasses(NativeWindow& window, const std::function<bool()>& condition) override {
    for (int round = 0; round < 1000 && !condition(); ++round) {
      for (const ControlDesign& c : Fake(window).Design().controls) {
        if (c.kind == ControlKind::Timer) {
          Fake(window).Tick(c.name);
        }
      }
    }
    return condition();
  }
  std::optional<TextFit> Fit(NativeWindow& /*window*/, const std::string& /*label*/) override {
    return std::nullopt;
  }
  [[nodiscard]] std::string Cannot(Need need) const override {
    switch (need) {
      case Need::TextMetrics:
        return "the fake backend draws no text, so it has no text to measure";
      case Need::PageEngine:
        return "the fake web view loads nothing: the core's tests script its events";
      case Need::FailingLoads:
        return "the fake web view loads nothing: the core's tests script its page's reports";
      case Need::PassingTime:
        break;
    }
    return {};
  }

 private:
  static fake::FakeWindow& Fake(NativeWindow& window) {
    return static_cast<fake::FakeWindow&>(window);
  }
  fake::FakeBackend backend_;
  testing::PolicyGiven policy_{backend_, "home.example", "search.example"};
};

}  // namespace

std::unique_ptr<Driver> MakeDriver() { return std::make_unique<FakeDriver>(); }

}  // namespace corvane::conformance
