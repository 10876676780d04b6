// The real program as a child process under the test's X server, and a
// fixture that drives it with real input and watches its windows.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/http_server.h"
#include "tests/support/x_driver.h"

extern char** environ;

namespace corvane::testing {

using namespace std::chrono_literals;

inline const std::string kSuffix = " - Corvane Ombrel - Varnhollow Software";
constexpr int kTwipsPerPixel = 15;  // the test X server runs at 96 DPI

inline bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 20s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// Every entry under `root` with its size (folders as "/"), the Downloads
// folder left out (it is made when the first save question is asked, and the
// tests look into it themselves).
inline std::map<std::string, std::string> Listing(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> entries;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    const std::string relative = fs::relative(it->path(), root).string();
    if (relative == "Downloads") {
      it.disable_recursion_pending();
      continue;
    }
    entries[relative] = it->is_directory() ? "/" : std::to_string(it->file_size(error));
  }
  return entries;
}

inline std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The program as a child process.
class Process {
 public:
  explicit Process(const std::string& path) : Process(std::vector<std::string>{path}) {}
  // The program `command[0]` with its arguments.
  explicit Process(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
      argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
  }
  ~Process() {
    if (Running()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  [[nodiscard]] int Pid() const { return pid_; }
  bool Running() {
    if (pid_ <= 0 || exit_) {
      return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return false;
    }
    return true;
  }
  // The exit code once the process has ended, or nothing after `timeout`.
  std::optional<int> Exit(std::chrono::milliseconds timeout = 15s) {
    Eventually([&] { return !Running(); }, timeout);
    return exit_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> exit_;
};

class EndToEnd : public ::testing::Test {
 protected:
  LoopbackServer server{CORVANE_E2E_PORT, 3000ms};
  XDriver x;
  std::unique_ptr<Process> program = std::make_unique<Process>(CORVANE_E2E_PROGRAM);

  // Ends the running program and starts it afresh.
  void Restart() {
    program.reset();
    program = std::make_unique<Process>(CORVANE_E2E_PROGRAM);
  }

  // The program's window whose title passes `match`, once it is on screen.
  std::optional<XWindow> Window(const std::function<bool(const std::string&)>& match,
                                std::chrono::milliseconds timeout = 20s) {
    std::optional<XWindow> found;
    Eventually([&] {
      for (const XWindow w : x.TopLevels(program->Pid())) {
        if (match(x.Title(w))) {
          found = w;
          return true;
        }
      }
      return false;
    }, timeout);
    return found;
  }
  std::optional<XWindow> Titled(const std::string& title) {
    return Window([&](const std::string& t) { return t == title; });
  }
  bool Gone(XWindow window) {
    return Eventually([&] {
      for (const XWindow w : x.TopLevels(program->Pid())) {
        if (w == window) {
          return false;
        }
      }
      return true;
    });
  }
  std::optional<XWindow> SplashWindow() { return Titled(""); }
  // Dismisses the splash with a letter and answers the browser window.
  std::optional<XWindow> BrowserWindow() {
    const auto splash = SplashWindow();
    if (!splash) {
      return std::nullopt;
    }
    x.Focus(*splash);
    x.Key("space");
    return Window([](const std::string& t) { return t == "Form1" || t.ends_with(kSuffix); });
  }
  // The browser window at the first page.
  std::optional<XWindow> Start() {
    auto browser = BrowserWindow();
    if (browser && !CaptionBecomes(*browser, "First Page" + kSuffix)) {
      return std::nullopt;
    }
    return browser;
  }
  bool CaptionBecomes(XWindow window, const std::string& caption,
                      std::chrono::milliseconds timeout = 20s) {
    return Eventually([&] { return x.Title(window) == caption; }, timeout);
  }
  // Types an address into the address box (Alt+A puts the focus there).
  void Enter(XWindow browser, const std::string& address) {
    x.Focus(browser);
    x.Key("a", {"Alt_L"});
    x.Key("a", {"Control_L"});  // selects the old text, so typing replaces it
    x.Type(address);
    x.Key("Return");
  }
  // Clicks toolbar button `position` (0-based) of the browser window.
  void Toolbar(XWindow browser, int position) {
    const ScreenRect r = x.Geometry(browser);
    x.Click(r.x + position * 31 + 15, r.y + 15);
  }
  std::string Root() const { return "http://127.0.0.1:" + std::to_string(server.Port()); }
};

}  // namespace corvane::testing
