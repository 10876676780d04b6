// What assistive technology (screen readers, magnifiers) learns about a
// window's controls, taken from the window's design table.
#pragma once

#include "platform/gtk/window.h"

namespace corvane::gtk {

// Names the controls of a built window for assistive technology: each
// toolbar button by its tool tip, each picture by its description, and the
// mnemonic target of a label by that label (labelled-by / label-for). Labels,
// command buttons and the window itself already carry their texts.
void NameForAssistiveTechnology(const FormWindow& window);

}  // namespace corvane::gtk
