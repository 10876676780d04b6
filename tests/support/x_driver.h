// Real input for the GUI tests: XTEST key presses and pointer clicks on the
// test's X server, and what the X server knows about top-level windows.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct _XDisplay;

namespace corvane::testing {

// An X window id (kept free of the X headers, whose macros clash with C++ names).
using XWindow = unsigned long;

struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class XDriver {
 public:
  XDriver();  // opens $DISPLAY; throws when there is none
  ~XDriver();
  XDriver(const XDriver&) = delete;
  XDriver& operator=(const XDriver&) = delete;

  // Waits until the X server has handled every request sent so far.
  void Sync();

  // Mapped top-level windows (children of the root, or the client windows in
  // them where a window manager has framed them), of process `pid` if it is
  // not 0, override-redirect windows (menus, tool tips) left out.
  [[nodiscard]] std::vector<XWindow> TopLevels(int pid = 0) const;
  // The whole window on the screen: the window manager's frame around a
  // top-level window, or the window itself where it has no frame.
  [[nodiscard]] ScreenRect Frame(XWindow window) const;
  // Whether a window manager runs (it has said so on the root window).
  [[nodiscard]] bool WindowManaged() const;
  // Mapped override-redirect windows (open menus, tool tips).
  [[nodiscard]] std::size_t Popups() const;
  [[nodiscard]] std::string Title(XWindow window) const;
  [[nodiscard]] ScreenRect Geometry(XWindow window) const;  // client area on the screen
  [[nodiscard]] ScreenRect Screen() const;

  void Focus(XWindow window);
  // A key by its keysym name ("Return", "Escape", "Right", "Shift_L", "x"),
  // with optional modifier keysyms held.
  void Key(const std::string& keysym, const std::vector<std::string>& held = {});
  void Type(const std::string& text);
  // Screen coordinates; button 1 is the left one, 3 the right one.
  void Click(int x, int y, unsigned int button = 1);
  void Close(XWindow window);  // as the title-bar close box does
  void Resize(XWindow window, int width, int height);

 private:
  void PressKeysym(unsigned long keysym, bool down);

  _XDisplay* display_;
};

}  // namespace corvane::testing
