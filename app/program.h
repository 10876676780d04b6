// The program as the forms runtime sees it: the shared instance of each
// window class, made on first reference; start-up, the message loop and the
// end when no window is loaded any more. It names no window: which windows
// there are, and which one starts, is the composition root's
// (program/browser_program.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

#include "app/forms.h"
#include "platform/ports/window.h"

namespace corvane {

class Registry;
class Shell;

// What the program talks to besides its windows.
struct Ports {
  Backend& backend;
  Registry* registry = nullptr;  // machine-wide settings (System Info)
  Shell* shell = nullptr;        // file search, program start, message box
};

// Values fixed when the program is built; tests may build it otherwise.
// They take one path: build -> program -> the windows and the page policy.
struct BuildSettings {
  std::string startAddress;
  // The web view's home and search pages; empty: the engine's own.
  std::string homePage{};
  std::string searchPage{};
  // Where words typed into the address box are searched: "%s" stands for
  // the escaped words (browsing/typed_address.h). Empty: words are taken
  // for an address.
  std::string searchQuery{};
};

// The start address this build was configured with.
const std::string& ConfiguredStartAddress();
// Where this build searches words typed into the address box.
const std::string& ConfiguredSearchQuery();

class Program {
 public:
  explicit Program(Ports ports, BuildSettings settings = {ConfiguredStartAddress()});
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program();

  // The shared instance of a window class, created on first reference.
  template <class F>
  F& Get() {
    for (const auto& [type, form] : forms_) {
      if (type == std::type_index(typeid(F))) {
        return static_cast<F&>(*form);
      }
    }
    auto made = std::make_unique<F>(*this);
    F& form = *made;
    forms_.emplace_back(std::type_index(typeid(F)), std::move(made));
    return form;
  }

  // Runs `startUp` (which shows the start-up window) and the message loop
  // until no window is loaded; answers the exit code.
  int Run(const std::function<void()>& startUp);

  // Starts the program without running the loop: runs `startUp`.
  void Start(const std::function<void()>& startUp);

  // Runs one event through its form's handler; no failure escapes.
  void Dispatch(Form& form, Event& event) noexcept;

  [[nodiscard]] int LoadedCount() const { return loaded_; }
  [[nodiscard]] bool Ended() const { return ended_; }
  [[nodiscard]] const Ports& ThePorts() const { return ports_; }
  [[nodiscard]] const BuildSettings& Settings() const { return settings_; }

 private:
  friend class Form;
  void NoteLoaded();
  // Takes a window that was unloaded. It is destroyed from the message loop,
  // once no event is being handled, so a handler may unload its own window.
  void Retire(std::unique_ptr<LoadedWindow> window);
  void DestroyRetired();

  Ports ports_;
  BuildSettings settings_;
  // The window classes' instances in the order they were made.
  std::vector<std::pair<std::type_index, std::unique_ptr<Form>>> forms_;
  int loaded_ = 0;
  bool ended_ = false;
  bool collectionPosted_ = false;
  std::vector<std::unique_ptr<LoadedWindow>> retired_;
};


}  // namespace corvane
