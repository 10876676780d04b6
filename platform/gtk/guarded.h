// The boundary between GTK's callbacks and the program's code.
#pragma once

namespace corvane::gtk {

// Runs `body`, dropping any exception: nothing may unwind into GTK.
template <class F>
void Guarded(F&& body) noexcept {
  try {
    body();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into GTK
  }
}

}  // namespace corvane::gtk
