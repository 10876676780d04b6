// The page policy: every decision about the page of a browser window's web
// view, the same on every platform. The web view reports to it (PageEvents)
// and it tells the web view what to do (PageHost):
// - typed text: words are searched, an address is completed where the
//   engine needs it, a script address is refused;
// - Home and Search: the build's pages, else the engine's own;
// - new windows: followed in this view only when the user asked for one (a
//   click, or the engine's own menu on that link, open or just closed);
// - our own pages: a load that failed, a certificate that is not trusted,
//   a page whose process ended; Refresh on our page loads the address it
//   stands for;
// - a page that does not answer: how long it has to answer, and what the
//   user is asked; a page that opens dialog after dialog is offered to be
//   stopped from the third dialog of a run;
// - a page that does not finish loading (where the engine cannot tell that
//   its page hangs): the user is asked whether to stop it;
// - whether a download a page offers is asked about (a few questions may
//   wait their turn, more are refused);
// - a page's requests for a permission: the page's site (browsing/site.h)
//   is asked once per page, one
//   question at a time, the answers kept for the run (shared by every view
//   of the run, browsing/permission_rules.h).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "browsing/own_page_texts.h"
#include "browsing/permission_rules.h"
#include "platform/ports/page.h"

namespace corvane {

// The pages and search of a build.
struct PagePolicySettings {
  std::string home;    // empty: the engine's own home page
  std::string search;  // empty: the engine's own search page
  // Where typed words are searched: "%s" stands for the words. Empty: words
  // are taken for an address.
  std::string searchQuery{};
  // How long a load may go on before the user is asked whether to stop it
  // (engines that cannot tell that a page hangs).
  int unfinishedAfterMs = 30 * 1000;
};

class PagePolicy final : public PageEvents {
 public:
  // How long the page's process has to answer a request of the user before
  // it is taken for hung and ended.
  static constexpr int kAnswerWithinMs = 1200;
  // How long the page has to answer the user's clicks and keys before the
  // user is asked (the engine notices a hang only at some requests of its own).
  static constexpr int kInputAnswerWithinMs = 3000;
  // How long a page that was asked about may still answer, which closes the
  // question.
  static constexpr int kLateAnswerWithinMs = 10 * 60 * 1000;
  // How long the engine's "not responding" lasts before the user is asked.
  static constexpr int kAskAfterMs = 1000;
  // Dialogs opened within this time of each other count as one run...
  static constexpr std::int64_t kDialogRunMs = 10 * 1000;
  // ...and from this many on the user may stop the page instead.
  static constexpr std::size_t kDialogsBeforeOffer = 3;
  // How long after the engine's menu closed its action may still arrive.
  static constexpr std::int64_t kMenuActionMs = 2 * 1000;
  // How many download questions may wait at once.
  static constexpr std::size_t kMostWaitingDownloads = 3;

  // `answers`: the run's answers to permission questions.
  PagePolicy(PageHost& host, PagePolicySettings settings,
             std::shared_ptr<PermissionAnswers> answers = std::make_shared<PermissionAnswers>());

  void Navigate(const std::string& text) override;
  void GoHome() override;
  void GoSearch() override;
  void Refresh() override;
  void Committed(const std::string& address, bool ownPage) override;
  void LoadStarted() override;
  void LoadFinished() override;
  bool NewWindow(const std::string& address, bool userGesture) override;
  void MenuOpened(const std::string& link) override;
  void MenuClosed() override;
  void LoadFailed(const std::string& address, LoadFailure why,
                  const std::string& detail) override;
  void CertificateProblem(const std::string& address, unsigned problems) override;
  void ProcessEnded(PageEnd why, bool forRequest) override;
  std::optional<PageQuestion> ScriptDialog(const std::string& message) override;
  [[nodiscard]] PageQuestion NotAnsweringQuestion() const override;
  [[nodiscard]] AnswerTimes Times() const override;
  void Answered(bool goOn) override;
  void TimerFired() override;
  bool DownloadOffered(std::size_t waiting) override;
  PermissionVerdict PermissionRequested(PermissionKinds kinds) override;
  [[nodiscard]] PageQuestion PermissionQuestionFor(PermissionKinds kinds) const override;
  void PermissionAnswered(bool allowed, bool answered) override;
  [[nodiscard]] std::set<std::string> PermissionSites(PermissionKind kind,
                                                      bool allowed) const override;

  // The address the page stands for, as the user knows it.
  [[nodiscard]] const std::string& Address() const { return address_; }
  [[nodiscard]] bool ShowingOwnPage() const { return showingOwnPage_; }

 private:
  void Load(const std::string& uri);
  void ShowOwnPage(const OwnPageText& text);
  [[nodiscard]] std::string Known() const;
  // The page's site, as its answers are kept: "" for a page without one.
  [[nodiscard]] std::string SiteShown() const;

  PageHost& host_;
  PagePolicySettings settings_;
  std::string address_;
  bool ownPageLoading_ = false;
  bool showingOwnPage_ = false;
  // The engine's menu: the link it was opened on; open; when it closed.
  std::string menuLink_;
  bool menuOpen_ = false;
  std::optional<std::int64_t> menuClosedAt_;
  std::deque<std::int64_t> dialogTimes_;  // when the page's last dialogs opened
  bool loading_ = false;
  bool asking_ = false;
  std::shared_ptr<PermissionAnswers> answers_;
  PermissionQuestions permissions_;
};

// The policy for the browser window's web views of a build; they share the
// run's answers to permission questions.
PagePolicyMaker MakePagePolicies(PagePolicySettings settings);

}  // namespace corvane
