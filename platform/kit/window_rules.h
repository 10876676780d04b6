// The window rules every backend follows: which control takes the focus
// first and next, where a key goes, which button Enter and Esc press, who
// owns an access key, which control a click reaches, and which places and
// sizes a control takes. The backends call these and only do what is native
// to them (moving the focus, drawing, raising the event).
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/ports/design.h"
#include "platform/ports/window.h"

namespace corvane {

// ---- places and sizes -------------------------------------------------------

// A place and size a control takes: every value a finite number, width and
// height not negative. Huge values are taken as they are (the backends draw
// them clipped to what the screen can show).
bool ValidPlace(float left, float top, float width, float height);
// Throws Failure("invalid property value") unless ValidPlace.
void CheckPlace(float left, float top, float width, float height);
// Twips to whole pixels at `twipsPerPixel`, held to what a window system
// can place (-32,768 to 32,767).
int PixelsOf(double twips, double twipsPerPixel);

// ---- labels that size themselves -------------------------------------------

// The size of one line of text as a backend draws it in a label, in twips.
struct TextExtent {
  float width = 0;
  float height = 0;
};
using MeasureLine = std::function<TextExtent(const std::string& line)>;

// The rectangle a label that sizes itself takes for `caption`, from the
// rectangle it has (`placed`): as wide and as high as its text on one line
// (an empty caption: no width, the height of a blank). It keeps its top; a
// left-aligned label keeps its left edge, a right-aligned one its right edge
// and a centred one its middle. The backend only measures (`measure`).
Rect SizedLabel(const Rect& placed, Alignment alignment, const std::string& caption,
                const MeasureLine& measure);

// ---- where a window goes -----------------------------------------------------

// How far a window's frame (the window manager's decorations) reaches beyond
// its client area on each side, in pixels. Zero where nothing frames it.
struct FrameExtents {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

struct PixelPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// Where a window's outer top-left corner (its frame's) goes, in pixels of the
// screen, so that its client area's top-left corner lands on `clientCorner`.
PixelPoint OuterCornerForClient(PixelPoint clientCorner, const FrameExtents& frame);
// Where it goes so that the whole window, frame included, lies in the middle
// of the screen area at `screenX`, `screenY` of `screenWidth` by `screenHeight`.
PixelPoint OuterCornerCentred(int screenX, int screenY, int screenWidth, int screenHeight,
                              int clientWidth, int clientHeight, const FrameExtents& frame);

// ---- focus ------------------------------------------------------------------

// Whether a control can take the focus now (a backend's own answer: it
// exists, is shown, ...).
using CanFocus = std::function<bool(const ControlDesign&)>;

// The tab order: the controls with a tab stop and a tab index, by tab index
// (build order among equal indexes), those `canFocus` refuses left out.
std::vector<const ControlDesign*> TabOrder(const WindowDesign& design, const CanFocus& canFocus);
// The control a window gives the focus to when it is shown, or nullptr.
const ControlDesign* FirstFocus(const WindowDesign& design, const CanFocus& canFocus);
// The control Tab (forward) or Shift+Tab moves the focus to from `current`
// (nullptr or a control outside the order: the first, or the last going
// back), or nullptr when no control can take it.
const ControlDesign* NextFocus(const WindowDesign& design, const ControlDesign* current,
                               bool forward, const CanFocus& canFocus);

// ---- keys -------------------------------------------------------------------

inline constexpr std::int16_t kEnterKey = 13;
inline constexpr std::int16_t kEscapeKey = 27;

// The first default (or cancel) command button of a window, or nullptr.
const ControlDesign* DefaultButton(const WindowDesign& design);
const ControlDesign* CancelButton(const WindowDesign& design);

// The command button a character key presses: Enter presses the focused
// command button, else the window's first default button; Esc presses the
// first cancel button. nullptr: none.
const ControlDesign* ButtonForKey(const WindowDesign& design, std::int16_t key,
                                  const ControlDesign* focused);

// What a window does with one key, as far as the program sees it. The
// backend supplies the native parts.
struct KeyRouting {
  const WindowDesign& design;
  // Raises an event through the window.
  std::function<void(Event&)> raise;
  // Whether the window still takes input (a handler may hide or unload it).
  std::function<bool()> alive;
  // The control with the focus, or nullptr.
  std::function<const ControlDesign*()> focused;
  // Puts the focus on a control.
  std::function<void(const ControlDesign&)> focus;
  // Presses a check box (toggles it) or an option button (sets it on), as
  // a click on it would.
  std::function<void(const ControlDesign&)> press{};
};

// A key going down: a window with key preview sees it first as KeyDown
// (not Shift, Ctrl or Alt alone: they come as the next key's shift state).
// Answers whether the key goes on (its handler did not take it, and the
// window still takes input).
bool RouteKeyDown(const KeyRouting& window, std::int16_t keyCode, std::int16_t shift);

// Where a character key went.
enum class CharacterRoute : std::uint8_t {
  Taken,   // a handler took it, or it pressed a button: it goes no further
  Native,  // the focused control handles it natively (the key may be changed)
};
// A character key: the window's key preview sees it first as KeyPress;
// then, unless the focus is in the page (which has its own keys), Enter and
// Esc press a button (ButtonForKey), and a focused combo box sees the key
// as KeyPress. `key` comes back as the handlers left it.
CharacterRoute RouteCharacter(const KeyRouting& window, std::int16_t& key);

// Alt + letter: the owner's button, check box or option button is focused
// and pressed, or its label's mnemonic target takes the focus. Answers whether any caption owns it.
bool RouteAccessKey(const KeyRouting& window, char letter);

// ---- text -------------------------------------------------------------------

// Text as every control takes and shows it: valid UTF-8, with each byte that
// begins no valid sequence replaced by U+FFFD.
std::string ValidUtf8(const std::string& text);

// ---- clicks -----------------------------------------------------------------

// Whether a control of this kind takes its clicks itself (the native control
// raises its own event), rather than from the window's hit rule.
bool TakesOwnClicks(ControlKind kind);

}  // namespace corvane
