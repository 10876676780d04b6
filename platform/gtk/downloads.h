// Downloads on GTK: nothing is saved without the user's consent.
//
// Every download of the web context, whatever started it (a link, a frame
// with no user gesture, a redirect), first asks with a save dialog that
// proposes the download folder and a safe name that replaces no file. While
// the dialog is open the engine holds the transfer back, so nothing is
// written; Cancel ends the download. One question is asked at a time, and a
// page that asks for many downloads at once has all but as many as its page
// policy lets wait refused. A running download shows its progress in
// a small window with a Cancel button; at the end a notice says where the file
// went or why it failed, and a failed or cancelled download leaves no file.
#pragma once

#include <webkit2/webkit2.h>

#include "platform/ports/page.h"

namespace corvane::gtk {

// The page policy of a web view, kept with the view for its downloads.
void KeepPagePolicy(WebKitWebView* view, PageEvents* policy);

// Makes every download of `context` ask first; lasts as long as the context.
void GuardDownloads(WebKitWebContext* context);

// A response `view` cannot show, or one sent as an attachment, becomes a
// download (which then asks) instead of being dropped.
void DownloadUnshownResponses(WebKitWebView* view);

}  // namespace corvane::gtk
