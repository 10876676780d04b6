// A question about the page shown, over the browser window: the system's
// message box with the question's own two buttons. It is modal, as the
// system's boxes are; the page goes on meanwhile, and the question can be
// taken back while it is shown.
#pragma once

#include <windows.h>

#include "platform/ports/page.h"

namespace corvane::win32 {

// Asks `question` over `owner`; true for its first button (go on), false for
// its second (stop). A question taken back (Close) answers true.
bool AskAboutPage(HWND owner, const PageQuestion& question);

// Takes back the question on screen, if any.
void CloseQuestionAboutPage();

}  // namespace corvane::win32
