// When a page asks for a permission (to show notifications, know the
// location, use the camera or microphone, lock the pointer): whether the
// user is asked, and what the page is told meanwhile. Free of any toolkit;
// the backend puts the question and reports the answer.
//
// - An answer (Allow or Deny) holds for that site and that thing until the
//   program ends; it is kept in memory only.
// - One question is on screen at a time: a request made while one is asked
//   is denied without asking.
// - The same thing is asked of a site at most once per page load: a question
//   dismissed without an answer denies, and further requests for it during
//   that load are denied without asking.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "platform/ports/page.h"

namespace corvane {

// The question's text: "<site> wants to use your camera and microphone."
// `site` is the page's scheme, host and port only.
[[nodiscard]] std::string PermissionQuestion(const std::string& site, PermissionKinds kinds);

// The answers given so far, for the run.
class PermissionAnswers {
 public:
  // kAllowed when every thing asked was allowed for `site`, kDenied when any
  // was denied, else kUnknown.
  enum class Known : std::uint8_t { kUnknown, kAllowed, kDenied };
  [[nodiscard]] Known Find(const std::string& site, PermissionKinds kinds) const;
  void Remember(const std::string& site, PermissionKinds kinds, bool allowed);
  // The sites allowed (or denied) `kind`.
  [[nodiscard]] std::set<std::string> Sites(PermissionKind kind, bool allowed) const;

 private:
  std::map<std::pair<std::string, PermissionKind>, bool> answers_;
};

// The questions of one web view, against the answers of the run.
class PermissionQuestions {
 public:
  enum class Verdict : std::uint8_t { kAllow, kDeny, kAsk };
  explicit PermissionQuestions(PermissionAnswers& answers) : answers_(answers) {}

  // A page at `site` asks for `kinds`. kAsk: the backend asks now and reports
  // with Answered or Dismissed. An empty site (a page with no origin of its
  // own) or no kind is denied.
  [[nodiscard]] Verdict Request(const std::string& site, PermissionKinds kinds);
  // The question on screen was answered: remembered for the run.
  void Answered(bool allowed);
  // The question went without an answer (closed, or the page went away): the
  // page is denied, and not asked the same again during this load.
  void Dismissed();
  // A new page load begins: what was asked during the last one may be asked
  // again (unless answered).
  void NewLoad();
  [[nodiscard]] bool Asking() const { return asking_; }

 private:
  PermissionAnswers& answers_;
  bool asking_ = false;
  std::string site_;
  PermissionKinds kinds_ = 0;
  std::set<std::pair<std::string, PermissionKinds>> askedThisLoad_;
};

}  // namespace corvane
