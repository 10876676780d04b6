// A window a page asks for. The browser opens no second window: the new
// window's address opens in the browser's own view, and only when the user
// asked for it (a click, the "open in new window" menu item, a pop-up the
// user allowed). One rule for every web view; each reports what its engine
// tells of the request.
#pragma once

#include <optional>
#include <string>

namespace corvane {

// The address to open in the view for a new window asked for at `address`,
// or nothing: nothing when the user did not ask for it, and nothing for an
// empty window, the blank page a script opens to write into, or a script
// address.
std::optional<std::string> NewWindowAddress(const std::string& address, bool byTheUser);

}  // namespace corvane
