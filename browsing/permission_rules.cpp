#include "browsing/permission_rules.h"

#include <array>

namespace corvane {

namespace {

constexpr std::array kEachKind{kNotifications, kLocation, kCamera, kMicrophone, kPointerLock};

}  // namespace

std::string PermissionQuestion(const std::string& site, PermissionKinds kinds) {
  std::string what;
  if ((kinds & (kCamera | kMicrophone)) == (kCamera | kMicrophone)) {
    what = "use your camera and microphone";
  } else if ((kinds & kCamera) != 0) {
    what = "use your camera";
  } else if ((kinds & kMicrophone) != 0) {
    what = "use your microphone";
  } else if ((kinds & kNotifications) != 0) {
    what = "show notifications";
  } else if ((kinds & kLocation) != 0) {
    what = "know your location";
  } else if ((kinds & kPointerLock) != 0) {
    what = "hide and lock the mouse pointer";
  } else {
    what = "have a permission";
  }
  return site + " wants to " + what + ".";
}

PermissionAnswers::Known PermissionAnswers::Find(const std::string& site,
                                                 PermissionKinds kinds) const {
  bool allAllowed = kinds != 0;
  for (const PermissionKind kind : kEachKind) {
    if ((kinds & kind) == 0) {
      continue;
    }
    const auto found = answers_.find({site, kind});
    if (found == answers_.end()) {
      allAllowed = false;
    } else if (!found->second) {
      return Known::kDenied;
    }
  }
  return allAllowed ? Known::kAllowed : Known::kUnknown;
}

void PermissionAnswers::Remember(const std::string& site, PermissionKinds kinds, bool allowed) {
  for (const PermissionKind kind : kEachKind) {
    if ((kinds & kind) != 0) {
      answers_[{site, kind}] = allowed;
    }
  }
}

std::set<std::string> PermissionAnswers::Sites(PermissionKind kind, bool allowed) const {
  std::set<std::string> sites;
  for (const auto& [key, answer] : answers_) {
    if (key.second == kind && answer == allowed) {
      sites.insert(key.first);
    }
  }
  return sites;
}

PermissionQuestions::Verdict PermissionQuestions::Request(const std::string& site,
                                                          PermissionKinds kinds) {
  if (site.empty() || kinds == 0) {
    return Verdict::kDeny;
  }
  switch (answers_.Find(site, kinds)) {
    case PermissionAnswers::Known::kAllowed:
      return Verdict::kAllow;
    case PermissionAnswers::Known::kDenied:
      return Verdict::kDeny;
    case PermissionAnswers::Known::kUnknown:
      break;
  }
  if (asking_ || !askedThisLoad_.insert({site, kinds}).second) {
    return Verdict::kDeny;
  }
  asking_ = true;
  site_ = site;
  kinds_ = kinds;
  return Verdict::kAsk;
}

void PermissionQuestions::Answered(bool allowed) {
  if (asking_) {
    answers_.Remember(site_, kinds_, allowed);
  }
  asking_ = false;
}

void PermissionQuestions::Dismissed() { asking_ = false; }

void PermissionQuestions::NewLoad() { askedThisLoad_.clear(); }

}  // namespace corvane
