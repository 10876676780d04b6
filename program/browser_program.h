// The composition root: the browser as a program of its windows and its
// page policy. It is the one place above the windows: it knows which windows
// there are and which one the program starts with (the splash), so that the
// forms runtime (app/) names none of them, and it gives every web view the
// page policy (browsing/) with the build's pages. Both programs' entry
// points, and the tests that run the whole program, make the browser here.
#pragma once

#include "app/program.h"

namespace corvane {

class BrowserProgram final : public Program {
 public:
  explicit BrowserProgram(Ports ports, BuildSettings settings = {ConfiguredStartAddress()});

  // Shows the splash and runs the message loop until no window is loaded;
  // answers the exit code.
  int Run();

  // Starts the program without running the loop: the splash is shown.
  void Start();
};

}  // namespace corvane
