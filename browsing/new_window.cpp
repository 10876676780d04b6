#include "browsing/new_window.h"

#include "browsing/typed_address.h"

namespace corvane {

std::optional<std::string> NewWindowAddress(const std::string& address, bool byTheUser) {
  if (!byTheUser || address.empty() || address == "about:blank" || IsScriptAddress(address)) {
    return std::nullopt;
  }
  return address;
}

}  // namespace corvane
