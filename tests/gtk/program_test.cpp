// The whole program in this process on the GTK backend: real keys and clicks
// on its windows, the address list read through the combo box itself.
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "app/program.h"
#include "browser/form1.h"
#include "splash/frm_splash.h"
#include "tests/gtk/gtk_fixture.h"
#include "tests/support/http_server.h"

namespace corvane::testing {
namespace {

const std::string kSuffix = " - Corvane Ombrel - Varnhollow Software";

class BrowsingInProcess : public LiveBrowser {
 protected:
  gtk::FormWindow& Live(const std::string& name) {
    EXPECT_TRUE(WaitUntil([&] { return backend.Find(name) != nullptr; }));
    return *backend.Find(name);
  }
  // Starts the program and dismisses the splash with a letter.
  gtk::FormWindow& Browser() {
    program.Start();
    gtk::FormWindow& splash = Live("frmSplash");
    EXPECT_TRUE(ShowAndFocus(x, splash.Toplevel()));
    x.Key("b");
    EXPECT_TRUE(WaitUntil([&] { return !program.Get<frmSplash>().Loaded(); }));
    gtk::FormWindow& browser = Live("Form1");
    EXPECT_TRUE(ShowAndFocus(x, browser.Toplevel()));
    return browser;
  }
  bool Caption(gtk::FormWindow& window, const std::string& caption) {
    return WaitUntil([&] { return window.Caption() == caption; });
  }
  std::vector<std::string> List(gtk::FormWindow& browser) {
    ComboBox& box = browser.GetComboBox("cboAddress");
    std::vector<std::string> entries;
    for (std::int16_t i = 0; i < box.ListCount(); ++i) {
      entries.push_back(box.List(i));
    }
    return entries;
  }
  void Type(gtk::FormWindow& browser, const std::string& address) {
    x.Focus(XidOf(browser.Toplevel()));
    x.Key("a", {"Alt_L"});
    x.Key("a", {"Control_L"});
    x.Type(address);
    x.Key("Return");
  }
};

TEST_F(BrowsingInProcess, TheSplashShowsTheVersionAndIgnoresKeysWithoutCharactersAndLabelClicks) {
  program.Start();
  gtk::FormWindow& splash = Live("frmSplash");
  EXPECT_EQ(splash.GetLabel("lblVersion").Caption(), "Version 1.0.0");
  EXPECT_EQ(splash.GetLabel("lblProductName").Caption(), "Corvane Ombrel");
  ASSERT_TRUE(ShowAndFocus(x, splash.Toplevel()));
  x.Key("Right");
  x.Key("Shift_L");
  x.Key("F1");
  const auto click = [&](float twipsX, float twipsY) {
    const auto [sx, sy] = ScreenPoint(splash.ClientArea(), backend.TheUnits().Px(twipsX),
                                      backend.TheUnits().Px(twipsY));
    x.Click(sx, sy);
  };
  click(150 + 300, 60 + 1100);   // the logo
  click(150 + 4500, 60 + 3350);  // lblCompany, which shows no text
  click(60, 2000);               // the margin outside the frame
  Settle(x);
  EXPECT_TRUE(program.Get<frmSplash>().Loaded());
  EXPECT_FALSE(program.Get<Form1>().Loaded());

  click(150 + 5300, 60 + 1921);  // on Line2: counts as the frame
  ASSERT_TRUE(WaitUntil([&] { return !program.Get<frmSplash>().Loaded(); }));
  EXPECT_TRUE(program.Get<Form1>().Loaded());
}

TEST_F(BrowsingInProcess, TheAddressListHoldsVisitedPagesNewestFirstAndAPickGoesBack) {
  gtk::FormWindow& browser = Browser();
  const std::string first = server.Url("/first.html");
  const std::string second = server.Url("/second.html");
  ASSERT_TRUE(Caption(browser, "First Page" + kSuffix));
  EXPECT_EQ(List(browser), (std::vector<std::string>{first}));

  Type(browser, second);
  ASSERT_TRUE(Caption(browser, "Second Page" + kSuffix));
  ASSERT_TRUE(WaitUntil([&] { return List(browser).size() == 2; }));
  EXPECT_EQ(List(browser), (std::vector<std::string>{second, first}));
  EXPECT_EQ(browser.GetComboBox("cboAddress").Text(), second);

  // A pick from the drop-down list, as the list makes it.
  gtk_combo_box_set_active(GTK_COMBO_BOX(browser.WidgetOf("cboAddress")), 1);
  ASSERT_TRUE(Caption(browser, "First Page" + kSuffix));
  ASSERT_TRUE(WaitUntil([&] { return List(browser).front() == first; }));
  EXPECT_EQ(List(browser), (std::vector<std::string>{first, second}));
}

TEST_F(BrowsingInProcess, ResizingToAlmostNothingAndBackRestoresTheLayout) {
  gtk::FormWindow& browser = Browser();
  WebBrowser& view = browser.GetWebBrowser("brwWebBrowser");
  ComboBox& box = browser.GetComboBox("cboAddress");
  const float width = browser.ScaleWidth();
  const float height = browser.ScaleHeight();
  gtk_window_resize(browser.Toplevel(), 3, 3);
  ASSERT_TRUE(WaitUntil([&] { return browser.ScaleWidth() < 100; }));
  EXPECT_FLOAT_EQ(box.Width(), 0);
  EXPECT_FLOAT_EQ(view.Width(), 0);
  EXPECT_FLOAT_EQ(view.Height(), 0);

  gtk_window_resize(browser.Toplevel(), backend.TheUnits().Px(width),
                    backend.TheUnits().Px(height));
  ASSERT_TRUE(WaitUntil([&] { return browser.ScaleWidth() == width; }));
  EXPECT_FLOAT_EQ(box.Left(), 50);
  EXPECT_FLOAT_EQ(box.Width(), width - 100);
  EXPECT_FLOAT_EQ(view.Left(), 120);
  EXPECT_FLOAT_EQ(view.Top(), 1200);
  EXPECT_FLOAT_EQ(view.Width(), width - 100);
  EXPECT_FLOAT_EQ(view.Height(), height - (540 + 675) - 100);
  EXPECT_FALSE(program.Ended());
  // The web view's widget is on screen at that size again.
  GtkWidget* widget = browser.WidgetOf("brwWebBrowser");
  ASSERT_TRUE(WaitUntil([&] {
    return gtk_widget_get_allocated_width(widget) == backend.TheUnits().Px(width - 100);
  }));
}

TEST_F(BrowsingInProcess, AboutOpensWithTheFocusOnOkAndEscClosesIt) {
  gtk::FormWindow& browser = Browser();
  GtkWidget* bar = browser.WidgetOf("tbToolBar");
  const auto [sx, sy] = ScreenPoint(bar, 6 * 31 + 15, 15);
  x.Click(sx, sy);
  gtk::FormWindow& about = Live("frmAbout");
  ASSERT_TRUE(ShowAndFocus(x, about.Toplevel()));
  EXPECT_EQ(about.Caption(), "About Corvane Ombrel");
  EXPECT_EQ(gtk_window_get_focus(about.Toplevel()), about.WidgetOf("cmdOK"));
  x.Key("Escape");
  ASSERT_TRUE(WaitUntil([&] { return !program.Get<frmAbout>().Loaded(); }));
  ASSERT_TRUE(WaitUntil([&] { return backend.Find("frmAbout") == nullptr; }));
  EXPECT_FALSE(program.Ended());

  // Closing the browser window ends the program.
  x.Close(XidOf(browser.Toplevel()));
  ASSERT_TRUE(WaitUntil([&] { return program.Ended(); }));
  EXPECT_TRUE(backend.QuitRequested());
}

}  // namespace
}  // namespace corvane::testing
