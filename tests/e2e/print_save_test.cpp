// Print, save and permission questions in the real program: the dialogs
// answered with real keys, what lands in the temporary home folder checked by
// listing all of it, and what a page is told read from its title.
#include <gio/gio.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <vector>

#include "tests/e2e/e2e_fixture.h"

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The save dialog keeps its own settings; here they stay in memory (there is
// no session bus to store them through). Set before the program starts.
struct SettingsInMemory {
  SettingsInMemory() { setenv("GSETTINGS_BACKEND", "memory", 1); }
};

std::string Html(const std::string& title, const std::string& body) {
  const std::string html = "<!DOCTYPE html><html><head><title>" + title +
                           "</title></head><body style=\"margin:0\">" + body + "</body></html>";
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
         std::to_string(html.size()) + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" +
         html;
}

// A button filling the view runs `onClick`; `n` counts the answers.
std::string AskPage(const std::string& title, const std::string& onClick) {
  return Html(title,
              "<button id=\"b\" style=\"display:block;width:100vw;height:100vh\">ask</button>"
              "<script>let n = 0; b.onclick = () => {" + onClick + "};</script>");
}

// A private session bus (its own dbus-daemon, starting no services) with a
// stand-in for the desktop's notification service on it, which records the
// summary and body of each notification it is asked to show. Points the
// programs started while it lives at that bus.
class NotificationService {
 public:
  NotificationService() {
    const fs::path folder = std::getenv("XDG_RUNTIME_DIR");
    const std::string address = "unix:path=" + (folder / "test-bus").string();
    std::ofstream(folder / "test-bus.conf")
        << "<busconfig><type>session</type><listen>" << address << "</listen>"
           "<auth>EXTERNAL</auth>"
           "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
    daemon_ = std::make_unique<Process>(std::vector<std::string>{
        "/usr/bin/dbus-daemon", "--nofork",
        "--config-file=" + (folder / "test-bus.conf").string()});
    Eventually([&] {
      const auto flags =
          static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                            G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
      bus_.reset(g_dbus_connection_new_for_address_sync(address.c_str(), flags, nullptr, nullptr,
                                                        nullptr));
      return bus_ != nullptr;
    }, 5s);
    if (!bus_) {
      return;
    }
    // The filter holds the inbox until the connection lets it go.
    g_dbus_connection_add_filter(
        bus_.get(), &Filter, std::make_unique<Shared>(inbox_).release(),
        [](gpointer inbox) { std::unique_ptr<Shared>(static_cast<Shared*>(inbox)); });
    g_autoptr(GVariant) owned = g_dbus_connection_call_sync(
        bus_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 0U),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    ready_ = owned != nullptr;
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  }
  ~NotificationService() {
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (bus_) {
      g_dbus_connection_close_sync(bus_.get(), nullptr, nullptr);
    }
  }
  [[nodiscard]] bool Ready() const { return ready_; }
  // "summary|body" of each notification shown so far.
  std::vector<std::string> Shown() const {
    const std::scoped_lock lock(inbox_->mutex);
    return inbox_->shown;
  }

 private:
  struct Inbox {
    std::mutex mutex;
    std::vector<std::string> shown;
  };
  using Shared = std::shared_ptr<Inbox>;

  // Answers the service's methods on the bus's own thread.
  static GDBusMessage* Filter(GDBusConnection* bus, GDBusMessage* message, gboolean incoming,
                              gpointer inbox) {
    const char* method = g_dbus_message_get_member(message);
    if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
        g_strcmp0(g_dbus_message_get_interface(message), "org.freedesktop.Notifications") != 0) {
      return message;
    }
    GDBusMessage* reply = g_dbus_message_new_method_reply(message);
    if (g_strcmp0(method, "Notify") == 0) {
      const char* summary = nullptr;
      const char* body = nullptr;
      g_variant_get(g_dbus_message_get_body(message), "(&su&s&s&s@as@a{sv}i)", nullptr, nullptr,
                    nullptr, &summary, &body, nullptr, nullptr, nullptr);
      Inbox& box = **static_cast<Shared*>(inbox);
      const std::scoped_lock lock(box.mutex);
      box.shown.push_back(std::string(summary) + "|" + body);
      g_dbus_message_set_body(reply, g_variant_new("(u)", static_cast<guint32>(box.shown.size())));
    } else if (g_strcmp0(method, "GetCapabilities") == 0) {
      const char* capabilities[] = {"body", nullptr};
      g_dbus_message_set_body(reply, g_variant_new("(^as)", capabilities));
    } else if (g_strcmp0(method, "GetServerInformation") == 0) {
      g_dbus_message_set_body(reply, g_variant_new("(ssss)", "stand-in", "test", "1", "1.2"));
    }
    g_dbus_connection_send_message(bus, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
    g_object_unref(reply);
    g_object_unref(message);
    return nullptr;
  }

  std::unique_ptr<Process> daemon_;
  struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
  };
  std::unique_ptr<GDBusConnection, Unref> bus_;
  Shared inbox_ = std::make_shared<Inbox>();
  bool ready_ = false;
};

class PageFixture : private SettingsInMemory, public EndToEnd {
 protected:
  PageFixture() {
    const auto page = [this](const std::string& path, std::string reply) {
      server.Route(path, [reply](int socket) { LoopbackServer::Send(socket, reply); });
    };
    page("/report.html", Html("Marmalade Report", "<h1>Quarterly figures</h1>"
                                                  "<p>Apricots outsold quinces.</p>"));
    // Allowed, the location is still unknown here (no location service):
    // only a refusal is code 1.
    page("/where.html",
         AskPage("Ask", "navigator.geolocation.getCurrentPosition("
                        "p => { n++; document.title = 'Answer ' + n + ' granted'; },"
                        " e => { n++; document.title = 'Answer ' + n + ' ' +"
                        " (e.code === 1 ? 'denied' : 'granted'); }, {timeout: 3000});"));
    page("/notify.html",
         AskPage("Notify", "Notification.requestPermission().then(r => { n++;"
                           " document.title = 'Notify ' + n + ' ' + r; });"));
    page("/lock.html",
         AskPage("Lock", "document.onpointerlockchange = () => { n++; document.title = 'Lock ' +"
                         " n + (document.pointerLockElement === b ? ' granted' : ' released'); };"
                         " document.onpointerlockerror = () => { n++;"
                         " document.title = 'Lock ' + n + ' denied'; }; b.requestPointerLock();"));
    // Tries to show a notification once answered, whatever the answer.
    page("/shown.html",
         AskPage("Shown", "Notification.requestPermission().then(r => { n++;"
                          " new Notification('Quagga sighted', {body: 'Near the river'});"
                          " document.title = 'Shown ' + n + ' ' + r; });"));
    // What the last run of the page left in the site's storage and cookies.
    page("/keep.html",
         Html("Keep", "<script>document.title = 'Kept ' + (localStorage.getItem('k') || 'none') +"
                      " ' ' + (document.cookie || 'none'); localStorage.setItem('k', '1');"
                      " document.cookie = 'c=1; max-age=86400';</script>"));
    page("/camera.html",
         AskPage("Camera", "navigator.mediaDevices.getUserMedia({video: true, audio: true}).then("
                           "s => { n++; document.title = 'Camera ' + n + ' granted ' +"
                           " s.getTracks().length; s.getTracks().forEach(t => t.stop()); },"
                           " e => { n++; document.title = 'Camera ' + n + ' ' + e.name; });"));
  }

  const fs::path home = std::getenv("HOME");
  const fs::path downloads = home / "Downloads";

  std::optional<XWindow> Browser() {
    const auto browser = BrowserWindow();
    if (!browser || !CaptionBecomes(*browser, "First Page" + kSuffix)) {
      return std::nullopt;
    }
    return browser;
  }
  bool Open(XWindow browser, const std::string& address, const std::string& title) {
    Enter(browser, address);
    return CaptionBecomes(browser, title + kSuffix);
  }
  // Presses `key` in the window titled `title`, and waits for it to go.
  bool Answer(const std::string& title, const std::string& key,
              const std::vector<std::string>& held = {}) {
    const auto window = Titled(title);
    if (!window) {
      return false;
    }
    x.Focus(*window);
    x.Key(key, held);
    return Gone(*window);
  }
  void ClickPage(XWindow browser) {
    const ScreenRect r = x.Geometry(browser);
    x.Click(r.x + r.width / 2, r.y + r.height * 2 / 3);
  }
  // The folder of the run of process `pid`; empty when there is none.
  static fs::path RunFolderOf(int pid) {
    const fs::path runs = fs::path(std::getenv("XDG_RUNTIME_DIR")) / "corvane-ombrel";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(runs, error)) {
      if (entry.path().filename().string().starts_with("run-" + std::to_string(pid) + "-")) {
        return entry.path();
      }
    }
    return {};
  }
  std::string OtherSite() const { return "http://localhost:" + std::to_string(server.Port()); }
  bool Asked() { return Window([](const std::string& t) { return t == "Permission Request"; }, 3s).has_value(); }
  std::vector<std::string> Saved() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(downloads, error)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
};

using PrintSave = PageFixture;
using Permissions = PageFixture;

TEST_F(PrintSave, CtrlPShowsThePrintDialogAndEscLeavesAllAsItWas) {
  const auto browser = Browser();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(Open(*browser, Root() + "/report.html", "Marmalade Report"));
  const auto before = Listing(home);
  x.Focus(*browser);
  x.Key("p", {"Control_L"});
  ASSERT_TRUE(Answer("Print", "Escape"));
  EXPECT_EQ(x.Title(*browser), "Marmalade Report" + kSuffix);
  EXPECT_EQ(Listing(home), before);
  EXPECT_TRUE(Saved().empty());
  // The program goes on as before.
  EXPECT_TRUE(Open(*browser, Root() + "/second.html", "Second Page"));
  EXPECT_TRUE(program->Running());
}

TEST_F(PrintSave, CtrlSWritesOneArchiveOfThePageInDownloadsAndCancelWritesNothing) {
  fs::remove_all(downloads);
  const auto browser = Browser();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(Open(*browser, Root() + "/report.html", "Marmalade Report"));
  const auto before = Listing(home);

  x.Focus(*browser);
  x.Key("s", {"Control_L"});
  ASSERT_TRUE(Answer("Save Page", "Escape"));
  EXPECT_TRUE(Saved().empty());
  EXPECT_EQ(Listing(home), before);
  EXPECT_FALSE(Window([](const std::string& t) { return t.starts_with("Page "); }, 1s));

  x.Focus(*browser);
  x.Key("s", {"Control_L"});
  ASSERT_TRUE(Answer("Save Page", "Return"));
  ASSERT_TRUE(Answer("Page Saved", "Return"));
  ASSERT_EQ(Saved(), std::vector<std::string>{"Marmalade Report.mhtml"});
  // The archive's text parts are quoted-printable: long lines are broken
  // with "=" at the end.
  const std::string archive =
      std::regex_replace(Contents(downloads / "Marmalade Report.mhtml"), std::regex("=\r?\n"), "");
  EXPECT_NE(archive.find("Apricots outsold quinces."), std::string::npos) << archive;
  EXPECT_NE(archive.find("Quarterly figures"), std::string::npos);
  EXPECT_EQ(Listing(home), before);  // nothing outside the Downloads folder

  // A second save is not written over the first.
  x.Focus(*browser);
  x.Key("s", {"Control_L"});
  ASSERT_TRUE(Answer("Save Page", "Return"));
  ASSERT_TRUE(Answer("Page Saved", "Return"));
  EXPECT_TRUE(fs::exists(downloads / "Marmalade Report (1).mhtml"));
  EXPECT_EQ(Saved().size(), 2U);
  EXPECT_TRUE(program->Running());
}

// Deny and dismissing answer "denied", Allow "granted"; one question per
// thing and page load, and an answer holds for the site for the run.
TEST_F(Permissions, ALocationRequestIsAskedAndAnsweredAsTheUserSays) {
  const auto browser = Browser();
  ASSERT_TRUE(browser);
  const std::string here = Root() + "/where.html";
  ASSERT_TRUE(Open(*browser, here, "Ask"));
  const auto before = Listing(home);

  ClickPage(*browser);
  ASSERT_TRUE(Answer("Permission Request", "Escape")) << x.Title(*browser);  // dismissed
  EXPECT_TRUE(CaptionBecomes(*browser, "Answer 1 denied" + kSuffix)) << x.Title(*browser);
  ClickPage(*browser);  // the same load: not asked again
  EXPECT_TRUE(CaptionBecomes(*browser, "Answer 2 denied" + kSuffix)) << x.Title(*browser);
  EXPECT_FALSE(Asked());

  ASSERT_TRUE(Open(*browser, here + "?again", "Ask"));  // a new load asks again
  ClickPage(*browser);
  ASSERT_TRUE(Answer("Permission Request", "d", {"Alt_L"}));
  EXPECT_TRUE(CaptionBecomes(*browser, "Answer 1 denied" + kSuffix)) << x.Title(*browser);
  ASSERT_TRUE(Open(*browser, here + "?third", "Ask"));  // denied for the run
  ClickPage(*browser);
  EXPECT_TRUE(CaptionBecomes(*browser, "Answer 1 denied" + kSuffix)) << x.Title(*browser);
  EXPECT_FALSE(Asked());

  // Another site (another host name) is asked on its own; Allow holds.
  const std::string other = "http://localhost:" + std::to_string(server.Port()) + "/where.html";
  ASSERT_TRUE(Open(*browser, other, "Ask"));
  ClickPage(*browser);
  ASSERT_TRUE(Answer("Permission Request", "a", {"Alt_L"}));
  EXPECT_TRUE(CaptionBecomes(*browser, "Answer 1 granted" + kSuffix)) << x.Title(*browser);
  ASSERT_TRUE(Open(*browser, other + "?again", "Ask"));
  ClickPage(*browser);
  EXPECT_TRUE(CaptionBecomes(*browser, "Answer 1 granted" + kSuffix)) << x.Title(*browser);
  EXPECT_FALSE(Asked());
  EXPECT_EQ(Listing(home), before);  // nothing kept on disk
  EXPECT_TRUE(program->Running());
}

// Dismissing and Deny tell the page "denied", Allow "granted", and the page
// asking again in the same load is told the same without a question. The
// pointer lock question leaves the keyboard with the browser window (the
// engine drops the request once that window is no longer the active one):
// it is answered by a click (Esc in the browser window denies), and Allow
// grants the lock at once.
TEST_F(Permissions, NotificationsAndThePointerLockAreAskedFor) {
  const auto browser = Browser();
  ASSERT_TRUE(browser);
  for (const auto& [thing, site, key, told] :
       {std::tuple{"Notify", Root(), "Escape", "denied"}, {"Notify", Root(), "d", "denied"},
        {"Notify", OtherSite(), "a", "granted"}, {"Lock", Root(), "Escape", "denied"},
        {"Lock", Root(), "Deny", "denied"}, {"Lock", OtherSite(), "Allow", "granted"}}) {
    SCOPED_TRACE(std::string(thing) + " " + site + " " + key);
    const std::string page = thing == "Notify"s ? "/notify.html?" : "/lock.html?";
    ASSERT_TRUE(Open(*browser, site + page + key, thing));
    ClickPage(*browser);
    const auto question = Titled("Permission Request");
    ASSERT_TRUE(question);
    if (thing == "Notify"s) {
      x.Focus(*question);  // the lock's question leaves the keyboard with the browser
    }
    if (key == "Deny"s || key == "Allow"s) {  // the buttons share the bottom row
      const ScreenRect r = x.Geometry(*question);
      x.Click(key == "Deny"s ? r.x + 30 : r.x + r.width - 30, r.y + r.height - 20);
    } else {
      x.Key(key, key == "Escape"s ? std::vector<std::string>{} : std::vector<std::string>{"Alt_L"});
    }
    ASSERT_TRUE(Gone(*question));
    EXPECT_TRUE(CaptionBecomes(*browser, thing + " 1 "s + told + kSuffix)) << x.Title(*browser);
    x.Focus(*browser);  // as a window manager does on the click
    ClickPage(*browser);
    EXPECT_TRUE(CaptionBecomes(*browser, thing + " 2 "s + told + kSuffix)) << x.Title(*browser);
    if (thing == "Lock"s && told == "granted"s) {  // Esc gives the pointer back
      x.Key("Escape", {});
      EXPECT_TRUE(CaptionBecomes(*browser, "Lock 3 released"s + kSuffix)) << x.Title(*browser);
    }
  }
}

// The engine shows an allowed site's notification through the desktop's
// notification service on the session bus; a denied site's never gets there.
TEST_F(Permissions, AnAllowedSitesNotificationReachesTheDesktopsNotificationService) {
  const NotificationService service;
  ASSERT_TRUE(service.Ready());
  Restart();
  const auto browser = Browser();
  ASSERT_TRUE(browser);
  for (const auto& [site, key, told] :
       {std::tuple{Root(), "d", "denied"}, {OtherSite(), "a", "granted"}}) {
    ASSERT_TRUE(Open(*browser, site + "/shown.html", "Shown"));
    ClickPage(*browser);
    ASSERT_TRUE(Answer("Permission Request", key, {"Alt_L"}));
    ASSERT_TRUE(CaptionBecomes(*browser, "Shown 1 "s + told + kSuffix)) << x.Title(*browser);
  }
  Eventually([&] { return !service.Shown().empty(); }, 10s);
  EXPECT_EQ(service.Shown(), std::vector<std::string>{"Quagga sighted|Near the river"});
  EXPECT_TRUE(program->Running());
}

// What the engine keeps of a run (site storage, cookies, answers) is in the
// run's own folder in the runtime folder, gone when the program ends; folders
// of runs whose process is gone are removed when the next one starts.
TEST_F(Permissions, NothingOfARunIsKeptForTheNext) {
  const fs::path runs = fs::path(std::getenv("XDG_RUNTIME_DIR")) / "corvane-ombrel";
  const fs::path gone = runs / "run-999999999-Ab12cd";  // no process has that number
  const fs::path live = runs / ("run-" + std::to_string(getpid()) + "-Ab12cd");
  program.reset();
  fs::create_directories(gone / "data");
  fs::create_directories(live);
  // The user's cache, settings, data and state folders too, emptied of
  // what earlier runs may have left there.
  std::vector<fs::path> folders{home};
  for (const char* name : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
    folders.emplace_back(std::getenv(name));
    for (const auto& entry : fs::directory_iterator(folders.back())) {
      fs::remove_all(entry.path());
    }
  }
  const auto listing = [&folders] {
    std::vector<std::map<std::string, std::string>> all;
    for (const fs::path& folder : folders) {
      all.push_back(Listing(folder));
    }
    return all;
  };
  const auto before = listing();
  for (const int run : {1, 2}) {
    SCOPED_TRACE(run);
    Restart();
    const auto browser = Browser();
    ASSERT_TRUE(browser);
    EXPECT_TRUE(!fs::exists(gone) && fs::exists(live));
    const fs::path mine = RunFolderOf(program->Pid());
    EXPECT_EQ(fs::status(mine).permissions(), fs::perms::owner_all) << mine;
    ASSERT_TRUE(Open(*browser, Root() + "/keep.html", "Kept none none"));
    ASSERT_TRUE(Open(*browser, Root() + "/keep.html?again", "Kept 1 c=1"));  // kept in the run
    ASSERT_TRUE(Open(*browser, Root() + "/notify.html", "Notify"));
    ClickPage(*browser);
    ASSERT_TRUE(Answer("Permission Request", "a", {"Alt_L"}));  // asked in each run
    x.Close(*browser);
    EXPECT_EQ(program->Exit(), 0);
    EXPECT_FALSE(fs::exists(mine));  // the engine's late writes too
    EXPECT_EQ(listing(), before);
  }
}

// Where the runtime folder is open to others the engine keeps nothing
// anywhere, and refuses notifications itself: the page is told "denied".
TEST_F(Permissions, NotificationsAreRefusedToThePageWithoutAPrivateRuntimeFolder) {
  const fs::path runtime = std::getenv("XDG_RUNTIME_DIR");
  fs::permissions(runtime, fs::perms::all);
  Restart();
  const auto browser = Browser();
  fs::permissions(runtime, fs::perms::owner_all);
  ASSERT_TRUE(browser);
  EXPECT_EQ(RunFolderOf(program->Pid()), fs::path());
  ASSERT_TRUE(Open(*browser, Root() + "/notify.html", "Notify"));
  ClickPage(*browser);
  EXPECT_TRUE(CaptionBecomes(*browser, "Notify 1 denied" + kSuffix)) << x.Title(*browser);
  EXPECT_FALSE(Asked());
}

TEST_F(Permissions, CameraAndMicrophoneAreAskedForTogether) {
  const auto browser = Browser();
  ASSERT_TRUE(browser);
  ASSERT_TRUE(Open(*browser, Root() + "/camera.html", "Camera"));
  ClickPage(*browser);
  ASSERT_TRUE(Answer("Permission Request", "d", {"Alt_L"}));
  EXPECT_TRUE(CaptionBecomes(*browser, "Camera 1 NotAllowedError" + kSuffix)) << x.Title(*browser);

  const std::string other = "http://localhost:" + std::to_string(server.Port()) + "/camera.html";
  ASSERT_TRUE(Open(*browser, other, "Camera"));
  ClickPage(*browser);
  ASSERT_TRUE(Answer("Permission Request", "a", {"Alt_L"}));
  EXPECT_TRUE(CaptionBecomes(*browser, "Camera 1 granted 2" + kSuffix)) << x.Title(*browser);
  EXPECT_TRUE(program->Running());
}

}  // namespace
}  // namespace corvane::testing
