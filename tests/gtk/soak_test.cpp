// Long use of the real browser window: 100 navigations, typed and picked
// from the address list, and 100 openings and closings of the About box. The
// memory of the whole process tree (this process and the engine's processes)
// must not keep growing.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>

#include <fstream>
#include <set>
#include <sstream>
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

// Resident kilobytes of a process and all its descendants.
long TreeRssKb(int pid) {
  long total = 0;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) {
      total += std::stol(line.substr(6));
    }
  }
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  if (DIR* dir = opendir(tasks.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      std::ifstream children(tasks + "/" + entry->d_name + "/children");
      for (int child = 0; children >> child;) {
        total += TreeRssKb(child);
      }
    }
    closedir(dir);
  }
  return total;
}

using Soak = LiveBrowser;

TEST_F(Soak, HundredNavigationsAndAboutCyclesKeepTheProcessTreeSize) {
  gtk::FormWindow* opened = OpenBrowser();
  ASSERT_NE(opened, nullptr);
  gtk::FormWindow& browser = *opened;
  ComboBox& box = browser.GetComboBox("cboAddress");
  GtkWidget* combo = browser.WidgetOf("cboAddress");
  const std::string pages[] = {"/first.html", "/second.html"};
  const std::string titles[] = {"First Page", "Second Page"};

  long afterTenth = 0;
  for (int round = 1; round <= 100; ++round) {
    const int page = round % 2;
    if (round % 4 < 2) {  // typed and entered
      Enter(browser, server.Url(pages[page]));
    } else {  // picked from the list
      int index = -1;
      for (std::int16_t i = 0; i < box.ListCount(); ++i) {
        if (box.List(i) == server.Url(pages[page])) {
          index = i;
        }
      }
      ASSERT_GE(index, 0) << "round " << round;
      gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index);
    }
    ASSERT_TRUE(WaitUntil([&] { return browser.Caption() == titles[page] + kSuffix; }))
        << "round " << round << ": " << browser.Caption();
    ASSERT_TRUE(WaitUntil([&] { return box.ListCount() > 0 && box.List(0) == server.Url(pages[page]); }));
    EXPECT_LE(box.ListCount(), 2) << "round " << round;

    program.Get<frmAbout>().Show();
    ASSERT_TRUE(WaitUntil([&] { return backend.Find("frmAbout") != nullptr; }));
    ASSERT_TRUE(ShowAndFocus(x, backend.Find("frmAbout")->Toplevel()));
    x.Key("Escape");
    ASSERT_TRUE(WaitUntil([&] { return backend.Find("frmAbout") == nullptr; })) << "round " << round;

    if (round == 10) {
      afterTenth = TreeRssKb(getpid());
    }
  }
  const long afterLast = TreeRssKb(getpid());
  std::printf("process tree RSS: %ld kB after round 10, %ld kB after round 100\n", afterTenth,
              afterLast);
  EXPECT_LE(afterLast, afterTenth + afterTenth / 10);
  EXPECT_FALSE(program.Ended());
}

}  // namespace
}  // namespace corvane::testing
