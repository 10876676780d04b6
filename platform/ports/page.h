// A web view's page as the page policy (browsing/) sees it. A web view
// reports what the user asks of it and what its engine tells of the page
// (PageEvents), and carries out what it is told (PageHost). Every decision
// about the page is the policy's: what typed text means, which new windows
// are followed, when our own page is shown and what Refresh does on it, how
// long a page may take to answer, how many dialogs are a flood, how many
// download questions may wait. A web view translates and obeys; it decides
// nothing of that itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace corvane {

// Why a page could not be loaded.
enum class LoadFailure {
  kNetworkServiceFailed,  // the engine's own network service ended under the load
  kServerNotFound,
  kConnectionRefused,
  kTimedOut,
  kUnreachable,
  kSecureConnectionFailed,
  kAddressNotUnderstood,  // a kind of address that cannot be opened
  kPortNotAllowed,        // a port kept for other services than the web
  kCannotShow,            // content of a kind that cannot be shown
  kOther,                 // the engine's own words say why
};

// What is wrong with a site's certificate: any of these together.
namespace certificate {
inline constexpr unsigned kUnknownAuthority = 1U << 0U;
inline constexpr unsigned kOtherSite = 1U << 1U;
inline constexpr unsigned kNotYetValid = 1U << 2U;
inline constexpr unsigned kExpired = 1U << 3U;
inline constexpr unsigned kRevoked = 1U << 4U;
inline constexpr unsigned kInsecure = 1U << 5U;
}  // namespace certificate

// What a page may ask for; a request may ask for several (camera and
// microphone together).
enum PermissionKind : std::uint8_t {
  kNotifications = 1,
  kLocation = 2,
  kCamera = 4,
  kMicrophone = 8,
  kPointerLock = 16,
};
using PermissionKinds = std::uint8_t;

// What a page that asks for a permission is told: yes, no, or the user is
// asked first.
enum class PermissionVerdict : std::uint8_t { kAllow, kDeny, kAsk };

// Why a page's process ended.
enum class PageEnd { kCrashed, kTooMuchMemory, kStopped };

// A question about the page shown: the box's caption, its text, the detail
// under it, and its two buttons ("&" marks the access key). The first button
// lets the page go on; the second stops it.
struct PageQuestion {
  std::string title;
  std::string text;
  std::string detail;
  std::string goOn;
  std::string stop;
};

// A page of ours: its title (what the caption shows), the address it stands
// for, and its markup (it loads nothing).
struct OwnPage {
  std::string title;
  std::string address;
  std::string html;
};

// How long a page has to answer, as the policy sets it for a web view that
// watches its page's process (milliseconds).
struct AnswerTimes {
  int request = 0;   // a request of the user (a load, Refresh, Stop)
  int input = 0;     // the user's clicks and keys
  int lateAnswer = 0;  // a page asked about may still answer within this
  int askAfter = 0;  // the engine's own "not responding" before the user is asked
};

// What a web view is told to do.
class PageHost {
 public:
  PageHost() = default;
  PageHost(const PageHost&) = delete;
  PageHost& operator=(const PageHost&) = delete;
  virtual ~PageHost() = default;

  // Loads a complete address.
  virtual void Load(const std::string& uri) = 0;
  // The engine's own pages: its home and search pages, where it has them.
  virtual void LoadHome() = 0;
  virtual void LoadSearch() = 0;
  // Loads the page shown again.
  virtual void Reload() = 0;
  // Shows a page of ours.
  virtual void ShowOwnPage(const OwnPage& page) = 0;
  // Asks the user about the page (a page that does not finish); the answer
  // comes back as PageEvents::Answered.
  virtual void Ask(const PageQuestion& question) = 0;
  // Takes a question back that is no longer true.
  virtual void DropQuestion() = 0;
  virtual void StopLoading() = 0;
  // Calls PageEvents::TimerFired once, `ms` from now; a running timer is
  // started afresh.
  virtual void StartTimer(int ms) = 0;
  virtual void StopTimer() = 0;
  // A steady clock, in milliseconds.
  [[nodiscard]] virtual std::int64_t NowMs() const = 0;

  // What the engine does itself: completes typed addresses (else only
  // complete ones load); watches its page's process and reports a page that
  // does not answer (else only a load that does not finish can be told).
  [[nodiscard]] virtual bool CompletesAddresses() const = 0;
  [[nodiscard]] virtual bool WatchesProcess() const = 0;
};

// What a web view reports: the user's requests (through the WebBrowser
// port) and what its engine tells.
class PageEvents {
 public:
  PageEvents() = default;
  PageEvents(const PageEvents&) = delete;
  PageEvents& operator=(const PageEvents&) = delete;
  virtual ~PageEvents() = default;

  // ---- the user's requests ----
  // Text typed into the address box (or given to Navigate).
  virtual void Navigate(const std::string& text) = 0;
  virtual void GoHome() = 0;
  virtual void GoSearch() = 0;
  virtual void Refresh() = 0;

  // ---- the engine's reports ----
  // A load has reached its page; `ownPage`: a page of ours.
  virtual void Committed(const std::string& address, bool ownPage) = 0;
  // A load has started; has ended (also after a failure or a stop).
  virtual void LoadStarted() = 0;
  virtual void LoadFinished() = 0;
  // The page asks for a new window at `address`; `userGesture`: the engine
  // says the user asked for it (a click). True when its address is opened
  // in this view (it was loaded through PageHost::Load).
  virtual bool NewWindow(const std::string& address, bool userGesture) = 0;
  // The engine's own menu opened on a link (`link` empty: on no link), and
  // closed. Its actions come without a gesture.
  virtual void MenuOpened(const std::string& link) = 0;
  virtual void MenuClosed() = 0;
  // A load of `address` failed; `detail`: the engine's own words.
  virtual void LoadFailed(const std::string& address, LoadFailure why,
                          const std::string& detail) = 0;
  // A load was refused for the site's certificate (certificate:: flags).
  virtual void CertificateProblem(const std::string& address, unsigned problems) = 0;
  // The page's process ended; `forRequest`: ended by the web view to make a
  // request of the user (a fresh process follows).
  virtual void ProcessEnded(PageEnd why, bool forRequest) = 0;
  // The page opens a script dialog: a question to show instead, with a
  // button that stops the page, or nothing (the page's own dialog).
  virtual std::optional<PageQuestion> ScriptDialog(const std::string& message) = 0;
  // The question for a page whose process does not answer.
  [[nodiscard]] virtual PageQuestion NotAnsweringQuestion() const = 0;
  // How long the page's process has to answer.
  [[nodiscard]] virtual AnswerTimes Times() const = 0;
  // The answer to PageHost::Ask: true to let the page go on.
  virtual void Answered(bool goOn) = 0;
  virtual void TimerFired() = 0;
  // The page offers a download (a link, a frame, a response the view
  // cannot show) while `waiting` download questions wait their turn behind
  // the one shown. True: it is asked about, at once when no question is
  // shown, else in its turn; false: it is refused unasked.
  virtual bool DownloadOffered(std::size_t waiting) = 0;

  // The page shown asks for a permission. The user's answer to a kAsk comes
  // back through PermissionAnswered; `answered` false: the question went
  // without an answer.
  virtual PermissionVerdict PermissionRequested(PermissionKinds kinds) = 0;
  // The question for a kAsk: `goOn` allows, `stop` denies.
  [[nodiscard]] virtual PageQuestion PermissionQuestionFor(PermissionKinds kinds) const = 0;
  virtual void PermissionAnswered(bool allowed, bool answered) = 0;
  // The sites the run's answers allow (or deny) `kind`, for an engine that
  // must be told them.
  [[nodiscard]] virtual std::set<std::string> PermissionSites(PermissionKind kind,
                                                              bool allowed) const = 0;
};

// Makes the policy of one web view's page.
using PagePolicyMaker = std::function<std::unique_ptr<PageEvents>(PageHost& host)>;

}  // namespace corvane
