// What the window conformance cases need of a backend: build and show a
// window, press keys and click as a person does, read where the focus is,
// let time pass, and measure a label's text. One driver per backend (fake,
// GTK under a private X server, Win32 under Wine); the cases are the same.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ports/window.h"

namespace corvane::conformance {

// A key stroke: a named key, or a letter, with Alt or Shift held. Shift is
// the Shift key pressed alone.
struct Stroke {
  enum class Key : std::uint8_t { Enter, Escape, Tab, Letter, F5, Space, Left, Shift };
  Key key = Key::Letter;
  char letter = 0;  // lower case, with Key::Letter
  bool alt = false;
  bool shift = false;
};

// What a backend may be unable to do, so that the cases needing it are
// skipped with the reason given.
enum class Need : std::uint8_t {
  TextMetrics,  // measure text as the label draws it
  PageEngine,   // load pages
  PassingTime,  // timers that tick by themselves
  FailingLoads, // a load that really fails (a port where nothing answers)
  // What an engine reports of its page to the page policy (platform/ports/page.h):
  NewWindows,     // the page asks for a new window, with or without the user
  PageProcess,    // the page's process ends
  ScriptDialogs,  // the page opens a script dialog
  Permissions,    // the page asks for a permission
  Downloads,      // the page offers a download
};

// A question shown about the page (a box of ours, or the save dialog).
struct Shown {
  std::string title;
  std::string text;
};

// The size of a label's text as drawn, and of the label, in pixels.
struct TextFit {
  int textWidth = 0;
  int textHeight = 0;
  int width = 0;
  int height = 0;
};

class Driver {
 public:
  Driver() = default;
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;
  virtual ~Driver() = default;

  [[nodiscard]] virtual Backend& TheBackend() = 0;
  // Builds the window, shows it and waits until it has the keyboard.
  virtual std::unique_ptr<NativeWindow> Open(const WindowDesign& design, EventSink& sink) = 0;
  virtual void Press(NativeWindow& window, const Stroke& stroke) = 0;
  // A click with the first button at (x, y) twips of the client area.
  virtual void ClickAt(NativeWindow& window, float x, float y) = 0;
  // Puts the focus on a control, as the program would.
  virtual void Focus(NativeWindow& window, const std::string& name) = 0;
  // The control with the focus ("" for none).
  [[nodiscard]] virtual std::string Focused(NativeWindow& window) = 0;
  // Handles everything pending: input sent, posted tasks.
  virtual void Settle() = 0;
  // Lets time pass until `condition` holds; false after a generous while.
  virtual bool TimePasses(NativeWindow& window, const std::function<bool()>& condition) = 0;
  [[nodiscard]] virtual std::optional<TextFit> Fit(NativeWindow& window,
                                                   const std::string& label) = 0;
  // Why this backend cannot do what `need` names, or "" when it can.
  [[nodiscard]] virtual std::string Cannot(Need need) const = 0;
  // A page address of a loopback server (with Need::PageEngine).
  [[nodiscard]] virtual std::string PageAddress() { return {}; }
  // An address on loopback where nothing answers, on a port the engine may
  // use.
  [[nodiscard]] virtual std::string RefusedAddress() { return "http://127.0.0.1:9/refused"; }

  // ---- the pages' reports (with Need::NewWindows ... Need::Downloads) ----
  // The address of a page of the suite's loopback server by its path
  // (tests/support/http_server.h); the fake scripts the reports of the
  // pages the cases use as their engine would make them.
  [[nodiscard]] virtual std::string PageAt(const std::string& /*path*/) { return {}; }
  // The requests that reached `path` so far.
  [[nodiscard]] virtual int Requests(const std::string& /*path*/) { return 0; }
  // Ends the process of the page `view` shows, from outside.
  virtual void EndPageProcess(NativeWindow& /*window*/, const std::string& /*view*/) {}
  // The question shown about a page, if any.
  [[nodiscard]] virtual std::optional<Shown> Question() { return std::nullopt; }
  // Presses the button of the question shown whose label is `button` (its
  // access key unmarked); false when there is no such question or button.
  virtual bool Answer(const std::string& /*button*/) { return false; }
  // The files in the folder downloads are proposed to go to.
  [[nodiscard]] virtual std::vector<std::string> DownloadFolder() { return {}; }
};

// A driver of the backend this test program is built for, with a backend of
// its own (one per case).
std::unique_ptr<Driver> MakeDriver();

}  // namespace corvane::conformance
