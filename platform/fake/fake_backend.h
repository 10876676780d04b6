// An in-memory backend for tests: windows and controls that keep their state
// in memory, record what was done to them, can be told to fail, and raise
// events when a test drives them (keys, clicks, ticks, notifications).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/kit/placed.h"
#include "platform/ports/window.h"

namespace corvane::fake {

class FakeBackend;
class FakeWindow;

// Operations a test has told to fail, by name ("Navigate", "AddItem", ...).
class Faults {
 public:
  void FailOn(const std::string& operation) { failing_.insert(operation); }
  void Heal(const std::string& operation) { failing_.erase(operation); }
  void HealAll() { failing_.clear(); }
  [[nodiscard]] bool Failing(const std::string& operation) const {
    return failing_.count(operation) != 0;
  }
  // Throws Failure when `operation` is told to fail.
  void Check(const std::string& operation) const;

 private:
  std::set<std::string> failing_;
};

// The shared twips rectangle, with the faults a test can set on reading or
// moving it, and a count of moves.
template <class Interface>
class FakePlaced : public corvane::Placed<Interface> {
  using Base = corvane::Placed<Interface>;

 public:
  FakePlaced(FakeWindow& window, const ControlDesign& design) : Base(design), window_(window) {}

  [[nodiscard]] float Left() const override { faults.Check("Left"); return Base::Left(); }
  [[nodiscard]] float Top() const override { faults.Check("Top"); return Base::Top(); }
  [[nodiscard]] float Width() const override { faults.Check("Width"); return Base::Width(); }
  [[nodiscard]] float Height() const override { faults.Check("Height"); return Base::Height(); }
  void Move(float left, float top, float width, float height) override {
    faults.Check("Move");
    Base::Move(left, top, width, height);
  }

  Faults faults;
  int moves = 0;

 protected:
  void Moved() override { ++moves; }
  FakeWindow& window_;
};

class FakeControl final : public FakePlaced<Control> {
 public:
  using FakePlaced::FakePlaced;
};

// A label that sizes itself measures its text with fixed metrics: each
// character half the font's size wide (10 twips per point), a line 1.2
// times the font's size high (24 twips per point).
class FakeLabel final : public FakePlaced<Label> {
 public:
  FakeLabel(FakeWindow& window, const ControlDesign& design);
  [[nodiscard]] std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override;

 protected:
  void Moved() override;

 private:
  void Fit();
  std::string caption_;
};

class FakeButton final : public FakePlaced<CommandButton> {
 public:
  using FakePlaced::FakePlaced;
  [[nodiscard]] std::string Caption() const override { return Design().caption; }
};

class FakeComboBox final : public FakePlaced<ComboBox> {
 public:
  static constexpr std::int16_t kMaxEntries = 32767;
  using FakePlaced::FakePlaced;

  [[nodiscard]] std::string Text() const override;
  void SetText(const std::string& text) override;
  [[nodiscard]] std::int16_t ListCount() const override;
  [[nodiscard]] const std::string& List(std::int16_t index) const override;
  void AddItem(const std::string& text, std::int16_t index = -1) override;
  void RemoveItem(std::int16_t index) override;
  [[nodiscard]] std::int16_t ListIndex() const override { return listIndex_; }
  void SetListIndex(std::int16_t index) override;
  void SetFocus() override;
  void SelectAll() override;

  // Whether the whole text was selected, and nothing typed since.
  [[nodiscard]] bool AllSelected() const { return allSelected_; }

  // Test access: the entries as they stand.
  [[nodiscard]] const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);

  // Drivers: the user types into the edit field (no event), presses a
  // character key in the box, or picks entry `index` from the drop-down list.
  void Type(const std::string& text) {
    text_ = text;
    allSelected_ = false;
  }
  void PressKey(std::int16_t code);
  void Pick(std::int16_t index);

 private:
  std::vector<std::string> items_;
  std::string text_;
  std::int16_t listIndex_ = -1;
  bool allSelected_ = false;
};

class FakeTextBox final : public FakePlaced<TextBox> {
 public:
  using FakePlaced::FakePlaced;
  [[nodiscard]] std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetFocus() override;
  void SelectAll() override { allSelected_ = true; }
  [[nodiscard]] bool AllSelected() const { return allSelected_; }
  // Driver: the user types `text` at the end (or over a selected text).
  void Type(const std::string& text);

 private:
  std::string text_;
  bool allSelected_ = false;
};

// A check box or an option button.
class FakeCheckBox final : public FakePlaced<CheckBox> {
 public:
  FakeCheckBox(FakeWindow& window, const ControlDesign& design);
  [[nodiscard]] bool Value() const override;
  void SetValue(bool on) override;
  // What a click does: a check box turns over, an option button turns on.
  void Press();

 private:
  bool value_;
};

class FakeTimer final : public Timer {
 public:
  explicit FakeTimer(const ControlDesign& design);
  [[nodiscard]] bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  [[nodiscard]] int Interval() const override { return interval_; }
  Faults faults;

 private:
  bool enabled_;
  int interval_;
};

class FakeToolbar final : public FakePlaced<Toolbar> {
 public:
  using FakePlaced::FakePlaced;
  void Refresh() override {
    faults.Check("Refresh");
    ++refreshes;
  }
  int refreshes = 0;
  // Driver: the user clicks the button whose key is `key` (any text, so
  // tests can send keys the toolbar does not have).
  void ClickButton(const std::string& key);
  // Driver: a click whose button fails when its key is read.
  void ClickBrokenButton();
};

// The fake web view reports to the page policy the backend was given, as a
// real one does, and records what the policy tells it (`orders`); a test
// scripts the page's side through Page() and the clock through Advance().
class FakeWebBrowser final : public FakePlaced<WebBrowser>, public PageHost {
 public:
  FakeWebBrowser(FakeWindow& window, const ControlDesign& design);

  void Navigate(const std::string& address) override;
  void GoBack() override { Call("GoBack"); }
  void GoForward() override { Call("GoForward"); }
  void GoHome() override;
  void GoSearch() override;
  void Refresh() override;
  void Stop() override { Call("Stop"); }
  [[nodiscard]] std::string LocationName() const override;
  [[nodiscard]] const std::string& LocationURL() const override;
  [[nodiscard]] bool Busy() const override;
  [[nodiscard]] float Zoom() const override;
  void SetZoom(float factor) override;
  // Find in the page: searches `pageText` and raises FindResult from the
  // loop, as an engine answers later. Calls: "Find(text)", "Find(text,
  // case, up)", "FindNext()", "FindPrevious()", "FindFinish()".
  void Find(const std::string& text, bool matchCase, bool backwards) override;
  void FindNext() override;
  void FindPrevious() override;
  void FindFinish() override;
  // Answers `matchArea`, as scripted (a test may keep it after a search
  // that found nothing, as a backend at fault would).
  [[nodiscard]] std::optional<Rect> MatchArea() const override { return matchArea; }
  void SetFocus() override;
  // Script: the page's text, whether the page counts its matches, and where
  // the match is on the screen.
  std::string pageText;
  bool countsMatches = true;
  std::optional<Rect> matchArea;
  // The offset in pageText of the match selected, -1 for none.
  std::ptrdiff_t selected = -1;
  // ---- print and save ----
  void Print() override { Call("Print"); }
  void SavePage() override { Call("SavePage"); }

  // Script: what the properties answer.
  std::string locationName;
  std::string locationURL;
  bool busy = false;
  float zoom = 1.0F;
  // Every operation called, in order: "Navigate(address)", "GoBack()", ...
  std::vector<std::string> calls;
  // Reads of LocationURL so far.
  mutable int urlReads = 0;
  // Called with each entry of `calls` as it is made, before a scripted
  // failure (tests look at other controls at that moment).
  std::function<void(const std::string&)> onCall;

  // Drivers: the web view reports.
  void RaiseNavigateComplete2(const std::string& address);
  void RaiseDownloadComplete();

  // ---- the page policy ----
  // The page policy of this view (none: the backend was given none).
  [[nodiscard]] PageEvents* Page() const { return policy_.get(); }
  // What the policy told this view, in order: "Load(uri)", "LoadHome()",
  // "LoadSearch()", "Reload()", "ShowOwnPage(address)", "Ask(title)",
  // "DropQuestion()", "StopLoading()", "StartTimer(ms)", "StopTimer()".
  std::vector<std::string> orders;
  std::string ownPageHtml;                // the last page of ours shown
  std::optional<PageQuestion> question;   // asked and not yet answered or dropped
  // Script: the engine completes typed addresses; watches its page's process.
  bool completesAddresses = false;
  bool watchesProcess = true;
  // The clock moves on; a timer that comes due fires.
  void Advance(std::int64_t ms);

  void Load(const std::string& uri) override { Order("Load", uri); }
  void LoadHome() override { Order("LoadHome"); }
  void LoadSearch() override { Order("LoadSearch"); }
  void Reload() override { Order("Reload"); }
  void ShowOwnPage(const OwnPage& page) override;
  void Ask(const PageQuestion& asked) override;
  void DropQuestion() override;
  void StopLoading() override { Order("StopLoading"); }
  void StartTimer(int ms) override;
  void StopTimer() override;
  [[nodiscard]] std::int64_t NowMs() const override { return now_; }
  [[nodiscard]] bool CompletesAddresses() const override { return completesAddresses; }
  [[nodiscard]] bool WatchesProcess() const override { return watchesProcess; }

 private:
  void Order(const std::string& what, const std::string& argument = {});
  void Commit(const std::string& address, bool ownPage);
  std::unique_ptr<PageEvents> policy_;
  std::int64_t now_ = 0;
  std::optional<std::int64_t> timerDue_;

  void Call(const std::string& operation, const std::string& argument = {});
  void SelectMatch(int step);
  std::vector<std::ptrdiff_t> matches_;
  std::size_t current_ = 0;
};

class FakeWindow final : public NativeWindow {
 public:
  FakeWindow(FakeBackend& backend, const WindowDesign& design, EventSink& sink);
  ~FakeWindow() override;

  [[nodiscard]] std::string Caption() const override;
  void SetCaption(const std::string& text) override;
  void Show() override;
  void Hide() override;
  [[nodiscard]] bool Visible() const override { return visible_; }
  [[nodiscard]] float ScaleWidth() const override;
  [[nodiscard]] float ScaleHeight() const override;
  // A fake window has no frame: its area is its client area. The work area
  // is the whole screen.
  [[nodiscard]] Rect ScreenArea() const override;
  void MoveTo(float left, float top) override;
  [[nodiscard]] Rect WorkArea() const override;

  [[nodiscard]] Control& GetControl(const std::string& name, std::int16_t index = -1) override;
  [[nodiscard]] Label& GetLabel(const std::string& name, std::int16_t index = -1) override;
  [[nodiscard]] ComboBox& GetComboBox(const std::string& name) override;
  [[nodiscard]] Timer& GetTimer(const std::string& name) override;
  [[nodiscard]] Toolbar& GetToolbar(const std::string& name) override;
  [[nodiscard]] WebBrowser& GetWebBrowser(const std::string& name) override;
  [[nodiscard]] TextBox& GetTextBox(const std::string& name) override;
  [[nodiscard]] CheckBox& GetCheckBox(const std::string& name) override;

  // Typed access for tests.
  [[nodiscard]] FakeTextBox& TextBoxNamed(const std::string& name);
  [[nodiscard]] FakeCheckBox& CheckBoxNamed(const std::string& name);
  [[nodiscard]] FakeLabel& LabelNamed(const std::string& name, std::int16_t index = -1);
  [[nodiscard]] FakeComboBox& Combo(const std::string& name);
  [[nodiscard]] FakeTimer& TimerNamed(const std::string& name);
  [[nodiscard]] FakeToolbar& ToolbarNamed(const std::string& name);
  [[nodiscard]] FakeWebBrowser& Browser(const std::string& name);
  [[nodiscard]] const WindowDesign& Design() const { return design_; }
  [[nodiscard]] int ShowCount() const { return shows_; }
  [[nodiscard]] const std::string& Focused() const { return focus_; }
  // Screen position of the client area, twips.
  [[nodiscard]] float ScreenLeft() const { return screenLeft_; }
  [[nodiscard]] float ScreenTop() const { return screenTop_; }
  Faults faults;

  // Drivers: what a user does to the window. Each may unload the window; do
  // not touch the window after a driver unless its form is still loaded.
  void PressKey(std::int16_t code);        // a character key, with this window active
  void PressAccessKey(char letter);        // Alt + letter
  // A key going down with the modifiers `shift` held (platform/ports/keys.h):
  // the window sees it first when it has key preview. Answers whether the
  // key went on (no handler consumed it).
  bool PressKeyDown(std::int16_t keyCode, std::int16_t shift = 0);
  // A key stroke as a keyboard makes it: the key goes down (KeyDown to a
  // window with key preview), then Tab moves the focus, Alt + letter is an
  // access key, and a key with a character types it (`character` 0: none).
  void Stroke(std::int16_t keyCode, std::int16_t shift, std::int16_t character);
  void PressTab(bool forward = true);
  void ClickAt(float x, float y);          // client-area twips
  void ClickButton(const std::string& name);
  void CloseBox();
  void ResizeClient(float width, float height);
  void Tick(const std::string& timer);  // no tick for a timer off or of no interval
  void SetFocus(const std::string& name);
  [[nodiscard]] bool Active() const;

  // Raises an event through the window's sink.
  void Raise(Event& event);
  [[nodiscard]] FakeBackend& Backend() const { return backend_; }

 private:
  template <class T>
  T& Typed(const std::string& name, std::int16_t index);
  void Settle();
  [[nodiscard]] KeyRouting Routing();

  FakeBackend& backend_;
  const WindowDesign& design_;
  EventSink& sink_;
  std::string caption_;
  bool visible_ = false;
  int shows_ = 0;
  float scaleWidth_;
  float scaleHeight_;
  float screenLeft_ = 0;
  float screenTop_ = 0;
  std::string focus_;
  std::map<std::pair<std::string, std::int16_t>, std::unique_ptr<Control>> controls_;
  std::map<std::string, std::unique_ptr<FakeTimer>> timers_;
  void PlaceByOwner();
};

class FakeBackend final : public Backend {
 public:
  // Screen size the windows are placed on, twips.
  static constexpr float kScreenWidth = 19200;
  static constexpr float kScreenHeight = 14400;

  FakeBackend() = default;
  ~FakeBackend() override;

  std::unique_ptr<NativeWindow> MakeWindow(const WindowDesign& design, EventSink& sink) override;
  void Run() override;
  void Quit() override;
  void Post(std::function<void()> task) override;

  // Runs the posted tasks, as a message loop would between events.
  void Drain();

  // The live (created, not yet destroyed) window of a class, or nullptr.
  [[nodiscard]] FakeWindow* Find(const std::string& name) const;
  // Like Find, but throws std::logic_error when there is none.
  [[nodiscard]] FakeWindow& Window(const std::string& name) const;

  // Everything done to windows, in order: "create X", "show X", "hide X",
  // "destroy X", "quit".
  [[nodiscard]] const std::vector<std::string>& Journal() const { return journal_; }
  void Note(const std::string& entry);
  // Called after every journal entry (tests check invariants there).
  std::function<void(const std::string&)> onNote;
  // Called when a window and its controls have been built, before its load
  // handler runs (tests make controls fail there).
  std::function<void(FakeWindow&)> onCreate;
  // The window that has the keyboard (shown last, or given the focus last).
  [[nodiscard]] const std::string& ActiveWindow() const { return active_; }
  void Activate(const std::string& name) { active_ = name; }
  [[nodiscard]] int QuitCount() const { return quits_; }
  [[nodiscard]] int RunCount() const { return runs_; }
  Faults faults;  // "MakeWindow"

 private:
  friend class FakeWindow;
  std::map<std::string, FakeWindow*> live_;
  std::vector<std::string> journal_;
  std::string active_;
  std::vector<std::function<void()>> posted_;
  int quits_ = 0;
  int runs_ = 0;
  bool draining_ = false;
};

}  // namespace corvane::fake
