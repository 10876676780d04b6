// The program: its three window classes, start-up, the message loop and its
// end when no window is loaded any more.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/forms.h"
#include "platform/window.h"

namespace corvane {

class frmSplash;
class Form1;
class frmAbout;
class frmFind;
class Registry;
class Shell;

// What the program talks to besides its windows.
struct Ports {
  Backend& backend;
  Registry* registry = nullptr;  // machine-wide settings (System Info)
  Shell* shell = nullptr;        // file search, program start, message box
};

// Values fixed when the program is built; tests may build it otherwise.
struct BuildSettings {
  std::string startAddress;
};

// The start address this build was configured with.
const std::string& ConfiguredStartAddress();
// Where this build searches words typed into the address box: "%s" stands
// for the escaped words (platform/typed_address.h). Each program hands it to
// its web view.
const std::string& ConfiguredSearchQuery();

class Program {
 public:
  explicit Program(Ports ports, BuildSettings settings = {ConfiguredStartAddress()});
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program();

  // The shared instance of a window class, created on first reference.
  template <class F>
  F& Get();

  // Shows the start-up window and runs the message loop until no window is
  // loaded; answers the exit code.
  int Run();

  // Starts the program without running the loop: the splash is shown.
  void Start();

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
  std::unique_ptr<frmSplash> splash_;
  std::unique_ptr<Form1> browser_;
  std::unique_ptr<frmAbout> about_;
  std::unique_ptr<frmFind> find_;
  int loaded_ = 0;
  bool ended_ = false;
  bool collectionPosted_ = false;
  std::vector<std::unique_ptr<LoadedWindow>> retired_;
};

template <>
frmSplash& Program::Get<frmSplash>();
template <>
Form1& Program::Get<Form1>();
template <>
frmAbout& Program::Get<frmAbout>();
template <>
frmFind& Program::Get<frmFind>();

}  // namespace corvane
