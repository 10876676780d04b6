// Find in the page on Windows, against a stand-in control: the control's
// Document, its body's text ranges and their calls as the system's control
// answers them, over a page text the test sets.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/find_in_page.h"
#include "platform/win32/text.h"

namespace corvane::winui {
namespace {

struct Page;

// An automation object that answers calls by name, as the document's
// objects do, and never goes away before the test's page.
class StandIn : public IDispatch {
 public:
  explicit StandIn(Page& page) : page_(page) {}
  virtual ~StandIn() = default;
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    const std::wstring name = names[0];
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      if (kNames[i] == name) {
        ids[0] = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override;

  long refs = 0;

 protected:
  // Answers member `name` with its arguments (first first).
  virtual bool Call(const std::wstring& name, std::vector<VARIANT*>& arguments,
                    VARIANT* result) = 0;
  Page& page_;

 private:
  static inline const std::vector<std::wstring> kNames = {
      L"body", L"createTextRange", L"findText", L"setEndPoint", L"collapse", L"select",
      L"scrollIntoView"};
};

class Range;

struct Page {
  std::wstring text;
  bool noDocument = false;
  std::vector<std::string> calls{};  // "findText", "select", ... in order
  long selected = -1;              // where the selected range starts
  int scrolls = 0;
  std::vector<std::unique_ptr<StandIn>> objects{};
  Range& NewRange();
};

void Answer(VARIANT* result, IDispatch* object) {
  if (result != nullptr) {
    object->AddRef();
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
  }
}

class Range final : public StandIn {
 public:
  using StandIn::StandIn;
  long start = 0;
  long end = 0;

 protected:
  bool Call(const std::wstring& name, std::vector<VARIANT*>& args, VARIANT* result) override {
    if (name == L"findText" && args.size() == 3) {
      const std::wstring wanted = V_BSTR(args[0]);
      // As the control does: `count` characters on from the range's start,
      // or back from its end; past the range itself.
      const long count = V_I4(args[1]);
      const bool back = count < 0;
      const bool matchCase = (V_I4(args[2]) & 4) != 0;
      const long size = static_cast<long>(page_.text.size());
      const long from = back ? std::max(0L, end + count) : start;
      const long to = back ? end : std::min(size, start + count);
      std::wstring within = page_.text.substr(static_cast<std::size_t>(from),
                                              static_cast<std::size_t>(to - from));
      std::wstring what = wanted;
      if (!matchCase) {
        for (auto* s : {&within, &what}) {
          for (wchar_t& c : *s) {
            c = static_cast<wchar_t>(::towlower(c));
          }
        }
      }
      const std::size_t at = back ? within.rfind(what) : within.find(what);
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = at != std::wstring::npos ? VARIANT_TRUE : VARIANT_FALSE;
      if (at != std::wstring::npos) {
        start = from + static_cast<long>(at);
        end = start + static_cast<long>(what.size());
      }
      return true;
    }
    if (name == L"setEndPoint" && args.size() == 2) {
      const auto* other = static_cast<Range*>(V_DISPATCH(args[1]));
      if (std::wstring(V_BSTR(args[0])) == L"StartToEnd") {
        start = other->end;
      } else {
        end = other->start;
      }
      return true;
    }
    if (name == L"collapse" && args.size() == 1) {
      if (V_BOOL(args[0]) != VARIANT_FALSE) {
        end = start;  // to its start
      } else {
        start = end;
      }
      return true;
    }
    if (name == L"select") {
      page_.selected = start;
      return true;
    }
    if (name == L"scrollIntoView") {
      ++page_.scrolls;
      return true;
    }
    return false;
  }
};

Range& Page::NewRange() {
  auto range = std::make_unique<Range>(*this);
  range->end = static_cast<long>(text.size());
  Range& made = *range;
  objects.push_back(std::move(range));
  return made;
}

HRESULT StandIn::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) {
  if (id < 1 || id > static_cast<DISPID>(kNames.size())) {
    return DISP_E_MEMBERNOTFOUND;
  }
  const std::wstring& name = kNames[static_cast<std::size_t>(id - 1)];
  page_.calls.push_back(ToUtf8(name));
  std::vector<VARIANT*> arguments;
  for (UINT i = params->cArgs; i > 0; --i) {
    arguments.push_back(&params->rgvarg[i - 1]);
  }
  return Call(name, arguments, result) ? S_OK : DISP_E_MEMBERNOTFOUND;
}

// The document and its body: the body makes text ranges over the page.
class Body final : public StandIn {
 public:
  using StandIn::StandIn;

 protected:
  bool Call(const std::wstring& name, std::vector<VARIANT*>& /*args*/, VARIANT* result) override {
    if (name == L"body") {
      Answer(result, this);
      return true;
    }
    if (name == L"createTextRange") {
      Answer(result, &page_.NewRange());
      return true;
    }
    return false;
  }
};

// The control's automation interface: only its Document is asked for.
class Control final : public StandIn {
 public:
  using StandIn::StandIn;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != kDocumentId || flags != DISPATCH_PROPERTYGET || page_.noDocument) {
      return DISP_E_MEMBERNOTFOUND;
    }
    body_ = std::make_unique<Body>(page_);
    Answer(result, body_.get());
    return S_OK;
  }

 protected:
  bool Call(const std::wstring&, std::vector<VARIANT*>&, VARIANT*) override { return false; }

 private:
  std::unique_ptr<Body> body_;
};

// "word" at 4, "Word" at 14, "word" at 24.
const wchar_t* const kText = L"One word, two Word, and word.";

TEST(FindInPage, FindSelectsAndScrollsToEachMatchInTurnWrappingBothWays) {
  Page page{.text = kText};
  Control control(page);
  PageFinder finder;
  const struct Step {
    const char* what;
    std::function<FindOutcome()> act;
    bool found;
    std::int32_t matches;
    long selected;
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
  Control control(page);
  PageFinder finder;
  FindOutcome outcome = finder.Find(&control, "word", false, false);
  EXPECT_FALSE(outcome.found);
  outcome = finder.Find(nullptr, "word", false, false);
  EXPECT_FALSE(outcome.found);
  EXPECT_TRUE(page.calls.empty());
}

}  // namespace
}  // namespace corvane::winui
