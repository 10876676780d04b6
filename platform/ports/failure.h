// The one type of failure that controls, ports and handlers raise.
#pragma once

#include <stdexcept>

namespace corvane {

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace corvane
