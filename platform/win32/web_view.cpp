// The web view control of a window: the system's WebBrowser control hosted
// in a child window of the form, behind the program's WebBrowser interface.
// What the user asks and what the control tells of the page go to the page
// policy (platform/ports/page.h); the view carries out its orders.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/ports/failure.h"
#include "platform/win32/find_in_page.h"
#include "platform/win32/question_box.h"
#include "platform/win32/web_host.h"
#include "platform/win32/window.h"
#include "platform/win32/window_procs.h"

namespace corvane::win32 {

namespace {

// The policy's timer, by the view's window.
constexpr UINT_PTR kPageTimer = 1;
constexpr const wchar_t* kViewProperty = L"corvane.web-view";

class Win32WebBrowser final : public Placed<WebBrowser>, public PageHost {
 public:
  Win32WebBrowser(Win32Window& form, const ControlDesign& design, HWND parent)
      : Placed(form, design), policy_(form.Backend().MakePagePolicy(*this)) {
    const RECT r = PixelRect();
    handle_ = ::CreateWindowExW(0, kWebHostClass, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN, r.left,
                                r.top, r.right - r.left, r.bottom - r.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.NextId())),
                                form.Backend().Instance(), nullptr);
    if (handle_ == nullptr) {
      throw Failure("cannot create " + design.name);
    }
    Win32Window* owner = &form;
    Win32Backend* backend = &form.Backend();
    ::SetPropW(handle_, kViewProperty, this);
    host_ = std::make_unique<WebHost>(
        handle_, design.name, [owner](Event& event) { owner->Raise(event); },
        [backend](std::function<void()> task) { backend->Post(std::move(task)); },
        [this] { return policy_.get(); });
  }
  ~Win32WebBrowser() override {
    StopTimer();
    ::RemovePropW(handle_, kViewProperty);
  }
  Win32WebBrowser(const Win32WebBrowser&) = delete;
  Win32WebBrowser& operator=(const Win32WebBrowser&) = delete;
  void Detach() override {
    StopTimer();
    host_.reset();
  }
  bool TranslateKey(MSG& message) override { return host_ && host_->TranslateKey(message); }
  void Moved() override {
    Place();
    // The size goes through the hosting container.
    if (host_) {
      host_->Fit();
    }
  }
  // The user's requests go to the page policy.
  void Navigate(const std::string& address) override {
    if (policy_) {
      policy_->Navigate(address);
    } else {
      Load(address);
    }
  }
  void GoBack() override { Automation().GoBack(); }
  void GoForward() override { Automation().GoForward(); }
  void GoHome() override { policy_ ? policy_->GoHome() : LoadHome(); }
  void GoSearch() override { policy_ ? policy_->GoSearch() : LoadSearch(); }
  void Refresh() override { policy_ ? policy_->Refresh() : Reload(); }
  void Stop() override { Automation().Stop(); }
  [[nodiscard]] std::string LocationName() const override {
    const OwnPage* page = Shown();
    return page != nullptr ? page->title : Automation().LocationName();
  }
  [[nodiscard]] const std::string& LocationURL() const override {
    const OwnPage* page = Shown();
    url_ = page != nullptr ? page->address : Automation().LocationURL();
    return url_;
  }
  [[nodiscard]] bool Busy() const override { return Automation().Busy(); }
  [[nodiscard]] float Zoom() const override { return Automation().Zoom(); }
  void SetZoom(float factor) override { Automation().SetZoom(factor); }
  // ---- print and save ----
  void Print() override { Automation().Print(); }
  void SavePage() override { Automation().SavePage(); }

  // ---- find in the page (platform/win32/find_in_page.cpp) ----
  void Find(const std::string& text, bool matchCase, bool backwards) override {
    Report(finder_.Find(Automation().Dispatch().get(), text, matchCase, backwards));
  }
  void FindNext() override { Report(finder_.Step(Automation().Dispatch().get(), false)); }
  void FindPrevious() override { Report(finder_.Step(Automation().Dispatch().get(), true)); }
  void FindFinish() override { finder_.Finish(); }
  // The page's window fills the control, which fills its host window here:
  // the host's client area stands for the page's.
  [[nodiscard]] std::optional<Rect> MatchArea() const override {
    RECT client{};
    ::GetClientRect(handle_, &client);
    const std::optional<Rect> box = finder_.MatchBox(
        Rect{0, 0, static_cast<float>(client.right), static_cast<float>(client.bottom)});
    POINT origin{0, 0};
    if (!box || ::ClientToScreen(handle_, &origin) == FALSE) {
      return std::nullopt;
    }
    const float left = form_.TwX(origin.x) + form_.TwX(1) * box->left;
    const float top = form_.TwY(origin.y) + form_.TwY(1) * box->top;
    return Rect{left, top, form_.TwX(1) * box->width, form_.TwY(1) * box->height};
  }
  void SetFocus() override {
    ::SetForegroundWindow(::GetAncestor(handle_, GA_ROOT));
    ::SetFocus(FocusHandle());
  }
  // ---- end of find in the page ----

  // ---- the page policy's orders ----
  // The control completes addresses itself.
  void Load(const std::string& uri) override { Automation().Navigate(uri); }
  void LoadHome() override { Automation().GoHome(); }
  void LoadSearch() override { Automation().GoSearch(); }
  void Reload() override { Automation().Refresh(); }
  void ShowOwnPage(const OwnPage& page) override {
    if (host_) {
      host_->Show(page);
    }
  }
  // Modal, as the system's boxes are: the answer is reported once given.
  void Ask(const PageQuestion& question) override {
    const bool goOn = AskAboutPage(::GetAncestor(handle_, GA_ROOT), question);
    if (policy_) {
      policy_->Answered(goOn);
    }
  }
  void DropQuestion() override { CloseQuestionAboutPage(); }
  void StopLoading() override { Automation().Stop(); }
  void StartTimer(int ms) override {
    ::SetTimer(handle_, kPageTimer, static_cast<UINT>(ms > 0 ? ms : 0), &Win32WebBrowser::OnTimer);
  }
  void StopTimer() override { ::KillTimer(handle_, kPageTimer); }
  [[nodiscard]] std::int64_t NowMs() const override {
    return static_cast<std::int64_t>(::GetTickCount());
  }
  [[nodiscard]] bool CompletesAddresses() const override { return true; }
  // The control tells nothing of a page that hangs in a script.
  [[nodiscard]] bool WatchesProcess() const override { return false; }

 private:
  static void CALLBACK OnTimer(HWND window, UINT /*message*/, UINT_PTR id, DWORD /*time*/) {
    ::KillTimer(window, id);
    auto* self = static_cast<Win32WebBrowser*>(::GetPropW(window, kViewProperty));
    if (self == nullptr || !self->policy_) {
      return;
    }
    try {
      self->policy_->TimerFired();
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into the system
    }
  }

  void Report(const FindOutcome& outcome) {
    Event result{.type = EventType::FindResult, .control = design_.name, .found = outcome.found,
                 .matches = outcome.matches};
    form_.Raise(result);
  }
  PageFinder finder_;
  [[nodiscard]] const OwnPage* Shown() const { return host_ ? host_->Shown() : nullptr; }
  [[nodiscard]] BrowserAutomation Automation() const {
    if (!host_) {
      throw Failure("the web view is gone");
    }
    return host_->Automation();
  }
  std::unique_ptr<PageEvents> policy_;  // decides about the page
  std::unique_ptr<WebHost> host_;
  mutable std::string url_;  // the address last read
};

}  // namespace

std::unique_ptr<Item> MakeWebBrowser(Win32Window& form, const ControlDesign& design, HWND parent) {
  return std::make_unique<Win32WebBrowser>(form, design, parent);
}

}  // namespace corvane::win32
