#include "app/identity.h"

#include <cstdlib>

namespace corvane::identity {

namespace {
// Plain decimal of the magnitude: version numbers are shown without a sign.
std::string Plain(std::int16_t number) { return std::to_string(std::abs(static_cast<int>(number))); }
}  // namespace

std::string VersionText(std::int16_t major, std::int16_t minor, std::int16_t revision) {
  return "Version " + Plain(major) + "." + Plain(minor) + "." + Plain(revision);
}

}  // namespace corvane::identity
