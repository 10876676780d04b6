// The web view control of a window: the system's WebBrowser control hosted
// in a child window of the form, behind the program's WebBrowser interface.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/ports/failure.h"
#include "browsing/typed_address.h"
#include "platform/win32/find_in_page.h"
#include "platform/win32/web_host.h"
#include "platform/win32/window.h"
#include "platform/win32/window_procs.h"

namespace corvane::win32 {

namespace {

class Win32WebBrowser final : public Placed<WebBrowser> {
 public:
  Win32WebBrowser(Win32Window& form, const ControlDesign& design, HWND parent)
      : Placed(form, design) {
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
    host_ = std::make_unique<WebHost>(
        handle_, design.name, [owner](Event& event) { owner->Raise(event); },
        [backend](std::function<void()> task) { backend->Post(std::move(task)); });
  }
  void Detach() override { host_.reset(); }
  bool TranslateKey(MSG& message) override { return host_ && host_->TranslateKey(message); }
  void Moved() override {
    Place();
    // The size goes through the hosting container.
    if (host_) {
      host_->Fit();
    }
  }
  // Words that are no address are searched for; an address goes as typed,
  // and the control completes it.
  void Navigate(const std::string& address) override {
    if (const std::optional<std::string> load = AddressToLoad(
            address, form_.Backend().SearchQuery(), AddressCompletion::kByTheControl)) {
      Automation().Navigate(*load);
    }  // a script address is refused
  }
  void GoBack() override { Automation().GoBack(); }
  void GoForward() override { Automation().GoForward(); }
  void GoHome() override { Automation().GoHome(); }
  void GoSearch() override { Automation().GoSearch(); }
  // Our own page stands for the address that failed: Refresh loads that.
  void Refresh() override {
    if (const OwnPageText* page = OwnPage()) {
      Automation().Navigate(page->address);
    } else {
      Automation().Refresh();
    }
  }
  void Stop() override { Automation().Stop(); }
  [[nodiscard]] std::string LocationName() const override {
    const OwnPageText* page = OwnPage();
    return page != nullptr ? page->title : Automation().LocationName();
  }
  [[nodiscard]] const std::string& LocationURL() const override {
    const OwnPageText* page = OwnPage();
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

 private:
  void Report(const FindOutcome& outcome) {
    Event result{.type = EventType::FindResult, .control = design_.name, .found = outcome.found,
                 .matches = outcome.matches};
    form_.Raise(result);
  }
  PageFinder finder_;
  [[nodiscard]] const OwnPageText* OwnPage() const { return host_ ? host_->OwnPage() : nullptr; }
  [[nodiscard]] BrowserAutomation Automation() const {
    if (!host_) {
      throw Failure("the web view is gone");
    }
    return host_->Automation();
  }
  std::unique_ptr<WebHost> host_;
  mutable std::string url_;  // the address last read
};

}  // namespace

std::unique_ptr<Item> MakeWebBrowser(Win32Window& form, const ControlDesign& design, HWND parent) {
  return std::make_unique<Win32WebBrowser>(form, design, parent);
}

}  // namespace corvane::win32
