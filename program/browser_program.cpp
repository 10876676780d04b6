#include "program/browser_program.h"

#include <utility>

#include "browsing/page_policy.h"
#include "splash/frm_splash.h"

namespace corvane {

BrowserProgram::BrowserProgram(Ports ports, BuildSettings settings)
    : Program(ports, std::move(settings)) {
  const BuildSettings& built = Settings();
  ports.backend.SetPagePolicy(
      MakePagePolicies({built.homePage, built.searchPage, built.searchQuery}));
}

int BrowserProgram::Run() {
  return Program::Run([this] { Get<frmSplash>().Show(); });
}

void BrowserProgram::Start() {
  Program::Start([this] { Get<frmSplash>().Show(); });
}

}  // namespace corvane
