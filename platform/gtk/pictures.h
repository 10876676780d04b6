// Where the program's pictures are found.
#pragma once

#include <string>

namespace corvane::gtk {

// The file that holds the picture a design table names ("logo",
// "toolbar_back", ...): "<name>.png" in the installed data folder next to
// the program (../share/corvane-ombrel/pictures), else in the source tree's
// resources/ folder; in each, the folder itself, then its icons/ and
// toolbar/ subfolders. Empty when no such file exists; a missing picture is
// drawn as nothing.
std::string PicturePath(const std::string& name);

}  // namespace corvane::gtk
