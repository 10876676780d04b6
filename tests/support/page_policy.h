// Gives a test's web views the browser's page policy, with these pages, as
// the program gives its own (program/browser_program.cpp).
#pragma once

#include <string>
#include <utility>

#include "browsing/page_policy.h"
#include "platform/ports/window.h"

namespace corvane::testing {

struct PolicyGiven {
  PolicyGiven(Backend& backend, std::string home, std::string search, std::string query = {}) {
    backend.SetPagePolicy(
        MakePagePolicies({std::move(home), std::move(search), std::move(query)}));
  }
};

}  // namespace corvane::testing
