#include "splash/frm_splash.h"

#include "app/identity.h"
#include "app/program.h"
#include "browser/form1.h"

namespace corvane {

frmSplash::frmSplash(Program& program) : Form(program, TheDesign()) {}

void frmSplash::Form_Load() {
  lblVersion().SetCaption(
      identity::VersionText(identity::Major, identity::Minor, identity::Revision));
  lblProductName().SetCaption(identity::Title);
}

void frmSplash::Form_KeyPress(std::int16_t& /*KeyAscii*/) { Dismiss(); }

void frmSplash::Frame1_Click() { Dismiss(); }

void frmSplash::Dismiss() {
  // The browser window comes first, so that some window is loaded at every
  // moment; unloading the splash first would end the program.
  TheProgram().Get<Form1>().Show();
  Unload();
}

std::span<const Route<frmSplash>> frmSplash::Events() {
  static constexpr Route<frmSplash> kEvents[] = {
      {"", EventType::KeyPress, Call<&frmSplash::Form_KeyPress>},
      {"Frame1", EventType::Click, Call<&frmSplash::Frame1_Click>},
  };
  return kEvents;
}

void frmSplash::OnEvent(Event& event) { RouteEvent(*this, Events(), event); }

}  // namespace corvane
