// When a page's request for a permission is asked, allowed or denied.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browsing/permission_rules.h"

namespace corvane {
namespace {

using Verdict = PermissionQuestions::Verdict;

constexpr const char* kSite = "http://127.0.0.1:8080";
constexpr const char* kOther = "https://other.example";

// One script of steps per case, on one view's questions and one run's answers.
TEST(PermissionRules, AskOncePerLoadOneAtATimeAndKeepAnswersForTheRun) {
  enum Step { kRequest, kAllowIt, kDenyIt, kDismiss, kNewLoad, kSecondView };
  struct Action {
    Step step;
    const char* site = kSite;
    PermissionKinds kinds = kNotifications;
    Verdict expected = Verdict::kAsk;  // kRequest only
  };
  struct Case {
    const char* name;
    std::vector<Action> script;
  };
  const std::vector<Case> cases = {
      {"allowed: not asked again, not even after a new load or in another view",
       {{kRequest}, {kAllowIt}, {kRequest, kSite, kNotifications, Verdict::kAllow},
        {kNewLoad}, {kRequest, kSite, kNotifications, Verdict::kAllow},
        {kSecondView}, {kRequest, kSite, kNotifications, Verdict::kAllow}}},
      {"denied: denied unasked for the run",
       {{kRequest}, {kDenyIt}, {kNewLoad}, {kRequest, kSite, kNotifications, Verdict::kDeny}}},
      {"an answer holds for its site and its thing only",
       {{kRequest}, {kAllowIt}, {kRequest, kOther, kNotifications, Verdict::kAsk}, {kDenyIt},
        {kRequest, kSite, kLocation, Verdict::kAsk}}},
      {"one question at a time: others are denied meanwhile",
       {{kRequest}, {kRequest, kOther, kLocation, Verdict::kDeny},
        {kRequest, kSite, kNotifications, Verdict::kDeny}, {kAllowIt},
        {kRequest, kOther, kLocation, Verdict::kAsk}}},
      {"dismissed: denied, not asked again during the load, asked after a new one",
       {{kRequest}, {kDismiss}, {kRequest, kSite, kNotifications, Verdict::kDeny},
        {kRequest, kSite, kNotifications, Verdict::kDeny}, {kNewLoad},
        {kRequest, kSite, kNotifications, Verdict::kAsk}}},
      {"camera and microphone: allowed together, then each on its own",
       {{kRequest, kSite, kCamera | kMicrophone}, {kAllowIt},
        {kRequest, kSite, kCamera, Verdict::kAllow},
        {kRequest, kSite, kMicrophone, Verdict::kAllow}}},
      {"camera allowed, microphone unknown: both together are asked",
       {{kRequest, kSite, kCamera}, {kAllowIt},
        {kRequest, kSite, kCamera | kMicrophone, Verdict::kAsk}}},
      {"microphone denied: both together are denied unasked",
       {{kRequest, kSite, kMicrophone}, {kDenyIt},
        {kRequest, kSite, kCamera | kMicrophone, Verdict::kDeny}}},
      {"a page with no site of its own, or a request for nothing, is denied",
       {{kRequest, "", kNotifications, Verdict::kDeny}, {kRequest, kSite, 0, Verdict::kDeny},
        {kRequest, kSite, kPointerLock, Verdict::kAsk}}},
      {"an answer with no question on screen remembers nothing",
       {{kAllowIt}, {kRequest}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PermissionAnswers answers;
    PermissionQuestions first(answers);
    PermissionQuestions second(answers);
    PermissionQuestions* view = &first;
    for (std::size_t i = 0; i < c.script.size(); ++i) {
      SCOPED_TRACE(i);
      const Action& a = c.script[i];
      switch (a.step) {
        case kRequest:
          EXPECT_EQ(view->Request(a.site, a.kinds), a.expected);
          break;
        case kAllowIt:
        case kDenyIt:
          view->Answered(a.step == kAllowIt);
          EXPECT_FALSE(view->Asking());
          break;
        case kDismiss:
          view->Dismissed();
          EXPECT_FALSE(view->Asking());
          break;
        case kNewLoad:
          view->NewLoad();
          break;
        case kSecondView:
          view = &second;
          break;
      }
    }
  }
}

TEST(PermissionRules, TheQuestionNamesTheSiteAndWhatItWants) {
  const struct {
    PermissionKinds kinds;
    const char* text;
  } cases[] = {
      {kNotifications, "http://a.example:81 wants to show notifications."},
      {kLocation, "http://a.example:81 wants to know your location."},
      {kCamera, "http://a.example:81 wants to use your camera."},
      {kMicrophone, "http://a.example:81 wants to use your microphone."},
      {kCamera | kMicrophone, "http://a.example:81 wants to use your camera and microphone."},
      {kPointerLock, "http://a.example:81 wants to hide and lock the mouse pointer."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PermissionQuestion("http://a.example:81", c.kinds), c.text);
  }
  PermissionAnswers answers;
  answers.Remember("http://a.example", kNotifications | kLocation, true);
  answers.Remember("http://b.example", kNotifications, false);
  EXPECT_EQ(answers.Sites(kNotifications, true), std::set<std::string>{"http://a.example"});
  EXPECT_EQ(answers.Sites(kNotifications, false), std::set<std::string>{"http://b.example"});
}

}  // namespace
}  // namespace corvane
