// Starts a program under X and reports, in milliseconds since its exec, when its
// first top-level window is mapped and when a top-level title equals the given text.
// With --key, presses a real (XTEST) key on the first window once it is mapped and
// also reports the time of that key press; with --pause MS as well, the key comes
// that many milliseconds after the map (a person looking at the window first).
// With --suffix, a title that ends with the given text counts (a browser that
// decorates its title in front of the page's).
//   xwatch [--key [--pause MS]] [--suffix] <title> <program> [args...]
// Output lines: "pid N", "map T", "key T", "title T" (or "timeout").
// The program keeps running after that until this watcher's standard input
// closes; then it is ended (SIGTERM, SIGKILL after 5 s) and reaped.
// With XWATCH_LOG set, every title seen is written to standard error.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
Clock::time_point t0;
double Ms() { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

std::string Title(Display* d, Window w) {
  static Atom net_name = XInternAtom(d, "_NET_WM_NAME", False);
  static Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom type{};
  int format{};
  unsigned long n{}, after{};
  unsigned char* data = nullptr;
  std::string out;
  if (XGetWindowProperty(d, w, net_name, 0, 4096, False, utf8, &type, &format, &n, &after, &data) ==
          Success && data != nullptr) {
    out.assign(reinterpret_cast<char*>(data), n);
    XFree(data);
    return out;
  }
  if (data != nullptr) XFree(data);
  char* name = nullptr;
  if (XFetchName(d, w, &name) && name != nullptr) {
    out = name;
    XFree(name);
  }
  return out;
}

// Waits for standard input to close, then ends the program and reaps it.
int Finish(pid_t pid, int status) {
  char buffer[256];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
  kill(pid, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return status;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return status;
}
}  // namespace

int main(int argc, char** argv) {
  int a = 1;
  bool key = false;
  if (a < argc && std::strcmp(argv[a], "--key") == 0) {
    key = true;
    ++a;
  }
  double pause = 0;
  if (a + 1 < argc && std::strcmp(argv[a], "--pause") == 0) {
    pause = std::atof(argv[a + 1]);
    a += 2;
  }
  bool suffix = false;
  if (a < argc && std::strcmp(argv[a], "--suffix") == 0) {
    suffix = true;
    ++a;
  }
  if (argc - a < 2) {
    std::fprintf(stderr, "usage: xwatch [--key [--pause MS]] [--suffix] <title> <program> [args...]\n");
    return 2;
  }
  const std::string want = argv[a];
  const bool log = std::getenv("XWATCH_LOG") != nullptr;
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return 2;
  // Windows come and go under us (the splash closes): ignore errors about them.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  const Window root = DefaultRootWindow(d);
  XSelectInput(d, root, SubstructureNotifyMask);
  XSync(d, False);
  std::fflush(stdout);
  t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    // The program must not hold our output open: the reader waits on it.
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execvp(argv[a + 1], argv + a + 1);
    _exit(127);
  }
  std::printf("pid %d\n", static_cast<int>(pid));
  std::fflush(stdout);
  bool mapped = false;
  bool keyed = false;
  Window first = 0;
  double key_at = 0;
  double key_due = -1;  // when the first key is to be pressed
  const auto press = [&] {
    XSetInputFocus(d, first, RevertToParent, CurrentTime);
    XSync(d, False);
    key_at = Ms();
    const KeyCode kc = XKeysymToKeycode(d, XK_space);
    XTestFakeKeyEvent(d, kc, True, CurrentTime);
    XTestFakeKeyEvent(d, kc, False, CurrentTime);
    XFlush(d);
    keyed = true;
    std::printf("key %.1f\n", key_at);
    std::fflush(stdout);
  };
  const int fd = ConnectionNumber(d);
  while (Ms() < 20000) {
    while (XPending(d) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      Window w = 0;
      if (e.type == CreateNotify && e.xcreatewindow.parent == root) {
        XSelectInput(d, e.xcreatewindow.window, PropertyChangeMask | StructureNotifyMask);
        w = e.xcreatewindow.window;
      } else if (e.type == MapNotify && e.xmap.event == root) {
        w = e.xmap.window;
        XWindowAttributes at;
        if (!mapped && XGetWindowAttributes(d, w, &at) && !at.override_redirect) {
          mapped = true;
          first = w;
          std::printf("map %.1f\n", Ms());
          std::fflush(stdout);
          if (key) {
            key_due = Ms() + pause;
            if (pause <= 0) {
              press();
            }
          }
        }
      } else if ((e.type == UnmapNotify && e.xunmap.window == first) ||
                 (e.type == DestroyNotify && e.xdestroywindow.window == first)) {
        first = 0;  // the splash has gone: the key was taken
      } else if (e.type == PropertyNotify) {
        w = e.xproperty.window;
      }
      if (w != 0 && (!key || keyed)) {
        const std::string title = Title(d, w);
        if (log) std::fprintf(stderr, "xwatch %.1f title [%s]\n", Ms(), title.c_str());
        const bool match = suffix ? title.size() >= want.size() &&
                                        title.compare(title.size() - want.size(), want.size(), want) == 0
                                  : title == want;
        if (match) {
          std::printf("title %.1f\n", Ms());
          std::fflush(stdout);
          XCloseDisplay(d);
          return Finish(pid, 0);
        }
      }
    }
    if (key && !keyed && key_due >= 0 && first != 0 && Ms() >= key_due) {
      press();
    }
    // A splash not yet ready for input: press again while nothing else has shown.
    if (key && keyed && first != 0 && Ms() - key_at > 1000) {
      press();
    }
    int wait = 100;
    if (key && !keyed && key_due >= 0) {
      wait = std::max(0, std::min(wait, static_cast<int>(key_due - Ms()) + 1));
    }
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, wait);
  }
  std::printf("timeout\n");
  std::fflush(stdout);
  XCloseDisplay(d);
  return Finish(pid, 1);
}
