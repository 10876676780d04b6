#include <algorithm>
#include <cctype>

#include "platform/fake/fake_backend.h"

namespace corvane::fake {

FakeWebBrowser::FakeWebBrowser(FakeWindow& window, const ControlDesign& design)
    : FakePlaced(window, design), policy_(window.Backend().MakePagePolicy(*this)) {}

void FakeWebBrowser::Navigate(const std::string& address) {
  Call("Navigate", address);
  if (policy_) {
    policy_->Navigate(address);
  }
}

void FakeWebBrowser::GoHome() {
  Call("GoHome");
  if (policy_) {
    policy_->GoHome();
  }
}

void FakeWebBrowser::GoSearch() {
  Call("GoSearch");
  if (policy_) {
    policy_->GoSearch();
  }
}

void FakeWebBrowser::Refresh() {
  Call("Refresh");
  if (policy_) {
    policy_->Refresh();
  }
}

void FakeWebBrowser::Order(const std::string& what, const std::string& argument) {
  orders.push_back(what + "(" + argument + ")");
}

// As an engine shows a page: later, its address reached, then its end, with
// the page's title for its name.
void FakeWebBrowser::ShowOwnPage(const OwnPage& page) {
  Order("ShowOwnPage", page.address);
  ownPageHtml = page.html;
  const std::string address = page.address;
  const std::string title = page.title;
  const std::string name = Design().name;
  const std::string windowName = window_.Design().name;
  FakeBackend& backend = window_.Backend();
  backend.Post([&backend, windowName, name, address, title] {
    FakeWindow* window = backend.Find(windowName);
    if (window == nullptr) {
      return;  // gone with its window
    }
    FakeWebBrowser& view = window->Browser(name);
    view.locationURL = address;
    view.locationName = title;
    view.busy = false;
    view.Commit(address, true);
    view.RaiseDownloadComplete();
  });
}

void FakeWebBrowser::Ask(const PageQuestion& asked) {
  Order("Ask", asked.title);
  question = asked;
}

void FakeWebBrowser::DropQuestion() {
  Order("DropQuestion");
  question.reset();
}

void FakeWebBrowser::StartTimer(int ms) {
  Order("StartTimer", std::to_string(ms));
  timerDue_ = now_ + ms;
}

void FakeWebBrowser::StopTimer() {
  Order("StopTimer");
  timerDue_.reset();
}

void FakeWebBrowser::Advance(std::int64_t ms) {
  now_ += ms;
  if (timerDue_ && *timerDue_ <= now_) {
    timerDue_.reset();
    if (policy_) {
      policy_->TimerFired();
    }
  }
}

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
  Commit(address, false);
}

void FakeWebBrowser::Commit(const std::string& address, bool ownPage) {
  if (policy_) {
    policy_->Committed(address, ownPage);
  }
  Event done{.type = EventType::NavigateComplete2, .control = Design().name, .text = address};
  window_.Raise(done);
}

void FakeWebBrowser::RaiseDownloadComplete() {
  Event done{.type = EventType::DownloadComplete, .control = Design().name};
  window_.Raise(done);
}

}  // namespace corvane::fake

// ---- find in the page --------------------------------------------------------

namespace corvane::fake {

namespace {

std::string Folded(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

void FakeWebBrowser::Find(const std::string& text, bool matchCase, bool backwards) {
  Call("Find", text + (matchCase ? ", case" : "") + (backwards ? ", up" : ""));
  matches_.clear();
  const std::string page = matchCase ? pageText : Folded(pageText);
  const std::string wanted = matchCase ? text : Folded(text);
  for (std::size_t at = page.find(wanted); !wanted.empty() && at != std::string::npos;
       at = page.find(wanted, at + 1)) {
    matches_.push_back(static_cast<std::ptrdiff_t>(at));
  }
  current_ = backwards && !matches_.empty() ? matches_.size() - 1 : 0;
  SelectMatch(0);
}

void FakeWebBrowser::FindNext() {
  Call("FindNext");
  SelectMatch(1);
}

void FakeWebBrowser::FindPrevious() {
  Call("FindPrevious");
  SelectMatch(-1);
}

void FakeWebBrowser::FindFinish() {
  Call("FindFinish");
  matches_.clear();
}

void FakeWebBrowser::SetFocus() {
  Call("SetFocus");
  window_.SetFocus(Design().name);
}

void FakeWebBrowser::SelectMatch(int step) {
  const bool found = !matches_.empty();
  if (found) {
    const auto count = static_cast<std::ptrdiff_t>(matches_.size());
    // Wraps at either end.
    current_ = static_cast<std::size_t>(
        ((static_cast<std::ptrdiff_t>(current_) + step) % count + count) % count);
    selected = matches_[current_];
  } else {
    selected = -1;
  }
  const auto counted = countsMatches ? static_cast<std::int32_t>(matches_.size()) : -1;
  const std::string name = Design().name;
  const std::string windowName = window_.Design().name;
  FakeBackend& backend = window_.Backend();
  backend.Post([&backend, windowName, name, found, counted] {
    // The web view may be gone by then, with its window.
    if (FakeWindow* window = backend.Find(windowName)) {
      Event result{.type = EventType::FindResult, .control = name, .found = found,
                   .matches = counted};
      window->Raise(result);
    }
  });
}

}  // namespace corvane::fake
