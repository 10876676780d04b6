// Find in the page of the WebBrowser control, through the hosted document's
// text ranges (late-bound IDispatch calls by name).
//
// Why text ranges and not the control's own find command (ExecWB with
// OLECMDID_FIND): that command opens the control's own Find dialog, which
// takes no text from us, looks unlike the Find window of the other
// platform and tells us nothing of what it found. Text ranges let our own
// Find window search, select the match, scroll it into view, step on from
// it in either direction, and count the matches.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ports/design.h"
#include "platform/win32/handles.h"

namespace corvane::win32 {

struct FindOutcome {
  bool found = false;
  std::int32_t matches = -1;  // -1: not counted
};

// The dispatch id of the control's Document property.
inline constexpr DISPID kDocumentId = 203;

class PageFinder {
 public:
  // A new search in the page of `browser` (the control's automation
  // interface): the first match from the top, or the last going backwards.
  FindOutcome Find(IDispatch* browser, const std::string& text, bool matchCase, bool backwards);
  // The match after or before the one selected, for the last search;
  // wraps at either end. Without a search before: nothing found.
  FindOutcome Step(IDispatch* browser, bool backwards);
  // Lets go of the search (the selection stays in the page).
  void Finish();
  // Where the match selected is, in client pixels of the page's window, the
  // part of it inside `view` (that window's client area); none without a
  // match, or when the page cannot tell.
  [[nodiscard]] std::optional<Rect> MatchBox(const Rect& view) const;

 private:
  FindOutcome Search(IDispatch* browser, bool backwards, bool fromMatch);

  std::wstring text_;
  bool matchCase_ = false;
  ComPtr<IDispatch> match_;  // the text range of the match selected
};

}  // namespace corvane::win32
