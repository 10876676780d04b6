#include "program/browser_program.h"

#include "splash/frm_splash.h"

namespace corvane {

int BrowserProgram::Run() {
  return Program::Run([this] { Get<frmSplash>().Show(); });
}

void BrowserProgram::Start() {
  Program::Start([this] { Get<frmSplash>().Show(); });
}

}  // namespace corvane
