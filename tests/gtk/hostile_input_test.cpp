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

class HostileInput : public ::testing::Test {
 protected:
  LoopbackServer server;
  gtk::GtkBackend backend{gtk::WebPages{server.Url("/home.html"), server.Url("/search.html")}};
  XDriver x;
  Program program{Ports{backend}, BuildSettings{server.Url("/first.html")}};
};

TEST_F(HostileInput, EnteredAddressesNeverCrashHangOrLeaveTheBusyTitle) {
  program.Start();
  ASSERT_TRUE(WaitUntil([&] { return backend.Find("frmSplash") != nullptr; }));
  program.Get<frmSplash>().Show();
  gtk::FormWindow& splash = *backend.Find("frmSplash");
  ASSERT_TRUE(ShowAndFocus(x, splash.Toplevel()));
  x.Key("b");
  ASSERT_TRUE(WaitUntil([&] { return backend.Find("Form1") != nullptr; }));
  gtk::FormWindow& browser = *backend.Find("Form1");
  ASSERT_TRUE(ShowAndFocus(x, browser.Toplevel()));
  ASSERT_TRUE(WaitUntil([&] { return browser.Caption() != kBusy && browser.Caption() != "Form1"; }));

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
  ComboBox& box = browser.GetComboBox("cboAddress");
  Timer& poll = browser.GetTimer("timTimer");
  for (const auto& [what, address] : addresses) {
    SCOPED_TRACE(what);
    box.SetText(address);
    browser.SetCaption("before Enter");
    x.Focus(XidOf(browser.Toplevel()));
    x.Key("a", {"Alt_L"});  // into the address box
    x.Key("Return");
    Settle(x);
    // Enter reached the box: the poll is on, or has already shown a title.
    EXPECT_TRUE(poll.Enabled() || browser.Caption() != "before Enter");
    EXPECT_TRUE(WaitUntil([&] { return !poll.Enabled() && browser.Caption() != kBusy; }, 30s))
        << "caption: " << browser.Caption().substr(0, 80);
    ASSERT_FALSE(program.Ended());
    ASSERT_TRUE(program.Get<Form1>().Loaded());
  }

  // The window still browses afterwards.
  box.SetText(server.Url("/second.html"));
  x.Focus(XidOf(browser.Toplevel()));
  x.Key("a", {"Alt_L"});
  x.Key("Return");
  EXPECT_TRUE(WaitUntil([&] {
    return browser.Caption() == "Second Page - Corvane Ombrel - Varnhollow Software";
  }));
}

}  // namespace
}  // namespace corvane::testing
