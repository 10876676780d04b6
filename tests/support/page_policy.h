// Gives a test's web views the browser's page policy, with these pages, as
// the program gives its own (program/browser_program.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "browsing/page_policy.h"
#include "platform/ports/window.h"

namespace corvane::testing {

struct PolicyGiven {
  PolicyGiven(Backend& backend, std::string home, std::string search, std::string query = {}) {
    backend.SetPagePolicy(
        MakePagePolicies({std::move(home), std::move(search), std::move(query)}));
  }
};

// The browser's page policy, with a host whose loads and pages of ours go
// where a test says, as a web view's do; its other orders are dropped.
class PolicyHost final : public PageHost {
 public:
  std::function<void(const std::string&)> load;
  std::function<void(const OwnPage&)> show;
  std::vector<std::string> loads;  // every load ordered
  bool completes = true;
  PagePolicy policy{*this, {}};

  void Load(const std::string& uri) override {
    loads.push_back(uri);
    if (load) {
      load(uri);
    }
  }
  void ShowOwnPage(const OwnPage& page) override {
    if (show) {
      show(page);
    }
  }
  void LoadHome() override {}
  void LoadSearch() override {}
  void Reload() override {}
  void Ask(const PageQuestion& /*question*/) override {}
  void DropQuestion() override {}
  void StopLoading() override {}
  void StartTimer(int /*ms*/) override {}
  void StopTimer() override {}
  [[nodiscard]] std::int64_t NowMs() const override { return 0; }
  [[nodiscard]] bool CompletesAddresses() const override { return completes; }
  [[nodiscard]] bool WatchesProcess() const override { return false; }
  [[nodiscard]] std::function<PageEvents*()> Of() {
    return [this] { return &policy; };
  }
  [[nodiscard]] std::function<bool(const std::string&, bool)> Requests() {
    return [this](const std::string& address, bool byTheUser) {
      return policy.NewWindow(address, byTheUser);
    };
  }
};

}  // namespace corvane::testing
