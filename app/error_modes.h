// The three ways a handler deals with failures.
//
// - Skip mode: every statement runs through Skip; a failure is dropped and the
//   next statement runs.
// - Handler mode: a try/catch around the body that goes to the recovery step.
// - Untrapped: the failure leaves the handler; the dispatch boundary of the
//   forms runtime catches it, so no failure ever ends the program.
#pragma once

#include <utility>

namespace corvane {

template <class Statement>
void Skip(Statement&& statement) noexcept {
  try {
    std::forward<Statement>(statement)();
  } catch (...) {  // NOLINT(bugprone-empty-catch): skip mode drops the failure by design
  }
}

// Sets a flag for the lifetime of the guard and clears it on every path out.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) noexcept : flag_(flag) { flag_ = true; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;
  ~FlagGuard() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace corvane
