// The controls the presenters talk to. Each interface is as narrow as the
// three windows need; a backend (fake, GTK, Win32) implements them.
//
// Positions and sizes are twips in single precision. A control refuses a
// negative width or height with a Failure, as a real one does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ports/design.h"

namespace corvane {

class Control {
 public:
  Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  [[nodiscard]] virtual float Left() const = 0;
  [[nodiscard]] virtual float Top() const = 0;
  [[nodiscard]] virtual float Width() const = 0;
  [[nodiscard]] virtual float Height() const = 0;
  // Moves and sizes the control; throws Failure for a negative width or height.
  virtual void Move(float left, float top, float width, float height) = 0;

  void SetWidth(float width) { Move(Left(), Top(), width, Height()); }
  void SetHeight(float height) { Move(Left(), Top(), Width(), height); }
  void SetPosition(float left, float top) { Move(left, top, Width(), Height()); }
};

class Label : public Control {
 public:
  [[nodiscard]] virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
};

class CommandButton : public Control {
 public:
  [[nodiscard]] virtual std::string Caption() const = 0;
};

class ComboBox : public Control {
 public:
  [[nodiscard]] virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  [[nodiscard]] virtual std::int16_t ListCount() const = 0;
  // The entry at `index`, valid until the list next changes. (The history
  // update reads every entry of a list of up to 32,767 on each navigation:
  // no copy is made.)
  [[nodiscard]] virtual const std::string& List(std::int16_t index) const = 0;
  // Inserts at `index`, or appends when index is -1. A full list (32,767
  // entries) refuses with a Failure.
  virtual void AddItem(const std::string& text, std::int16_t index = -1) = 0;
  virtual void RemoveItem(std::int16_t index) = 0;
  [[nodiscard]] virtual std::int16_t ListIndex() const = 0;
  // Selects an entry, shows it as the text, and raises Click synchronously.
  virtual void SetListIndex(std::int16_t index) = 0;
  // Puts the keyboard focus into the edit field.
  virtual void SetFocus() = 0;
  // Selects the whole text of the edit field.
  virtual void SelectAll() = 0;
};

// One line of text the user types.
class TextBox : public Control {
 public:
  [[nodiscard]] virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetFocus() = 0;
  // Selects the whole text.
  virtual void SelectAll() = 0;
};

// A check box or an option button: on or off. Setting an option button on
// sets the other option buttons of its container off; setting one off
// changes nothing (one of the group is always on, as with clicks).
class CheckBox : public Control {
 public:
  [[nodiscard]] virtual bool Value() const = 0;
  virtual void SetValue(bool on) = 0;
};

class Timer {
 public:
  Timer() = default;
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  virtual ~Timer() = default;
  [[nodiscard]] virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  [[nodiscard]] virtual int Interval() const = 0;
};

class Toolbar : public Control {
 public:
  virtual void Refresh() = 0;  // repaint
};

// A toolbar button as handed to ButtonClick.
class ToolbarButton {
 public:
  ToolbarButton() = default;
  ToolbarButton(const ToolbarButton&) = delete;
  ToolbarButton& operator=(const ToolbarButton&) = delete;
  virtual ~ToolbarButton() = default;
  [[nodiscard]] virtual std::string Key() const = 0;
};

// The hosted web view. Operations start work and return; progress comes
// back through Busy and the DownloadComplete / NavigateComplete2 events.
class WebBrowser : public Control {
 public:
  virtual void Navigate(const std::string& address) = 0;
  virtual void GoBack() = 0;
  virtual void GoForward() = 0;
  virtual void GoHome() = 0;
  virtual void GoSearch() = 0;
  virtual void Refresh() = 0;
  virtual void Stop() = 0;
  [[nodiscard]] virtual std::string LocationName() const = 0;
  // Read from the web view on every call; the text stays valid until the next
  // call (the history update compares it with every entry of the list).
  [[nodiscard]] virtual const std::string& LocationURL() const = 0;
  [[nodiscard]] virtual bool Busy() const = 0;
  // The page's zoom: 1 is its own size.
  [[nodiscard]] virtual float Zoom() const = 0;
  virtual void SetZoom(float factor) = 0;

  // ---- find in the page ----
  // Each starts a search and returns; the outcome comes back as a
  // FindResult event of the web view (found or not, the matches counted
  // where the engine counts them). Searches wrap at either end of the page.
  // A new search for `text`: the first match from the top (the last going
  // backwards) is selected and scrolled into view.
  virtual void Find(const std::string& text, bool matchCase, bool backwards) = 0;
  // The match after (or before) the one selected, for the last search.
  virtual void FindNext() = 0;
  virtual void FindPrevious() = 0;
  // Ends the search: the engine lets go of it (the selection stays).
  virtual void FindFinish() = 0;
  // Where the match the last FindResult reported is on the screen (screen
  // twips, the part of it inside the view): none when no match is selected
  // or the engine cannot tell.
  [[nodiscard]] virtual std::optional<Rect> MatchArea() const = 0;
  // Puts the keyboard into the page, its window brought to the front.
  virtual void SetFocus() = 0;
  // ---- end of find in the page ----
  // ---- print and save ----
  // Prints the page through the platform's print dialog; Cancel prints
  // nothing.
  virtual void Print() = 0;
  // Saves the page as one file, asking where first (the download rules);
  // Cancel writes nothing.
  virtual void SavePage() = 0;
};

}  // namespace corvane
