#include "browsing/page_policy.h"

#include <utility>

#include "browsing/new_window.h"
#include "browsing/own_page_texts.h"
#include "browsing/site.h"
#include "browsing/typed_address.h"

namespace corvane {

PagePolicy::PagePolicy(PageHost& host, PagePolicySettings settings,
                       std::shared_ptr<PermissionAnswers> answers)
    : host_(host),
      settings_(std::move(settings)),
      answers_(std::move(answers)),
      permissions_(*answers_) {}

void PagePolicy::Load(const std::string& uri) {
  ownPageLoading_ = false;
  address_ = uri;
  host_.Load(uri);
}

void PagePolicy::ShowOwnPage(const OwnPageText& text) {
  ownPageLoading_ = true;
  address_ = text.address;
  host_.ShowOwnPage({text.title, text.address, OwnPageHtml(text)});
}

std::string PagePolicy::Known() const {
  return address_.empty() ? std::string("this page") : address_;
}

// ---- the user's requests ----------------------------------------------------------

void PagePolicy::Navigate(const std::string& text) {
  const std::optional<std::string> uri =
      AddressToLoad(text, settings_.searchQuery,
                    host_.CompletesAddresses() ? AddressCompletion::kByTheControl
                                                       : AddressCompletion::kHere);
  if (uri) {  // a script address is refused
    Load(*uri);
  }
}

void PagePolicy::GoHome() {
  if (settings_.home.empty()) {
    ownPageLoading_ = false;
    host_.LoadHome();
  } else {
    Load(FixUpAddress(settings_.home));
  }
}

void PagePolicy::GoSearch() {
  if (settings_.search.empty()) {
    ownPageLoading_ = false;
    host_.LoadSearch();
  } else {
    Load(FixUpAddress(settings_.search));
  }
}

// Our own page stands for the address it names: Refresh loads that.
void PagePolicy::Refresh() {
  if (showingOwnPage_ && !address_.empty()) {
    Load(address_);
  } else {
    ownPageLoading_ = false;
    host_.Reload();
  }
}

// ---- the engine's reports ---------------------------------------------------------

void PagePolicy::Committed(const std::string& address, bool ownPage) {
  permissions_.NewLoad();
  showingOwnPage_ = ownPage;
  ownPageLoading_ = false;
  if (!address.empty()) {
    address_ = address;
  }
  if (!ownPage) {
    dialogTimes_.clear();
  }
}

void PagePolicy::LoadStarted() {
  loading_ = true;
  if (!host_.WatchesProcess()) {
    host_.StartTimer(settings_.unfinishedAfterMs);
  }
}

void PagePolicy::LoadFinished() {
  loading_ = false;
  if (!host_.WatchesProcess()) {
    host_.StopTimer();
    if (std::exchange(asking_, false)) {
      host_.DropQuestion();
    }
  }
}

void PagePolicy::TimerFired() {
  if (loading_ && !asking_ && !host_.WatchesProcess()) {
    asking_ = true;
    host_.Ask(NotRespondingQuestion(Known()));
  }
}

void PagePolicy::Answered(bool goOn) {
  asking_ = false;
  if (!goOn) {
    host_.StopLoading();
  } else if (loading_) {
    host_.StartTimer(settings_.unfinishedAfterMs);  // asked again if it still does not finish
  }
}

// The engine's menu asks for no gesture: a request for the link the menu
// was opened on, while it is open or just after, is the user's.
bool PagePolicy::NewWindow(const std::string& address, bool userGesture) {
  const bool recent = menuOpen_ || (menuClosedAt_ && host_.NowMs() - *menuClosedAt_ < kMenuActionMs);
  const bool fromMenu = recent && !menuLink_.empty() && menuLink_ == address;
  menuLink_.clear();
  const std::optional<std::string> uri = NewWindowAddress(address, userGesture || fromMenu);
  if (uri) {
    Load(*uri);
  }
  return uri.has_value();
}

void PagePolicy::MenuOpened(const std::string& link) {
  menuLink_ = link;
  menuOpen_ = true;
}

void PagePolicy::MenuClosed() {
  menuOpen_ = false;
  menuClosedAt_ = host_.NowMs();
}

void PagePolicy::LoadFailed(const std::string& address, LoadFailure why,
                            const std::string& detail) {
  ShowOwnPage(LoadFailedText(address, why, detail));
}

// Never passed: the page says why it was not loaded.
void PagePolicy::CertificateProblem(const std::string& address, unsigned problems) {
  ShowOwnPage(CertificateText(address, problems));
}

void PagePolicy::ProcessEnded(PageEnd why, bool forRequest) {
  dialogTimes_.clear();
  if (forRequest) {
    return;  // ended to make the user's request
  }
  if (std::exchange(ownPageLoading_, false)) {
    return;  // our own page cannot be shown: leave it
  }
  ShowOwnPage(StoppedText(address_, why));
}

std::optional<PageQuestion> PagePolicy::ScriptDialog(const std::string& message) {
  const std::int64_t now = host_.NowMs();
  while (!dialogTimes_.empty() && now - dialogTimes_.front() > kDialogRunMs) {
    dialogTimes_.pop_front();
  }
  dialogTimes_.push_back(now);
  if (dialogTimes_.size() < kDialogsBeforeOffer) {
    return std::nullopt;  // the page's own dialog
  }
  return TooManyDialogsQuestion(message, Known());
}

PageQuestion PagePolicy::NotAnsweringQuestion() const { return NotRespondingQuestion(Known()); }

AnswerTimes PagePolicy::Times() const {
  return {kAnswerWithinMs, kInputAnswerWithinMs, kLateAnswerWithinMs, kAskAfterMs};
}

// Every download is asked about; a page cannot bury the user in questions.
bool PagePolicy::DownloadOffered(std::size_t waiting) { return waiting < kMostWaitingDownloads; }

std::string PagePolicy::SiteShown() const {
  const std::optional<Site> site = showingOwnPage_ ? std::nullopt : SiteOf(address_);
  return site ? site->Origin() : std::string();
}

PermissionVerdict PagePolicy::PermissionRequested(PermissionKinds kinds) {
  switch (permissions_.Request(SiteShown(), kinds)) {
    case PermissionQuestions::Verdict::kAllow:
      return PermissionVerdict::kAllow;
    case PermissionQuestions::Verdict::kAsk:
      return PermissionVerdict::kAsk;
    case PermissionQuestions::Verdict::kDeny:
      break;
  }
  return PermissionVerdict::kDeny;
}

PageQuestion PagePolicy::PermissionQuestionFor(PermissionKinds kinds) const {
  return {"Permission Request", PermissionQuestion(SiteShown(), kinds),
          "The answer holds for this site until Corvane Ombrel is closed.", "&Allow", "&Deny"};
}

void PagePolicy::PermissionAnswered(bool allowed, bool answered) {
  if (answered) {
    permissions_.Answered(allowed);
  } else {
    permissions_.Dismissed();
  }
}

std::set<std::string> PagePolicy::PermissionSites(PermissionKind kind, bool allowed) const {
  return answers_->Sites(kind, allowed);
}

PagePolicyMaker MakePagePolicies(PagePolicySettings settings) {
  auto answers = std::make_shared<PermissionAnswers>();
  return [settings = std::move(settings),
          answers = std::move(answers)](PageHost& host) -> std::unique_ptr<PageEvents> {
    return std::make_unique<PagePolicy>(host, settings, answers);
  };
}

}  // namespace corvane
