// Design tables: what a window and its controls look like before anything runs.
//
// Every window of the program is described by one WindowDesign that lives in
// the core next to its presenter. A platform backend realises the table as it
// stands (kinds, names, containers, twips rectangles, captions, fonts, roles);
// it never decides layout or behaviour on its own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

enum class ControlKind : std::uint8_t {
  Frame,
  Label,
  Line,
  Image,
  PictureBox,
  CommandButton,
  ComboBox,
  Timer,
  Toolbar,
  ImageList,
  WebBrowser,
  TextBox,       // one line of text the user types
  CheckBox,      // on or off (Value)
  OptionButton,  // one of a group: the option buttons of the same container
};

enum class BorderStyle : std::uint8_t {
  None,         // no border at all
  FixedDialog,  // dialog frame; with no caption and no control box it has no title bar
  Sizable,      // resizable frame
};

enum class StartPosition : std::uint8_t {
  Manual,          // at WindowDesign::left/top (twips, screen coordinates of the client area)
  CenterScreen,    // centred on the screen
  WindowsDefault,  // wherever the window system puts new windows
  OwnerTopRight,   // at the top-right corner of the owner's client area (WindowDesign::owner)
};

enum class Alignment : std::uint8_t { Left, Right, Center };

enum class Dock : std::uint8_t { None, Top };

// An RGB colour; absent colours mean "the system default".
struct Color {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

struct FontDesign {
  std::string face{};
  float points = 8.25F;
  bool bold = false;
  bool italic = false;
};

struct ToolbarButtonDesign {
  std::string key{};          // what the ButtonClick handler tells buttons apart by
  std::string toolTip{};      // shown when the pointer rests on the button
  std::int16_t image = 0;   // 1-based position in the image list
};

struct ImageDesign {
  std::string resource{};  // name of a picture among the program's resources
};

// One control of a window. Rectangles are twips relative to the container's
// client area; for a line, left/top is the first end and width/height hold
// the second end's x and y (x2, y2), as lines are designed.
struct ControlDesign {
  ControlKind kind = ControlKind::Label;
  std::string name{};
  std::int16_t index = -1;  // index within a control array, -1 when not an array
  std::string container{};    // empty: the window's client area
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
  std::string caption{};  // label, button and frame text; "&" marks the access key
  std::optional<FontDesign> font{};
  std::optional<Color> foreColor{};
  std::optional<Color> borderColor{};  // lines
  int borderWidth = 1;               // lines, in pixels
  bool insideSolid = false;          // lines: drawn inside the stroke
  bool autoSize = false;
  bool wordWrap = false;
  Alignment alignment = Alignment::Left;
  bool border = true;     // frames and picture boxes
  Dock dock = Dock::None;
  std::int16_t tabIndex = -1;  // -1: takes no part in the tab order
  bool tabStop = false;        // can take the focus
  bool isDefault = false;      // command button pressed by Enter
  bool isCancel = false;       // command button pressed by Esc
  std::string mnemonicTarget{};  // label: the control its access key focuses
  std::string picture{};         // image, picture box: resource name
  std::string description{};     // image, picture box: what the picture shows, in a few
                                 // words, for assistive technology
  int interval = 0;            // timer, milliseconds
  bool enabled = true;         // timer on at design time
  bool value = false;          // check box, option button: on at design time
  std::vector<ToolbarButtonDesign> buttons{};  // toolbar
  int buttonWidth = 0;                       // toolbar, pixels
  int buttonHeight = 0;                      // toolbar, pixels
  std::string imageList{};                     // toolbar: name of its image list
  std::vector<ImageDesign> images{};           // image list
  int imageWidth = 0;                        // image list, pixels
  int imageHeight = 0;                       // image list, pixels
  std::optional<Color> maskColor{};            // image list
};

struct WindowDesign {
  std::string name{};  // the window class: frmSplash, Form1, frmAbout
  std::string caption{};
  BorderStyle border = BorderStyle::Sizable;
  bool controlBox = true;
  bool minButton = true;
  bool maxButton = true;
  float clientWidth = 0;   // twips
  float clientHeight = 0;  // twips
  StartPosition startPosition = StartPosition::WindowsDefault;
  float left = 0;  // twips, with StartPosition::Manual
  float top = 0;
  bool showInTaskbar = true;
  bool keyPreview = false;
  // The window class this one belongs to (empty: none). An owned window
  // stays above its owner while both are loaded.
  std::string owner{};
  std::vector<ControlDesign> controls{};  // in build order

  // The control called `name` (with `index` for control arrays), or nullptr.
  [[nodiscard]] const ControlDesign* Find(const std::string& controlName,
                                          std::int16_t controlIndex = -1) const;
};

// A rectangle in twips.
struct Rect {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
};

// Where a control is now, in twips of its container: a control may have
// been moved, or have sized itself to its text, since it was designed.
using AreaOf = std::function<Rect(const ControlDesign&)>;

// The control that receives a click at (x, y) twips of the window's client
// area: the top-most control under the point that takes mouse input, or
// nullptr when the click lands on the window itself. Lines, timers and image
// lists take no mouse input; a label takes clicks on its whole rectangle,
// also where it shows no text. Controls built later lie on top. Every
// control is where `areaOf` says (without it: as designed).
const ControlDesign* HitTest(const WindowDesign& design, float x, float y);
const ControlDesign* HitTest(const WindowDesign& design, float x, float y, const AreaOf& areaOf);

// A control's rectangle in the window's client area, containers included.
Rect AbsoluteRect(const WindowDesign& design, const ControlDesign& control);
Rect AbsoluteRect(const WindowDesign& design, const ControlDesign& control, const AreaOf& areaOf);

// The control an access key (Alt + letter, case-insensitive) acts on: a
// button is pressed, a label hands the focus to its mnemonic target. nullptr
// when no caption carries that access key.
const ControlDesign* AccessKeyOwner(const WindowDesign& design, char letter);

// The caption without its access-key marks ("&&" stands for one "&").
std::string StripAccessKey(const std::string& caption);

}  // namespace corvane
