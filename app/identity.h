// Program identity: the title and the version that the windows show.
#pragma once

#include <cstdint>
#include <string>

#include "app/identity_values.h"

namespace corvane::identity {

inline constexpr const char* Title = CORVANE_TITLE;
inline constexpr const char* ProjectName = CORVANE_PROJECT_NAME;
inline constexpr std::int16_t Major = CORVANE_VERSION_MAJOR;
inline constexpr std::int16_t Minor = CORVANE_VERSION_MINOR;
inline constexpr std::int16_t Revision = CORVANE_VERSION_REVISION;
inline constexpr std::uint16_t Locale = CORVANE_LOCALE;

// "Version " + Major + "." + Minor + "." + Revision, each in plain decimal
// without sign or leading zeros.
std::string VersionText(std::int16_t major = Major, std::int16_t minor = Minor,
                        std::int16_t revision = Revision);

}  // namespace corvane::identity
