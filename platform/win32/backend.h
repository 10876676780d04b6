// The Win32 backend: realises any design table with plain Win32 and the
// common controls, and forwards native events to the window's sink.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/win32/handles.h"
#include "platform/ports/window.h"

namespace corvane::win32 {

class Win32Window;

class Win32Backend final : public Backend {
 public:
  explicit Win32Backend(HINSTANCE instance);
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  std::unique_ptr<NativeWindow> MakeWindow(const WindowDesign& design, EventSink& sink) override;
  void Run() override;
  void Quit() override;
  void Post(std::function<void()> task) override;

  // Handles one keyboard message before it is dispatched: key preview,
  // Enter and Esc on default and cancel buttons, access keys, Tab among
  // controls. Answers true when the message has been dealt with; a character
  // may come back changed by the handlers.
  bool PreTranslate(MSG& message);
  // Runs the posted tasks.
  void RunPosted();
  // Takes a key message for one of the program's windows out of the loop
  // that retrieved it, leaving a message in its place that brings it back
  // to HandleKey when dispatched.
  void TakeKey(MSG& message);
  void HandleKey();

  // Twips per pixel of the screen, horizontally and vertically.
  [[nodiscard]] float TwipsPerPixelX() const { return twipsPerPixelX_; }
  [[nodiscard]] float TwipsPerPixelY() const { return twipsPerPixelY_; }
  [[nodiscard]] HINSTANCE Instance() const { return instance_; }
  [[nodiscard]] HFONT DefaultFont() const { return static_cast<HFONT>(defaultFont_.get()); }
  [[nodiscard]] HWND HiddenOwner() const { return owner_.get(); }
  // Registers a top-level window class for the form `name` (once).
  const wchar_t* FormClass(const std::string& name);

  void Enlist(HWND window, Win32Window* form) { forms_[window] = form; }
  void Delist(HWND window) { forms_.erase(window); }
  [[nodiscard]] Win32Window* FormOf(HWND window) const;
  // The live window of a class, or nullptr.
  [[nodiscard]] Win32Window* FormNamed(const std::string& name) const;

 private:
  HINSTANCE instance_;
  ComApartment com_;
  float twipsPerPixelX_ = 15;
  float twipsPerPixelY_ = 15;
  GdiObject defaultFont_;
  WindowHandle messages_;  // message-only window that runs posted tasks
  WindowHandle owner_;     // never shown; owns windows kept out of the taskbar
  HookHandle hook_;        // the keyboard handling of every message loop
  std::deque<std::function<void()>> posted_;
  std::deque<MSG> keys_;
  std::map<std::string, std::wstring> classes_;
  std::map<HWND, Win32Window*> forms_;
};

// For tests: the top-level window of a window this backend made.
HWND TopWindow(NativeWindow& window);
// For tests: the design a window of this backend was built from.
const WindowDesign& DesignOf(NativeWindow& window);
// For tests: the outer window of a control of a window this backend made;
// nullptr for a control drawn on its container (label, line, image).
HWND ControlWindow(NativeWindow& window, const std::string& name, std::int16_t index = -1);
// For tests: the pixels a label's caption takes as the label draws it
// (wrapped at the label's width when it wraps), and the label's own size.
SIZE LabelTextSize(NativeWindow& window, const std::string& name);
SIZE LabelSize(NativeWindow& window, const std::string& name);

}  // namespace corvane::win32
