#include "tests/support/x_driver.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace corvane::testing {

namespace {

// Windows come and go while the tests look at them: a request about a window
// that has just gone fails, and the query simply finds nothing.
// Errors on other connections (GTK's own, in the in-process tests) still go
// to the handler that was there before.
XErrorHandler previousHandler = nullptr;
Display* driverDisplay = nullptr;

int IgnoreErrors(Display* display, XErrorEvent* error) {
  if (display == driverDisplay || previousHandler == nullptr) {
    return 0;
  }
  return previousHandler(display, error);
}

// A busy server may turn a connection away for a moment: try for two seconds.
Display* OpenDisplay() {
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (Display* display = XOpenDisplay(nullptr); display != nullptr) {
      return display;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return nullptr;
}

// The client window in `window`, a child of the root: the window itself, or
// the one the window manager has put in it (the client carries WM_STATE).
Window ClientIn(Display* display, Window window, int depth = 0) {
  const Atom wmState = XInternAtom(display, "WM_STATE", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, wmState, 0, 0, False, AnyPropertyType, &type, &format,
                         &items, &after, &data) == Success) {
    if (data != nullptr) {
      XFree(data);
    }
    if (type != None) {
      return window;
    }
  }
  Window found = 0;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (depth < 3 && XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
    for (unsigned int i = 0; i < count && found == 0; ++i) {
      found = ClientIn(display, children[i], depth + 1);
    }
  }
  if (children != nullptr) {
    XFree(children);
  }
  return depth == 0 && found == 0 ? window : found;
}

}  // namespace

XDriver::XDriver() : display_(OpenDisplay()) {
  if (display_ == nullptr) {
    throw std::runtime_error("no X display");
  }
  driverDisplay = display_;
  previousHandler = XSetErrorHandler(&IgnoreErrors);
}

XDriver::~XDriver() {
  XSetErrorHandler(previousHandler);
  driverDisplay = nullptr;
  XCloseDisplay(display_);
}

void XDriver::Sync() { XSync(display_, False); }

std::vector<XWindow> XDriver::TopLevels(int pid) const {
  std::vector<XWindow> found;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) == 0) {
    return found;
  }
  const Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, children[i], &attributes) == 0 ||
        attributes.map_state != IsViewable || attributes.override_redirect != 0) {
      continue;
    }
    const Window client = ClientIn(display_, children[i]);
    if (pid != 0) {
      Atom type = 0;
      int format = 0;
      unsigned long items = 0;
      unsigned long after = 0;
      unsigned char* data = nullptr;
      bool mine = false;
      if (XGetWindowProperty(display_, client, pidAtom, 0, 1, False, XA_CARDINAL, &type,
                             &format, &items, &after, &data) == Success &&
          data != nullptr) {
        mine = items == 1 && static_cast<int>(*reinterpret_cast<unsigned long*>(data)) == pid;
        XFree(data);
      }
      if (!mine) {
        continue;
      }
    }
    found.push_back(client);
  }
  if (children != nullptr) {
    XFree(children);
  }
  return found;
}

ScreenRect XDriver::Frame(XWindow window) const {
  // Up to the child of the root that holds the window.
  Window outer = window;
  for (;;) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display_, outer, &root, &parent, &children, &count) == 0) {
      return {};
    }
    if (children != nullptr) {
      XFree(children);
    }
    if (parent == root || parent == 0) {
      break;
    }
    outer = parent;
  }
  return Geometry(outer);
}

bool XDriver::WindowManaged() const {
  const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  bool managed = false;
  if (XGetWindowProperty(display_, DefaultRootWindow(display_), check, 0, 1, False, XA_WINDOW,
                         &type, &format, &items, &after, &data) == Success &&
      data != nullptr) {
    managed = items == 1;
    XFree(data);
  }
  return managed;
}

std::size_t XDriver::Popups() const {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) == 0) {
    return 0;
  }
  std::size_t popups = 0;
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, children[i], &attributes) != 0 &&
        attributes.map_state == IsViewable && attributes.override_redirect != 0) {
      ++popups;
    }
  }
  if (children != nullptr) {
    XFree(children);
  }
  return popups;
}

std::string XDriver::Title(XWindow window) const {
  const Atom netName = XInternAtom(display_, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display_, window, netName, 0, 4096, False, utf8, &type, &format, &items,
                         &after, &data) == Success &&
      data != nullptr) {
    title.assign(reinterpret_cast<char*>(data), items);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(display_, window, &name) != 0 && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

ScreenRect XDriver::Geometry(XWindow window) const {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display_, window, &attributes) == 0) {
    return {};
  }
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
  return {x, y, attributes.width, attributes.height};
}

ScreenRect XDriver::Screen() const {
  return {0, 0, DisplayWidth(display_, DefaultScreen(display_)),
          DisplayHeight(display_, DefaultScreen(display_))};
}

void XDriver::Focus(XWindow window) {
  XRaiseWindow(display_, window);
  XSetInputFocus(display_, window, RevertToParent, CurrentTime);
  Sync();
}

void XDriver::PressKeysym(unsigned long keysym, bool down) {
  const KeyCode code = XKeysymToKeycode(display_, keysym);
  if (code == 0) {
    throw std::runtime_error("no key for keysym " + std::to_string(keysym));
  }
  XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
}

void XDriver::Key(const std::string& keysym, const std::vector<std::string>& held) {
  std::vector<unsigned long> modifiers;
  for (const std::string& name : held) {
    modifiers.push_back(XStringToKeysym(name.c_str()));
  }
  const unsigned long key = XStringToKeysym(keysym.c_str());
  if (key == NoSymbol) {
    throw std::runtime_error("unknown keysym " + keysym);
  }
  for (const unsigned long m : modifiers) {
    PressKeysym(m, true);
  }
  PressKeysym(key, true);
  PressKeysym(key, false);
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
    PressKeysym(*it, false);
  }
  Sync();
}

void XDriver::Type(const std::string& text) {
  for (const char c : text) {
    const auto keysym = static_cast<unsigned long>(static_cast<unsigned char>(c));
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) {
      throw std::runtime_error(std::string("no key for ") + c);
    }
    // The character needs Shift when it sits on the key's second level.
    const bool shifted = XkbKeycodeToKeysym(display_, code, 0, 0) != keysym;
    if (shifted) {
      PressKeysym(XK_Shift_L, true);
    }
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    if (shifted) {
      PressKeysym(XK_Shift_L, false);
    }
  }
  Sync();
}

void XDriver::Click(int x, int y, unsigned int button) {
  XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
  XTestFakeButtonEvent(display_, button, True, CurrentTime);
  XTestFakeButtonEvent(display_, button, False, CurrentTime);
  Sync();
}

void XDriver::Close(XWindow window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &event);
  Sync();
}

void XDriver::Resize(XWindow window, int width, int height) {
  XResizeWindow(display_, window, static_cast<unsigned int>(width), static_cast<unsigned int>(height));
  Sync();
}

}  // namespace corvane::testing
