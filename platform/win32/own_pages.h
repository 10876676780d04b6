// The pages the browser shows itself in the web view in place of the
// control's own error pages. The control's status codes are mapped to the
// page policy's reasons and reported; the policy decides on the page and
// its words, and the page it orders is put into the control here.
//
// How the page gets into the control: the failed navigation's error page is
// cancelled, the control goes to about:blank, and once that document is
// complete our markup is loaded into it from a stream in memory
// (IPersistStreamInit::Load, the way the control's document takes a whole
// page from its host: read as the document's source, as a page from the
// network is, charset and all; the document's write method instead adds to
// a document open for writing). No file is written, and the markup has no
// script and names nothing to load. The control's own address (about:blank)
// is never shown: while our page is there, the view reports the address
// that failed and the page's title, and Refresh retries that address.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ports/page.h"
#include "platform/win32/handles.h"

namespace corvane::win32 {

// What a navigation that failed with `status` (NavigateError's StatusCode)
// is, in the page policy's words; none where nothing of ours failed: an
// HTTP status (the server's own page) or no failure at all (a navigation
// stopped, superseded or handed on).
struct NavigateFailure {
  bool certificate = false;  // a certificate problem (`problems`), else a load failure (`why`)
  LoadFailure why = LoadFailure::kOther;
  unsigned problems = 0;
};
std::optional<NavigateFailure> NavigateFailureOf(long status);

// The system's own words for `status`, "" when it has none.
std::string SystemWords(long status);

// The page policy of a view, or none (while the view is made, or gone).
using PolicyOf = std::function<PageEvents*()>;

// The page of ours in one control (`view`, its automation interface). The
// control's notifications of its top level come here; `later` runs a task
// once the notification has returned (the control is never navigated nor
// loaded from inside its own notification).
class OwnPages : public std::enable_shared_from_this<OwnPages> {
 public:
  using Later = std::function<void(std::function<void()>)>;
  // A failed navigation of the top level, reported (to the page policy,
  // which may order a page of ours through Show); `detail`: the system's
  // words for it.
  using Report = std::function<void(const std::string& address, const NavigateFailure& failure,
                                    const std::string& detail)>;
  OwnPages(ComPtr<IDispatch> view, Later later, Report report = {});
  // The report of failures to the policy `policy` names.
  static Report ReportTo(PolicyOf policy);

  // Shows `page`: the control goes to about:blank, and our markup comes
  // into its document.
  void Show(OwnPage page);

  // Whether `frame` is the control's top level.
  [[nodiscard]] bool IsTop(IDispatch* frame) const { return IsView(frame); }
  // BeforeNavigate2 of `frame`: a navigation starts.
  void Starting(IDispatch* frame);
  // What becomes of a navigation error.
  enum class Answer : std::uint8_t {
    kLeave,      // the control shows its own page
    kOurs,       // the control's page is cancelled: ours comes instead
    kOursBlank,  // ours stands without its document (the control could make
                 // none: no page engine), at the address that failed
  };
  // NavigateError of `frame`: reported; where a page of ours was ordered,
  // it comes instead of the control's. Frames other than the top level are
  // left to the control.
  Answer Failed(IDispatch* frame, const std::string& address, long status);
  // NavigateComplete2 of `frame` at `address`: the address the view is at
  // now (the failed one where our page comes in).
  std::string Committed(IDispatch* frame, const std::string& address);
  // DocumentComplete of `frame`: our page's document is there to be loaded.
  void Completed(IDispatch* frame);

  // The page of ours shown, or none.
  [[nodiscard]] const OwnPage* Shown() const { return shown_ ? &*shown_ : nullptr; }

 private:
  [[nodiscard]] bool IsView(IDispatch* frame) const;
  void Load() const;

  ComPtr<IDispatch> view_;
  Later later_;
  Report report_;
  std::optional<OwnPage> pending_;  // the control goes to about:blank for it
  std::optional<OwnPage> shown_;
  bool loading_ = false;  // shown_'s document is still to be loaded
  bool started_ = false;  // a navigation of the top level started since the last commit
};

}  // namespace corvane::win32
