// A realised window, the events it raises, and the backend that makes
// windows and runs the message loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/ports/controls.h"
#include "platform/ports/design.h"
#include "platform/ports/failure.h"
#include "platform/ports/page.h"

namespace corvane {

enum class EventType : std::uint8_t {
  Resize,             // the window's client area changed size (also when first shown)
  KeyPress,           // a character key; keyAscii may be changed by the handler
  KeyDown,            // any key going down, to a window with key preview before
                      // anything else sees it; setting keyCode to 0 consumes it
  Click,              // control (or frame) clicked, or a combo box list index set
  ButtonClick,        // toolbar button; `button` is the button clicked
  Timer,              // timer tick
  DownloadComplete,   // web view
  NavigateComplete2,  // web view; `text` carries the address reached
  Close,              // the title-bar close box
  FindResult,         // web view: a search ended; `found`, `matches`
};

struct Event {
  EventType type = EventType::Click;
  std::string control{};     // empty: the window itself
  std::int16_t index = -1; // control array index
  std::int16_t* keyAscii = nullptr;
  std::int16_t* keyCode = nullptr;  // KeyDown: the key's code (platform/ports/keys.h)
  std::int16_t shift = 0;           // KeyDown: the modifiers held (platform/ports/keys.h)
  const ToolbarButton* button = nullptr;
  std::string text{};
  bool found = false;          // FindResult: a match is selected
  std::int32_t matches = -1;   // FindResult: the matches in the page, -1 when not counted
};

// Receives every event of one realised window. The forms runtime implements
// it; it is where the dispatch boundary sits.
class EventSink {
 public:
  EventSink() = default;
  EventSink(const EventSink&) = delete;
  EventSink& operator=(const EventSink&) = delete;
  virtual void Raise(Event& event) = 0;

 protected:
  ~EventSink() = default;
};

class NativeWindow {
 public:
  NativeWindow() = default;
  NativeWindow(const NativeWindow&) = delete;
  NativeWindow& operator=(const NativeWindow&) = delete;
  virtual ~NativeWindow() = default;

  [[nodiscard]] virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
  // Shows the window modeless; raises Resize the first time. Showing a
  // visible window changes nothing.
  virtual void Show() = 0;
  // Takes the window off the screen at once; the runtime destroys it later.
  virtual void Hide() = 0;
  [[nodiscard]] virtual bool Visible() const = 0;
  [[nodiscard]] virtual float ScaleWidth() const = 0;   // client area, twips
  [[nodiscard]] virtual float ScaleHeight() const = 0;  // client area, twips
  // Where the window is on the screen, its frame included, twips.
  [[nodiscard]] virtual Rect ScreenArea() const = 0;
  // Moves the window (frame included) so that its top-left corner is at
  // `left`, `top` (screen twips); its size stays.
  virtual void MoveTo(float left, float top) = 0;
  // The work area (the screen less the desktop's own bars) of the monitor
  // the window is on, screen twips.
  [[nodiscard]] virtual Rect WorkArea() const = 0;

  // The controls, looked up by design name; throws Failure when the window
  // has no such control of that kind.
  [[nodiscard]] virtual Control& GetControl(const std::string& name, std::int16_t index = -1) = 0;
  [[nodiscard]] virtual Label& GetLabel(const std::string& name, std::int16_t index = -1) = 0;
  [[nodiscard]] virtual ComboBox& GetComboBox(const std::string& name) = 0;
  [[nodiscard]] virtual Timer& GetTimer(const std::string& name) = 0;
  [[nodiscard]] virtual Toolbar& GetToolbar(const std::string& name) = 0;
  [[nodiscard]] virtual WebBrowser& GetWebBrowser(const std::string& name) = 0;
  [[nodiscard]] virtual TextBox& GetTextBox(const std::string& name) = 0;
  // A check box or an option button.
  [[nodiscard]] virtual CheckBox& GetCheckBox(const std::string& name) = 0;
};

class Backend {
 public:
  Backend() = default;
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;
  virtual ~Backend() = default;

  // Builds the window and its controls from the table, hidden.
  virtual std::unique_ptr<NativeWindow> MakeWindow(const WindowDesign& design, EventSink& sink) = 0;
  // Runs the message loop until Quit.
  virtual void Run() = 0;
  // Ends the message loop (no window is loaded any more).
  virtual void Quit() = 0;
  // Runs `task` later from the message loop, when no event is being handled.
  virtual void Post(std::function<void()> task) = 0;

  // The page policy of the web views made from here on: the composition
  // root's. A web view made without one loads what it is given as given.
  void SetPagePolicy(PagePolicyMaker maker) { pagePolicy_ = std::move(maker); }
  [[nodiscard]] std::unique_ptr<PageEvents> MakePagePolicy(PageHost& host) const {
    return pagePolicy_ ? pagePolicy_(host) : nullptr;
  }

 private:
  PagePolicyMaker pagePolicy_;
};

}  // namespace corvane
