// The forms runtime: one shared instance per window class, load / show /
// unload, and the dispatch boundary that every native event passes through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ports/window.h"

namespace corvane {

class Program;
class Form;

// One load of a form: the native window and the link that carries its events
// to the form. The link outlives the window, and goes dead when the form is
// unloaded, so a window on its way out raises nothing any more.
class WindowLink final : public EventSink {
 public:
  explicit WindowLink(Form& form) : form_(&form) {}
  void Raise(Event& event) override;
  void Cut() { form_ = nullptr; }

 private:
  Form* form_;
};

struct LoadedWindow {
  explicit LoadedWindow(Form& form) : link(form) {}
  WindowLink link;
  std::unique_ptr<NativeWindow> window;  // destroyed before the link
};

// The base of the three windows. The instance lives as long as the program;
// its native window and controls exist only while it is loaded.
class Form {
 public:
  Form(Program& program, const WindowDesign& design);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  // Loads the window if needed (controls from the design table, then
  // Form_Load) and shows it modeless. Showing a shown window changes nothing.
  void Show();
  // Creates the window and its controls and runs Form_Load, once per load.
  void Load();
  // Destroys the window and its controls; members of the instance stay.
  void Unload();
  [[nodiscard]] bool Loaded() const { return loaded_ != nullptr; }
  [[nodiscard]] const WindowDesign& Design() const { return design_; }

  // The realised window; throws Failure while the form is not loaded.
  [[nodiscard]] NativeWindow& Window() const;
  [[nodiscard]] std::string Caption() const { return Window().Caption(); }
  void SetCaption(const std::string& text) { Window().SetCaption(text); }

  // Called by the runtime's dispatch boundary.
  void HandleEvent(Event& event);

 protected:
  virtual void Form_Load() {}
  // Runs as the window is unloaded, before it goes (windows it owns go too).
  virtual void Form_Unload() {}
  // Routes an event of one of the window's controls to its named handler.
  virtual void OnEvent(Event& event) = 0;

  [[nodiscard]] Program& TheProgram() const { return program_; }

 private:
  friend class Program;
  Program& program_;
  const WindowDesign& design_;
  std::unique_ptr<LoadedWindow> loaded_;
};

}  // namespace corvane
