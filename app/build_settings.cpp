// Values fixed when the program is built.
#include "app/program.h"

#ifndef CORVANE_START_ADDRESS
#error "CORVANE_START_ADDRESS must be defined by the build"
#endif
#ifndef CORVANE_SEARCH_QUERY
#error "CORVANE_SEARCH_QUERY must be defined by the build"
#endif

namespace corvane {

const std::string& ConfiguredStartAddress() {
  static const std::string address = CORVANE_START_ADDRESS;
  return address;
}

const std::string& ConfiguredSearchQuery() {
  static const std::string query = CORVANE_SEARCH_QUERY;
  return query;
}

}  // namespace corvane
