#include "about/frm_about.h"

#include <string>

#include "app/identity.h"

namespace corvane {

frmAbout::frmAbout(Program& program) : Form(program, TheDesign()) {}

void frmAbout::Form_Load() {
  SetCaption(std::string("About ") + identity::Title);
  lblVersion().SetCaption(
      identity::VersionText(identity::Major, identity::Minor, identity::Revision));
  lblTitle().SetCaption(identity::Title);
}

void frmAbout::cmdOK_Click() { Unload(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

std::span<const Route<frmAbout>> frmAbout::Events() {
  static constexpr Route<frmAbout> kEvents[] = {
      {"cmdOK", EventType::Click, Call<&frmAbout::cmdOK_Click>},
      {"cmdSysInfo", EventType::Click, Call<&frmAbout::cmdSysInfo_Click>},
  };
  return kEvents;
}

void frmAbout::OnEvent(Event& event) { RouteEvent(*this, Events(), event); }

}  // namespace corvane
