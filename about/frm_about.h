// The About box: title, version, description and warning; OK closes it,
// System Info starts the system-information tool.
#pragma once

#include "app/forms.h"

namespace corvane {

class frmAbout final : public Form {
 public:
  explicit frmAbout(Program& program);

  static const WindowDesign& TheDesign();

  // Handlers.
  void cmdOK_Click();
  void cmdSysInfo_Click();

  [[nodiscard]] Label& lblTitle() const { return Window().GetLabel("lblTitle"); }
  [[nodiscard]] Label& lblVersion() const { return Window().GetLabel("lblVersion"); }

 protected:
  void Form_Load() override;
  void OnEvent(Event& event) override;
};

}  // namespace corvane
