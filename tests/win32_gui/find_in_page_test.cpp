// Find in the page on Windows, against a stand-in control: the control's
// Document, its body's text ranges and their calls as the system's control
// answers them, over a page text the test sets.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/find_in_page.h"
#include "platform/win32/text.h"

namespace corvane::win32 {
namespace {

struct Page {
  std::wstring text;
  bool noDocument = false;
  std::vector<std::string> calls{};  // "findText", "select", ... in order
  long selected = -1;                // where the selected range starts
  int scrolls = 0;
};

const std::vector<std::wstring> kNames = {L"body",     L"createTextRange", L"findText",
                                          L"setEndPoint", L"collapse",     L"select",
                                          L"scrollIntoView", L"boundingLeft", L"boundingTop",
                                          L"boundingWidth",  L"boundingHeight"};

// One stand-in plays each part, by name as the document's objects answer:
// the control (only its Document property), the document and its body
// (which make text ranges), and a text range over the page's text. The
// objects live as long as the test's control.
class StandIn final : public IDispatch {
 public:
  enum class Part : std::uint8_t { Control, Body, Range };
  StandIn(Page& page, Part part)
      : page_(page), part_(part), end_(static_cast<long>(page.text.size())) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? this : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    const auto it = std::find(kNames.begin(), kNames.end(), std::wstring(names[0]));
    ids[0] = static_cast<DISPID>(it - kNames.begin() + 1);
    return it != kNames.end() ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (part_ == Part::Control) {
      if (id != kDocumentId || flags != DISPATCH_PROPERTYGET || page_.noDocument) {
        return DISP_E_MEMBERNOTFOUND;
      }
      return Answer(result, Part::Body);
    }
    if (id < 1 || id > static_cast<DISPID>(kNames.size())) {
      return DISP_E_MEMBERNOTFOUND;
    }
    const std::wstring& name = kNames[static_cast<std::size_t>(id - 1)];
    page_.calls.push_back(ToUtf8(name));
    VARIANT* args = params->rgvarg;  // last first
    if (name == L"body" || name == L"createTextRange") {
      return Answer(result, name == L"body" ? Part::Body : Part::Range);
    }
    if (name == L"findText" && params->cArgs == 3) {
      // As the control does: `count` characters on from the range's start,
      // or back from its end; past the range itself.
      const long count = V_I4(&args[1]);
      const long size = static_cast<long>(page_.text.size());
      const long from = count < 0 ? std::max(0L, end_ + count) : start_;
      const long to = count < 0 ? end_ : std::min(size, start_ + count);
      std::wstring within = page_.text.substr(static_cast<std::size_t>(from),
                                              static_cast<std::size_t>(to - from));
      std::wstring what = V_BSTR(&args[2]);
      if ((V_I4(&args[0]) & 4) == 0) {  // no match case
        for (auto* text : {&within, &what}) {
          std::transform(text->begin(), text->end(), text->begin(), ::towlower);
        }
      }
      const std::size_t at = count < 0 ? within.rfind(what) : within.find(what);
      if (at != std::wstring::npos) {
        start_ = from + static_cast<long>(at);
        end_ = start_ + static_cast<long>(what.size());
      }
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = at != std::wstring::npos ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (name == L"setEndPoint" && params->cArgs == 2) {
      const auto* other = static_cast<StandIn*>(V_DISPATCH(&args[0]));
      if (std::wstring(V_BSTR(&args[1])) == L"StartToEnd") {
        start_ = other->end_;
      } else {  // EndToStart
        end_ = other->start_;
      }
    } else if (name == L"collapse" && params->cArgs == 1) {
      if (V_BOOL(&args[0]) != VARIANT_FALSE) {
        end_ = start_;  // to its start
      } else {
        start_ = end_;
      }
    } else if (name == L"select") {
      page_.selected = start_;
    } else if (name == L"scrollIntoView") {
      ++page_.scrolls;
    } else if (name.starts_with(L"bounding")) {
      // A range's box: 10 pixels a character across, 16 high, on line 2.
      const long box[] = {start_ * 10, 20, (end_ - start_) * 10, 16};
      V_VT(result) = VT_I4;
      V_I4(result) = box[id - 8];
    }
    return S_OK;
  }

 private:
  HRESULT Answer(VARIANT* result, Part part) {
    made_.push_back(std::make_unique<StandIn>(page_, part));
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = made_.back().get();
    return S_OK;
  }

  Page& page_;
  Part part_;
  long start_ = 0;  // a range's place in the text
  long end_;
  std::vector<std::unique_ptr<StandIn>> made_;
};

// "word" at 4, "Word" at 14, "word" at 24.
const wchar_t* const kText = L"One word, two Word, and word.";

TEST(FindInPage, FindSelectsAndScrollsToEachMatchInTurnWrappingBothWays) {
  Page page{.text = kText};
  StandIn control(page, StandIn::Part::Control);
  PageFinder finder;
  const struct Step {
    const char* what;
    std::function<FindOutcome()> act;
    bool found;
    std::int32_t matches;
    long selected;  // the match's box is 10 pixels a character from there on
  } steps[] = {
      {"first", [&] { return finder.Find(&control, "word", false, false); }, true, 3, 4},
      {"next", [&] { return finder.Step(&control, false); }, true, 3, 14},
      {"next", [&] { return finder.Step(&control, false); }, true, 3, 24},
      {"wraps to the top", [&] { return finder.Step(&control, false); }, true, 3, 4},
      {"back wraps to the end", [&] { return finder.Step(&control, true); }, true, 3, 24},
      {"back", [&] { return finder.Step(&control, true); }, true, 3, 14},
      {"case, backwards", [&] { return finder.Find(&control, "Word", true, true); }, true, 1, 14},
      {"the one match again", [&] { return finder.Step(&control, false); }, true, 1, 14},
      {"from the end back", [&] { return finder.Find(&control, "word", false, true); }, true, 3,
       24},
      {"not there", [&] { return finder.Find(&control, "zebra", false, false); }, false, 0, 24},
      {"no search to go on with", [&] { return finder.Step(&control, false); }, false, 0, 24},
  };
  int scrolls = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    const FindOutcome outcome = s.act();
    EXPECT_EQ(outcome.found, s.found);
    EXPECT_EQ(outcome.matches, s.matches);
    EXPECT_EQ(page.selected, s.selected);
    // Where the match is: its box, in the page's window, none when not found.
    const std::optional<Rect> box = finder.MatchBox(Rect{0, 0, 800, 600});
    EXPECT_EQ(box ? box->left : -1.0F, s.found ? static_cast<float>(s.selected * 10) : -1.0F);
    EXPECT_EQ(box ? box->top + box->width : -1.0F, s.found ? 60.0F : -1.0F);
    scrolls += s.found ? 1 : 0;
    EXPECT_EQ(page.scrolls, scrolls);
  }
  // The search goes through the document's text ranges, the match selected
  // and scrolled into view before the matches are counted.
  const std::vector<std::string> first(page.calls.begin(), page.calls.begin() + 5);
  EXPECT_EQ(first, (std::vector<std::string>{"body", "createTextRange", "findText", "select",
                                             "scrollIntoView"}));
}

TEST(FindInPage, APageWithoutADocumentFindsNothingAndNothingFails) {
  Page page{.text = kText, .noDocument = true};
  StandIn control(page, StandIn::Part::Control);
  PageFinder finder;
  FindOutcome outcome = finder.Find(&control, "word", false, false);
  EXPECT_FALSE(outcome.found);
  outcome = finder.Find(nullptr, "word", false, false);
  EXPECT_FALSE(outcome.found);
  EXPECT_TRUE(page.calls.empty());
}

}  // namespace
}  // namespace corvane::win32
