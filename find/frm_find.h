// The Find window: finds words in the browser window's page. It belongs to
// the browser window (stays above it, goes with it) and is not modal.
//
// Find Next searches the page for the text in the chosen direction; the
// page selects the match and scrolls it into view, wrapping at its ends.
// The window says how many matches there are where the page counts them,
// and says so when there is none. After each match it found, it moves out
// of the match's way where it covers it and can. Cancel or Esc closes it and
// the keyboard goes back to the page.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/event_table.h"
#include "app/forms.h"

namespace corvane {

class WebBrowser;

class frmFind final : public Form {
 public:
  explicit frmFind(Program& program);

  static const WindowDesign& TheDesign();
  // Which handler takes which event of which control.
  static std::span<const Route<frmFind>> Events();

  // What the status line says.
  static std::string NotFoundText(const std::string& text);
  static std::string MatchesText(std::int32_t matches);

  // The last search: its text, case rule and direction.
  std::string FindWhat;
  bool MatchCase = false;
  bool SearchUp = false;

  // Ctrl+F: shows the window with the text box focused, its text selected.
  void ShowFind();
  // F3 / Shift+F3: the next or previous match of the last text; with no
  // text yet the window opens instead.
  void FindAgain(bool backwards);
  // The browser window's page told how a search ended.
  void SearchEnded(bool found, std::int32_t matches);
  // The browser window shows another page: the next search starts afresh.
  void PageChanged() { searching_ = false; }
  // The browser window goes: this window goes with it.
  void CloseWithOwner();

  // Handlers.
  void cmdFindNext_Click();
  void cmdCancel_Click();

  [[nodiscard]] TextBox& txtFind() const { return Window().GetTextBox("txtFind"); }
  [[nodiscard]] CheckBox& chkMatchCase() const { return Window().GetCheckBox("chkMatchCase"); }
  [[nodiscard]] CheckBox& optUp() const { return Window().GetCheckBox("optUp"); }
  [[nodiscard]] CheckBox& optDown() const { return Window().GetCheckBox("optDown"); }
  [[nodiscard]] Label& lblStatus() const { return Window().GetLabel("lblStatus"); }

 protected:
  void Form_Load() override;
  void Form_Unload() override;
  void OnEvent(Event& event) override;

 private:
  // The browser window's page, or nullptr when it is not loaded.
  [[nodiscard]] WebBrowser* Page() const;
  // Searches the page for FindWhat.
  void Search(bool backwards);
  void SetStatus(const std::string& text);
  // Moves the window off the match the page selected, where it covers it.
  void ClearTheMatch();

  bool searching_ = false;     // the page has a search for searched_ under way
  std::string searched_;       // text and case rule of the page's search
  bool searchedCase_ = false;
  bool ownerGoing_ = false;
};

}  // namespace corvane
