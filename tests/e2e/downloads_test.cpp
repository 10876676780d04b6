// Downloads in the real program: every download asks with the save dialog,
// answered here with real keys; what lands in the temporary home folder is
// checked by listing all of it.
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/e2e/e2e_fixture.h"

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

std::string Reply(const std::string& type, const std::string& body,
                  const std::string& headers = "") {
  return "HTTP/1.1 200 OK\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nCache-Control: no-store\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

// Bytes that are not text, so a changed byte shows.
std::string Payload(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245U + 12345U;
    bytes[i] = static_cast<char>(seed >> 16);
  }
  return bytes;
}

class Downloads : public ::testing::Test {
 protected:
  Downloads() {
    fs::remove_all(downloads);  // the tests share one home folder
    const auto page = [this](const std::string& path, const std::string& html) {
      server.Route(path, [html](int socket) {
        LoopbackServer::Send(socket, Reply("text/html; charset=utf-8", html));
      });
    };
    const auto file = [this](const std::string& path, const std::string& type,
                             const std::string& body, const std::string& headers = "") {
      server.Route(path,
                   [=](int socket) { LoopbackServer::Send(socket, Reply(type, body, headers)); });
    };
    // The whole page is the link, so a click anywhere in the view follows it.
    page("/links.html",
         "<!DOCTYPE html><html><head><title>Links</title></head><body style=\"margin:0\">"
         "<a href=\"/files/report.zip\" style=\"display:block;width:100vw;height:100vh\">"
         "report</a></body></html>");
    page("/hidden.html",
         "<!DOCTYPE html><html><head><title>Hidden</title></head><body>quiet page"
         "<iframe style=\"display:none\" src=\"/files/dotfile\"></iframe></body></html>");
    std::string frames;
    for (int i = 0; i < kFlood; ++i) {
      frames += "<iframe style=\"display:none\" src=\"/files/flood?" + std::to_string(i) +
                "\"></iframe>";
    }
    page("/flood.html", "<!DOCTYPE html><html><head><title>Flood</title></head><body>" + frames +
                            "</body></html>");
    file("/files/flood", "text/plain", text, "Content-Disposition: attachment\r\n");
    page("/controls.html",
         "<!DOCTYPE html><html><head><title>Controls</title></head><body>"
         "<iframe style=\"display:none\" src=\"/files/controls\"></iframe></body></html>");
    file("/files/report.zip", "application/zip", zip);
    server.Route("/get/report", [](int socket) {
      LoopbackServer::Send(socket,
                           "HTTP/1.1 302 Found\r\nLocation: /files/report.zip\r\n"
                           "Content-Length: 0\r\nConnection: close\r\n\r\n");
    });
    file("/files/dotfile", "text/plain", text,
         "Content-Disposition: attachment; filename=\"../../.bashrc\"\r\n");
    file("/files/controls", "text/plain", text,
         "Content-Disposition: attachment; filename*=UTF-8''a%01b%0Ac%1B.txt\r\n");
    // Half the promised body, then the connection drops once the test has
    // seen the download running.
    server.Route("/files/broken.zip", [this](int socket) {
      const std::string body = Payload(200000, 7);
      const std::string head =
          "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\n"
          "Content-Length: " +
          std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
      LoopbackServer::Send(socket, head + body.substr(0, body.size() / 2));
      Eventually([this] { return dropNow.load(); }, 30s);
    });
    page("/broken.html",
         "<!DOCTYPE html><html><head><title>Broken</title></head><body>"
         "<iframe style=\"display:none\" src=\"/files/broken.zip\"></iframe></body></html>");
  }

  ~Downloads() override { dropNow = true; }  // lets a held reply end

  static constexpr int kFlood = 10;
  const std::string zip = Payload(70000, 1);
  const std::string text = "alias ls='rm -rf ~'\n";
  std::atomic<bool> dropNow{false};
  LoopbackServer server{CORVANE_E2E_PORT};
  // The save dialog keeps its own settings; here they stay in memory (there
  // is no session bus to store them through).
  const bool settingsInMemory = setenv("GSETTINGS_BACKEND", "memory", 1) == 0;
  XDriver x;
  const fs::path home = std::getenv("HOME");
  const fs::path downloads = home / "Downloads";
  std::unique_ptr<Process> program = std::make_unique<Process>(CORVANE_E2E_PROGRAM);

  std::string Root() const { return "http://127.0.0.1:" + std::to_string(server.Port()); }

  std::optional<XWindow> Titled(const std::string& title, std::chrono::milliseconds timeout = 20s) {
    std::optional<XWindow> found;
    Eventually(
        [&] {
          for (const XWindow w : x.TopLevels(program->Pid())) {
            if (x.Title(w) == title) {
              found = w;
              return true;
            }
          }
          return false;
        },
        timeout);
    return found;
  }
  bool Gone(const std::string& title) {
    return Eventually([&] {
      for (const XWindow w : x.TopLevels(program->Pid())) {
        if (x.Title(w) == title) {
          return false;
        }
      }
      return true;
    });
  }
  bool Gone(XWindow window) {
    return Eventually([&] {
      const std::vector<XWindow> windows = x.TopLevels(program->Pid());
      return std::find(windows.begin(), windows.end(), window) == windows.end();
    });
  }
  int Count(const std::string& title) {
    int count = 0;
    for (const XWindow w : x.TopLevels(program->Pid())) {
      count += x.Title(w) == title ? 1 : 0;
    }
    return count;
  }
  // The browser window, showing its first page.
  std::optional<XWindow> Browser() {
    const auto splash = Titled("");
    if (!splash) {
      return std::nullopt;
    }
    x.Focus(*splash);
    x.Key("space");
    return Titled("First Page" + kSuffix);
  }
  void Open(XWindow browser, const std::string& path) {
    x.Focus(browser);
    x.Key("a", {"Alt_L"});
    x.Key("a", {"Control_L"});
    x.Type(Root() + path);
    x.Key("Return");
  }
  // Answers the save dialog with a key: Return saves, Escape cancels.
  bool Answer(const std::string& key) {
    const auto dialog = Titled("Save Download");
    if (!dialog) {
      return false;
    }
    x.Focus(*dialog);
    x.Key(key);
    return Gone(*dialog);
  }
  // Closes the notice titled `title`.
  bool Acknowledge(const std::string& title) {
    const auto notice = Titled(title);
    if (!notice) {
      return false;
    }
    x.Focus(*notice);
    x.Key("Return");
    return Gone(title);
  }
  std::vector<std::string> Saved() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(downloads, error)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(Downloads, AnAcceptedDownloadIsSavedUnderASafeFreeNameWithANotice) {
  struct Case {
    const char* what;
    std::string page;                  // opened in the address box
    bool clickTheView;                 // then a click in the page follows its link
    std::vector<std::string> present;  // files already in the Downloads folder
    std::string saved;                 // the file the download becomes
    std::string bytes;
    std::string title;                 // of the page shown afterwards
  };
  const std::vector<Case> cases = {
      {"a link to a zip file", "/links.html", true, {}, "report.zip", zip, "Links"},
      {"a taken name", "/links.html", true, {"report.zip"}, "report (1).zip", zip, "Links"},
      {"a redirect to a zip file", "/get/report", false, {}, "report.zip", zip, "Links"},
      {"hidden frame, ../../.bashrc", "/hidden.html", false, {}, "bashrc", text, "Hidden"},
      {"control characters", "/controls.html", false, {}, "a_b_c_.txt", text, "Controls"},
  };
  const auto browser = Browser();
  ASSERT_TRUE(browser);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(downloads);
    for (const std::string& name : c.present) {
      fs::create_directories(downloads);
      std::ofstream(downloads / name) << "kept";
    }
    const auto before = Listing(home);
    Open(*browser, c.page);
    if (c.clickTheView) {
      ASSERT_TRUE(Eventually([&] { return x.Title(*browser).starts_with("Links"); }));
      const ScreenRect r = x.Geometry(*browser);
      x.Click(r.x + r.width / 2, r.y + r.height * 2 / 3);
    }
    // Asked first, however the download began; nothing written meanwhile.
    ASSERT_TRUE(Titled("Save Download"));
    EXPECT_EQ(Listing(home), before);
    EXPECT_EQ(Saved(), c.present);
    ASSERT_TRUE(Answer("Return"));
    ASSERT_TRUE(Acknowledge("Download Complete"));
    EXPECT_EQ(Contents(downloads / c.saved), c.bytes);
    std::vector<std::string> expected = c.present;
    expected.push_back(c.saved);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Saved(), expected);
    for (const std::string& name : c.present) {
      EXPECT_EQ(Contents(downloads / name), "kept");
    }
    EXPECT_EQ(Listing(home), before);  // nothing outside the Downloads folder
    // The caption is the page's again, not left busy.
    EXPECT_TRUE(Eventually([&] { return x.Title(*browser) == c.title + kSuffix; }))
        << x.Title(*browser);
  }
  EXPECT_TRUE(program->Running());
}

TEST_F(Downloads, CancellingTheQuestionWritesNothing) {
  const auto browser = Browser();
  ASSERT_TRUE(browser);
  const auto before = Listing(home);
  for (const char* page : {"/hidden.html", "/links.html"}) {
    SCOPED_TRACE(page);
    Open(*browser, page);
    if (std::string(page) == "/links.html") {
      ASSERT_TRUE(Eventually([&] { return x.Title(*browser).starts_with("Links"); }));
      const ScreenRect r = x.Geometry(*browser);
      x.Click(r.x + r.width / 2, r.y + r.height * 2 / 3);
    }
    ASSERT_TRUE(Answer("Escape"));
  }
  // The browser goes on; by the time a page has loaded after the answer, a
  // file the engine went on to write would be there.
  const int requests = server.Requests("/files/report.zip");
  Open(*browser, "/second.html");
  ASSERT_TRUE(Eventually([&] { return x.Title(*browser) == "Second Page" + kSuffix; }));
  EXPECT_EQ(server.Requests("/files/report.zip"), requests);
  EXPECT_EQ(Listing(home), before);
  EXPECT_EQ(Saved(), std::vector<std::string>{});
  EXPECT_TRUE(Titled("Download Complete", 200ms) == std::nullopt);
  EXPECT_TRUE(program->Running());
}

TEST_F(Downloads, APageAskingForManyDownloadsGetsOneQuestionAtATimeAndFewInAll) {
  const auto browser = Browser();
  ASSERT_TRUE(browser);
  const auto before = Listing(home);
  Open(*browser, "/flood.html");
  ASSERT_TRUE(Eventually([&] { return server.Requests("/files/flood") == kFlood; }));
  ASSERT_TRUE(Titled("Save Download"));
  int questions = 0;
  while (Titled("Save Download", 1s)) {
    EXPECT_EQ(Count("Save Download"), 1);
    ASSERT_TRUE(Answer("Escape"));
    ASSERT_LT(++questions, kFlood);
  }
  // One asked and three waiting when they all come at once; the rest are
  // refused (a question answered meanwhile frees a place, hence no exact count).
  EXPECT_GE(questions, 4);
  EXPECT_EQ(Saved(), std::vector<std::string>{});
  EXPECT_EQ(Listing(home), before);
  Open(*browser, "/second.html");
  EXPECT_TRUE(Eventually([&] { return x.Title(*browser) == "Second Page" + kSuffix; }));
  EXPECT_EQ(x.TopLevels(program->Pid()).size(), 1U);
}

TEST_F(Downloads, ARunningDownloadShowsItsProgressAndAnEndBeforeItsFileLeavesNothing) {
  struct Case {
    const char* what;
    std::function<void(XWindow browser, XWindow progress)> end;
    const char* notice;  // the notice that follows, if any
    bool programEnds;
  };
  const std::vector<Case> cases = {
      {"the server drops the connection", [this](XWindow, XWindow) { dropNow = true; },
       "Download Failed", false},
      {"Cancel in the progress window",
       [this](XWindow, XWindow progress) {
         x.Focus(progress);
         x.Key("c", {"Alt_L"});
       },
       nullptr, false},
      {"the browser window is closed", [this](XWindow browser, XWindow) { x.Close(browser); },
       nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dropNow = false;
    program = std::make_unique<Process>(CORVANE_E2E_PROGRAM);
    const auto browser = Browser();
    ASSERT_TRUE(browser);
    const auto before = Listing(home);
    Open(*browser, "/broken.html");
    ASSERT_TRUE(Answer("Return"));
    // Running: its progress is on screen, and the engine has begun its files
    // (the chosen name, and the data aside until the end).
    const auto progress = Titled("Downloading broken.zip");
    ASSERT_TRUE(progress);
    EXPECT_TRUE(Eventually([&] { return Saved().size() == 2; }))
        << ::testing::PrintToString(Saved());
    c.end(*browser, *progress);
    if (c.notice != nullptr) {
      ASSERT_TRUE(Acknowledge(c.notice));
    }
    if (c.programEnds) {
      EXPECT_EQ(program->Exit(), 0);
    } else {
      EXPECT_TRUE(Gone("Downloading broken.zip"));
    }
    EXPECT_EQ(Saved(), std::vector<std::string>{});
    EXPECT_EQ(Listing(home), before);
    if (!c.programEnds) {
      // No other message follows, and the browser goes on.
      Open(*browser, "/second.html");
      EXPECT_TRUE(Eventually([&] { return x.Title(*browser) == "Second Page" + kSuffix; }));
      EXPECT_EQ(x.TopLevels(program->Pid()).size(), 1U);
    }
    fs::remove_all(downloads);
  }
}

}  // namespace
}  // namespace corvane::testing
