// The conformance cases on the in-memory backend that the core's tests use.
// Its web view loads nothing: a small scripted engine here stands in for
// one. It carries out the page policy's orders (loads, Refresh) with the
// pages of the suite's loopback server that the page cases use, and makes
// their reports as an engine would (a new window asked for on a click or on
// the load, dialog after dialog, a permission request), showing and
// answering the questions as the GTK web view does.
#include <cstdint>
#include <map>
#include <set>

#include "platform/fake/fake_backend.h"
#include "tests/conformance/driver.h"
#include "tests/conformance/stroke_codes.h"
#include "tests/support/page_policy.h"

namespace corvane::conformance {
namespace {

using fake::FakeBackend;
using fake::FakeWebBrowser;
using fake::FakeWindow;

// A button's label as the user reads it ("&Stop Page" -> "Stop Page").
std::string Unmarked(std::string label) {
  std::erase(label, '&');
  return label;
}

// What the fake's web views load: the pages of the loopback server that the
// page cases use, each with what it does.
class Engine {
 public:
  static constexpr const char* kSite = "http://127.0.0.1:8080";

  // A window made: its views' orders are carried out from here on.
  void Opened(FakeBackend& backend, const std::string& window) {
    windows_.push_back(window);
    if (FakeWindow* made = backend.Find(window)) {
      for (const ControlDesign& c : made->Design().controls) {
        if (c.kind == ControlKind::WebBrowser) {
          done_[&made->Browser(c.name)] = made->Browser(c.name).orders.size();
          ours_.erase(&made->Browser(c.name));
        }
      }
    }
  }
  [[nodiscard]] int Requests(const std::string& path) const {
    auto it = requests_.find(path);
    return it == requests_.end() ? 0 : it->second;
  }

  [[nodiscard]] const std::vector<std::string>& Saved() const { return saved_; }

  // Carries out what the policies ordered since, until none is left.
  void Run(FakeBackend& backend) {
    for (bool more = true; more;) {
      more = false;
      backend.Drain();
      for (FakeWebBrowser* view : Views(backend)) {
        std::size_t& done = done_[view];
        while (done < view->orders.size()) {
          const std::string order = view->orders[done++];
          const std::size_t open = order.find('(');
          const std::string what = order.substr(0, open);
          const std::string argument = order.substr(open + 1, order.size() - open - 2);
          if (what == "Load") {
            Show(*view, argument);
          } else if (what == "ShowOwnPage") {
            ours_.insert(view);
          } else if (what == "Reload" && ours_.contains(view)) {
            // What the view shows again: our page, which loads nothing.
            view->ShowOwnPage({view->locationName, view->locationURL, view->ownPageHtml});
          } else if (what == "Reload") {
            Show(*view, view->locationURL);
          }
          more = true;
        }
      }
    }
  }

  // A click on a page that opens a window when clicked anywhere in it.
  void Click(FakeWindow& window, float x, float y) {
    for (const ControlDesign& c : window.Design().controls) {
      const bool in = x >= c.left && x < c.left + c.width && y >= c.top && y < c.top + c.height;
      if (c.kind != ControlKind::WebBrowser || !in) {
        continue;
      }
      FakeWebBrowser& view = window.Browser(c.name);
      const Page& page = PageOf(view.locationURL);
      if (!page.opensOnClick.empty() && view.Page() != nullptr) {
        view.Page()->NewWindow(kSite + page.opensOnClick, true);
      }
      if (!page.offersOnClick.empty() && view.Page() != nullptr) {
        Offer(view, kSite + page.offersOnClick);
      }
    }
  }

  // The page's process ends; its dialogs and questions go with it.
  void EndProcess(FakeWebBrowser& view, PageEnd why) {
    if (asked_ && asked_->view == &view) {
      asked_.reset();
    }
    if (view.Page() != nullptr) {
      view.Page()->ProcessEnded(why, false);
    }
  }

  std::optional<Shown> Question(FakeBackend& backend) {
    if (asked_) {
      return Shown{asked_->question.title, asked_->question.text};
    }
    for (FakeWebBrowser* view : Views(backend)) {
      if (view->question) {
        return Shown{view->question->title, view->question->text};
      }
    }
    return std::nullopt;
  }

  bool Answer(FakeBackend& backend, const std::string& button) {
    if (asked_) {
      const Asked asked = *std::exchange(asked_, std::nullopt);
      const bool goOn = button == Unmarked(asked.question.goOn);
      if (!goOn && button != Unmarked(asked.question.stop)) {
        asked_ = asked;
        return false;
      }
      PageEvents& policy = *asked.view->Page();
      if (asked.about == About::kPermission) {
        policy.PermissionAnswered(goOn, true);
        Granted(*asked.view, goOn);
      } else if (asked.about == About::kDownload && goOn) {
        saved_.push_back(asked.question.detail);
      } else if (asked.about == About::kDialogs && !goOn) {
        EndProcess(*asked.view, PageEnd::kStopped);  // Stop Page, as the GTK view does
      }
      return true;
    }
    for (FakeWebBrowser* view : Views(backend)) {
      if (view->question && view->Page() != nullptr) {
        const PageQuestion question = *view->question;
        const bool goOn = button == Unmarked(question.goOn);
        if (!goOn && button != Unmarked(question.stop)) {
          return false;
        }
        view->question.reset();
        view->Page()->Answered(goOn);
        return true;
      }
    }
    return false;
  }

 private:
  struct Page {
    std::string title{};
    std::string opensOnClick{};  // a new window, with the user
    std::string opensOnLoad{};   // a new window, without the user
    std::string retitled{};      // after its script has run
    std::string offersOnClick{};  // a download
    bool dialogs = false;      // dialog after dialog
    bool asksLocation = false;
  };
  // A question of the view's own about the page: a flood of dialogs, a
  // permission, or where a download goes (its detail: the file's name).
  enum class About : std::uint8_t { kDialogs, kPermission, kDownload };
  struct Asked {
    FakeWebBrowser* view = nullptr;
    PageQuestion question;
    About about = About::kDialogs;
  };

  static const Page& PageOf(const std::string& address) {
    static const std::map<std::string, Page> pages = {
        {"/first.html", {.title = "First Page"}},
        {"/second.html", {.title = "Second Page"}},
        {"/third.html", {.title = "Third Page"}},
        {"/home.html", {.title = "Home Page"}},
        {"/blank-link.html", {.title = "Blank Link", .opensOnClick = "/second.html"}},
        {"/open-button.html", {.title = "Open Button", .opensOnClick = "/third.html"}},
        {"/popup.html",
         {.title = "Popup Page", .opensOnLoad = "/home.html", .retitled = "Popup Done"}},
        {"/alerts.html", {.title = "Alert Page", .dialogs = true}},
        {"/location.html", {.title = "Location Page", .asksLocation = true}},
        {"/download-link.html", {.title = "Download Link", .offersOnClick = "/attachment.txt"}},
    };
    static const Page notFound{.title = "Not Found"};
    auto it = pages.find(PathOf(address));
    return it == pages.end() ? notFound : it->second;
  }
  static std::string PathOf(const std::string& address) {
    const std::string site = kSite;
    if (!address.starts_with(site)) {
      return {};
    }
    const std::string path = address.substr(site.size());
    return path.substr(0, path.find('?'));
  }

  std::vector<FakeWebBrowser*> Views(FakeBackend& backend) const {
    std::vector<FakeWebBrowser*> views;
    for (const std::string& name : windows_) {
      if (FakeWindow* window = backend.Find(name)) {
        for (const ControlDesign& c : window->Design().controls) {
          if (c.kind == ControlKind::WebBrowser) {
            views.push_back(&window->Browser(c.name));
          }
        }
      }
    }
    return views;
  }

  // The page at `address` loads and its script runs.
  void Show(FakeWebBrowser& view, const std::string& address) {
    if (asked_ && asked_->view == &view) {
      asked_.reset();
    }
    ours_.erase(&view);
    ++requests_[PathOf(address)];
    const Page& page = PageOf(address);
    view.locationURL = address;
    view.locationName = page.title;
    view.RaiseNavigateComplete2(address);
    view.RaiseDownloadComplete();
    PageEvents* policy = view.Page();
    if (policy == nullptr) {
      return;
    }
    if (!page.opensOnLoad.empty()) {
      policy->NewWindow(kSite + page.opensOnLoad, false);
    }
    if (!page.retitled.empty()) {
      view.locationName = page.retitled;
    }
    // The page's own dialogs are closed at once, until the policy has a
    // question instead.
    for (int shown = 0; page.dialogs && shown < 100 && !asked_; ++shown) {
      if (std::optional<PageQuestion> question = policy->ScriptDialog("Again")) {
        asked_ = Asked{&view, *question, About::kDialogs};
      }
    }
    if (page.asksLocation) {
      switch (policy->PermissionRequested(kLocation)) {
        case PermissionVerdict::kAllow:
          Granted(view, true);
          break;
        case PermissionVerdict::kDeny:
          Granted(view, false);
          break;
        case PermissionVerdict::kAsk:
          asked_ = Asked{&view, policy->PermissionQuestionFor(kLocation), About::kPermission};
          break;
      }
    }
  }
  // The file at `address` is offered: the save dialog asks, as the GTK view's
  // does, when the policy lets it.
  void Offer(FakeWebBrowser& view, const std::string& address) {
    ++requests_[PathOf(address)];
    if (!asked_ && view.Page()->DownloadOffered(0)) {
      asked_ = Asked{&view, {"Save Download", "", "offered.txt", "&Save", "&Cancel"},
                     About::kDownload};
    }
  }
  static void Granted(FakeWebBrowser& view, bool allowed) {
    view.locationName = allowed ? "Location granted" : "Location denied";
  }

  std::vector<std::string> windows_;
  std::map<FakeWebBrowser*, std::size_t> done_;
  std::set<FakeWebBrowser*> ours_;  // showing our page
  std::map<std::string, int> requests_;
  std::optional<Asked> asked_;
  std::vector<std::string> saved_;  // the files the user let be saved
};

class FakeDriver final : public Driver {
 public:
  Backend& TheBackend() override { return backend_; }
  std::unique_ptr<NativeWindow> Open(const WindowDesign& design, EventSink& sink) override {
    auto window = backend_.MakeWindow(design, sink);
    window->Show();
    engine_.Opened(backend_, design.name);
    return window;
  }
  void Press(NativeWindow& window, const Stroke& stroke) override {
    const StrokeCodes codes = CodesOf(stroke);
    Fake(window).Stroke(codes.keyCode, codes.shift, codes.character);
  }
  void ClickAt(NativeWindow& window, float x, float y) override {
    Fake(window).ClickAt(x, y);
    engine_.Click(Fake(window), x, y);
    engine_.Run(backend_);
  }
  void Focus(NativeWindow& window, const std::string& name) override {
    Fake(window).SetFocus(name);
  }
  std::string Focused(NativeWindow& window) override { return Fake(window).Focused(); }
  void Settle() override {
    backend_.Drain();
    engine_.Run(backend_);
  }
  // Time passes as ticks of every timer, in design order.
  bool TimePasses(NativeWindow& window, const std::function<bool()>& condition) override {
    for (int round = 0; round < 1000 && !condition(); ++round) {
      Settle();
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
      case Need::Downloads:
      case Need::NewWindows:
      case Need::PageProcess:
      case Need::ScriptDialogs:
      case Need::Permissions:
        break;
    }
    return {};
  }
  std::string PageAt(const std::string& path) override { return Engine::kSite + path; }
  int Requests(const std::string& path) override { return engine_.Requests(path); }
  void EndPageProcess(NativeWindow& window, const std::string& view) override {
    engine_.EndProcess(Fake(window).Browser(view), PageEnd::kCrashed);
    engine_.Run(backend_);
  }
  std::optional<Shown> Question() override { return engine_.Question(backend_); }
  std::vector<std::string> DownloadFolder() override { return engine_.Saved(); }
  bool Answer(const std::string& button) override {
    const bool answered = engine_.Answer(backend_, button);
    engine_.Run(backend_);
    return answered;
  }

 private:
  static fake::FakeWindow& Fake(NativeWindow& window) {
    return static_cast<fake::FakeWindow&>(window);
  }
  fake::FakeBackend backend_;
  Engine engine_;
  testing::PolicyGiven policy_{backend_, "home.example", "search.example"};
};

}  // namespace

std::unique_ptr<Driver> MakeDriver() { return std::make_unique<FakeDriver>(); }

}  // namespace corvane::conformance
