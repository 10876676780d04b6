// The browser window: toolbar, address box and web view.
//
// Load shows the window, lays it out and opens the start address; the resize
// rule stretches the address box and the web view; the address box and the
// toolbar steer the web view; a 5 ms poll and DownloadComplete keep the
// caption at the page's name (or "Working..." while loading); every completed
// navigation moves the page's address to the top of the address list.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/event_table.h"
#include "app/forms.h"

namespace corvane {

class Form1 final : public Form {
 public:
  explicit Form1(Program& program);

  static const WindowDesign& TheDesign();
  // Which handler takes which event of which control.
  static std::span<const Route<Form1>> Events();

  // Appended to the page's name, and to "Working...", in the caption.
  static constexpr const char* kTitleSuffix = " - Corvane Ombrel - Varnhollow Software";
  static constexpr const char* kBusyText = "Working...";
  // The most entries the address list can hold (its count is 16-bit).
  static constexpr std::int16_t kMaxAddresses = 32767;

  // The address opened at load.
  std::string StartingAddress;

  // Handlers.
  void Form_Resize();
  void cboAddress_Click();
  void cboAddress_KeyPress(std::int16_t& KeyAscii);
  void tbToolBar_ButtonClick(const ToolbarButton& Button);
  void timTimer_Timer();
  void brwWebBrowser_DownloadComplete();
  void brwWebBrowser_NavigateComplete2(const std::string& URL);
  // A search in the page ended: the Find window says how.
  void brwWebBrowser_FindResult(bool Found, std::int32_t Matches);
  // The window's shortcuts (it has key preview): a key that is one sets
  // KeyCode to 0, so it goes no further.
  void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift);

  [[nodiscard]] Toolbar& tbToolBar() const { return Window().GetToolbar("tbToolBar"); }
  [[nodiscard]] Control& picAddress() const { return Window().GetControl("picAddress"); }
  [[nodiscard]] Label& lblAddress() const { return Window().GetLabel("lblAddress"); }
  [[nodiscard]] ComboBox& cboAddress() const { return Window().GetComboBox("cboAddress"); }
  [[nodiscard]] WebBrowser& brwWebBrowser() const {
    return Window().GetWebBrowser("brwWebBrowser");
  }
  [[nodiscard]] Timer& timTimer() const { return Window().GetTimer("timTimer"); }

  // Whether a list change is under way (the address box's Click is ignored).
  [[nodiscard]] bool NavigationHeld() const { return HoldNavigation; }

 protected:
  void Form_Load() override;
  void Form_Unload() override;
  void OnEvent(Event& event) override;

 private:
  // The web view's LocationName followed by the title suffix.
  [[nodiscard]] std::string PageTitle() const;

  bool HoldNavigation = false;
};

}  // namespace corvane
