// The splash window: shown at start, dismissed by a character key or a click
// on its frame, which opens the browser window.
#pragma once

#include <cstdint>
#include <span>

#include "app/event_table.h"
#include "app/forms.h"

namespace corvane {

class frmSplash final : public Form {
 public:
  explicit frmSplash(Program& program);

  static const WindowDesign& TheDesign();
  // Which handler takes which event of which control.
  static std::span<const Route<frmSplash>> Events();

  // Handlers.
  void Form_KeyPress(std::int16_t& KeyAscii);
  void Frame1_Click();

  [[nodiscard]] Label& lblVersion() const { return Window().GetLabel("lblVersion"); }
  [[nodiscard]] Label& lblProductName() const { return Window().GetLabel("lblProductName"); }

 protected:
  void Form_Load() override;
  void OnEvent(Event& event) override;

 private:
  void Dismiss();
};

}  // namespace corvane
