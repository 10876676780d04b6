// Starts a program under X and reports, in milliseconds since its exec, when its
// first top-level window is mapped and when a top-level title equals the given text.
// With --key, presses a real (XTEST) key on the first window once it is mapped and
// also reports the time of that key press.
//   xwatch [--key] <title> <program> [args...]
// Output lines: "pid N", "map T", "key T", "title T" (or "timeout").
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
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
}  // namespace

int main(int argc, char** argv) {
  int a = 1;
  bool key = false;
  if (a < argc && std::strcmp(argv[a], "--key") == 0) {
    key = true;
    ++a;
  }
  if (argc - a < 2) {
    std::fprintf(stderr, "usage: xwatch [--key] <title> <program> [args...]\n");
    return 2;
  }
  const std::string want = argv[a];
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
    execvp(argv[a + 1], argv + a + 1);
    _exit(127);
  }
  std::printf("pid %d\n", static_cast<int>(pid));
  std::fflush(stdout);
  bool mapped = false;
  bool keyed = false;
  Window first = 0;
  double key_at = 0;
  const int fd = ConnectionNumber(d);
  while (Ms() < 60000) {
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
          }
        }
      } else if ((e.type == UnmapNotify && e.xunmap.window == first) ||
                 (e.type == DestroyNotify && e.xdestroywindow.window == first)) {
        first = 0;  // the splash has gone: the key was taken
      } else if (e.type == PropertyNotify) {
        w = e.xproperty.window;
      }
      if (w != 0 && (!key || keyed)) {
        if (Title(d, w) == want) {
          std::printf("title %.1f\n", Ms());
          std::fflush(stdout);
          XCloseDisplay(d);
          return 0;
        }
      }
    }
    // A splash not yet ready for input: press again while nothing else has shown.
    if (key && keyed && first != 0 && Ms() - key_at > 1000) {
      XSetInputFocus(d, first, RevertToParent, CurrentTime);
      key_at = Ms();
      const KeyCode kc = XKeysymToKeycode(d, XK_space);
      XTestFakeKeyEvent(d, kc, True, CurrentTime);
      XTestFakeKeyEvent(d, kc, False, CurrentTime);
      XFlush(d);
      std::printf("key %.1f\n", key_at);
      std::fflush(stdout);
    }
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, 100);
  }
  std::printf("timeout\n");
  XCloseDisplay(d);
  return 1;
}
