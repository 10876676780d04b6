// The program's message box on GTK.
#pragma once

#include <string>

namespace corvane::gtk {

// Shows `text` in a modal box with one OK button and no icon, titled
// `title`, over the active window of the program; returns when the user has
// closed it.
void ShowMessageBox(const std::string& title, const std::string& text);

}  // namespace corvane::gtk
