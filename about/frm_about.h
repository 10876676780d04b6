// The About box: title, version, description and warning; OK closes it,
// System Info starts the system-information tool.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/event_table.h"
#include "app/forms.h"

namespace corvane {

class frmAbout final : public Form {
 public:
  explicit frmAbout(Program& program);

  static const WindowDesign& TheDesign();
  // Which handler takes which event of which control.
  static std::span<const Route<frmAbout>> Events();

  // Handlers.
  void cmdOK_Click();
  void cmdSysInfo_Click();

  // Starts the system-information tool found through the registry, or shows
  // "System Information Is Unavailable At This Time". No failure leaves it.
  void StartSysInfo() noexcept;
  // Reads the value SubKeyRef of the key KeyName below KeyRoot into KeyVal:
  // text for a string, the unsigned decimal text for a 32-bit number, KeyVal
  // untouched for any other type. Answers false, with KeyVal empty, when the
  // key cannot be opened or the value cannot be read. KeyName and SubKeyRef
  // come back as the registry's code page carried them.
  bool GetKeyValue(std::int32_t& KeyRoot, std::string& KeyName, std::string& SubKeyRef,
                   std::string& KeyVal);

  [[nodiscard]] Label& lblTitle() const { return Window().GetLabel("lblTitle"); }
  [[nodiscard]] Label& lblVersion() const { return Window().GetLabel("lblVersion"); }

 protected:
  void Form_Load() override;
  void OnEvent(Event& event) override;
};

}  // namespace corvane
