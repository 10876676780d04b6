// Hostile addresses entered into the real browser window: huge, malformed,
// control characters, other schemes. The program must neither crash nor
// hang, and the caption must always leave "Working...".
#include <string>
#include <vector>

#include "app/program.h"
#include "browser/form1.h"
#include "splash/frm_splash.h"
#include "tests/gtk/gtk_fixture.h"
#include "tests/support/http_server.h"

namespace corvane::testing {
namespace {

const std::string kBusy = "Working... - Corvane Ombrel - Varnhollow Software";

using HostileInput = LiveBrowser;

TEST_F(HostileInput, EnteredAddressesNeverCrashHangOrLeaveTheBusyTitle) {
  gtk::FormWindow* opened = OpenBrowser();
  ASSERT_NE(opened, nullptr);
  gtk::FormWindow& browser = *opened;

  const std::vector<std::pair<const char*, std::string>> addresses = {
      {"1 MB of text", std::string(1 << 20, 'a')},
      {"invalid UTF-8", std::string("http://127.0.0.1/\xff\xfe\xc3(")},
      {"control characters", std::string("http://exa\x01mple.com/\t\r\x7f", 26)},
      {"a lone percent sign", "%"},
      {"javascript", "javascript:void(0)"},
      {"file", "file:///nonexistent/corvane-ombrel-test"},
      {"blanks only", "     "},
      {"embedded zero", std::string("http://a\0b/", 11)},
  };
  Timer& poll = browser.GetTimer("timTimer");
  for (const auto& [what, address] : addresses) {
    SCOPED_TRACE(what);
    browser.SetCaption("before Enter");
    Enter(browser, address);
    Settle(x);
    // Enter reached the box: the poll is on, or has already shown a title.
    EXPECT_TRUE(poll.Enabled() || browser.Caption() != "before Enter");
    EXPECT_TRUE(WaitUntil([&] { return !poll.Enabled() && browser.Caption() != kBusy; }, 30s))
        << "caption: " << browser.Caption().substr(0, 80);
    ASSERT_FALSE(program.Ended());
    ASSERT_TRUE(program.Get<Form1>().Loaded());
  }

  // The window still browses afterwards.
  Enter(browser, server.Url("/second.html"));
  EXPECT_TRUE(WaitUntil([&] {
    return browser.Caption() == "Second Page - Corvane Ombrel - Varnhollow Software";
  }));
}

}  // namespace
}  // namespace corvane::testing
