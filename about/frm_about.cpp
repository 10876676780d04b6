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

void frmAbout::OnEvent(Event& event) {
  if (event.type != EventType::Click) {
    return;
  }
  if (event.control == "cmdOK") {
    cmdOK_Click();
  } else if (event.control == "cmdSysInfo") {
    cmdSysInfo_Click();
  }
}

}  // namespace corvane
