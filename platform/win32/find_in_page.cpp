#include "platform/win32/find_in_page.h"

#include <vector>

#include "platform/ports/failure.h"
#include "platform/kit/find_place.h"
#include "platform/win32/com_objects.h"
#include "platform/win32/text.h"

namespace corvane::win32 {

namespace {

// The most matches counted; past that the count is not shown.
constexpr std::int32_t kMostCounted = 1000;
// findText's count: how many characters to search, its sign the direction.
constexpr long kWholePage = 0x3FFFFFFF;
constexpr long kMatchCase = 4;

// One argument of a late-bound call.
class Argument {
 public:
  explicit Argument(const std::wstring& text) {
    V_VT(value_.get()) = VT_BSTR;
    V_BSTR(value_.get()) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (V_BSTR(value_.get()) == nullptr) {
      throw Failure("out of memory");
    }
  }
  explicit Argument(long number) {
    V_VT(value_.get()) = VT_I4;
    V_I4(value_.get()) = number;
  }
  explicit Argument(IDispatch* object) {
    V_VT(value_.get()) = VT_DISPATCH;
    V_DISPATCH(value_.get()) = object;
    if (object != nullptr) {
      object->AddRef();  // released with the value
    }
  }
  explicit Argument(bool flag) {
    V_VT(value_.get()) = VT_BOOL;
    V_BOOL(value_.get()) = flag ? VARIANT_TRUE : VARIANT_FALSE;
  }
  [[nodiscard]] const VARIANT& Get() { return *value_.get(); }

 private:
  Variant value_;
};

// Calls member `name` of `object` with `arguments` (first first); the
// answer goes into `result` when given. Throws Failure when refused.
void CallByName(IDispatch* object, const wchar_t* name, WORD flags,
                std::vector<Argument*> arguments, VARIANT* result) {
  if (object == nullptr) {
    throw Failure("no page");
  }
  DISPID id = 0;
  auto* names = const_cast<LPOLESTR>(name);
  if (FAILED(object->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id))) {
    throw Failure("the page has no such member");
  }
  std::vector<VARIANT> lastFirst;
  for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
    lastFirst.push_back((*it)->Get());  // shallow: the Argument keeps ownership
  }
  DISPPARAMS params{lastFirst.data(), nullptr, static_cast<UINT>(lastFirst.size()), 0};
  EXCEPINFO exception{};
  UINT badArgument = 0;
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                    &exception, &badArgument);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  if (FAILED(hr)) {
    throw Failure("the page refused the call");
  }
}

ComPtr<IDispatch> ObjectOf(VARIANT& value) {
  if (V_VT(&value) != VT_DISPATCH || V_DISPATCH(&value) == nullptr) {
    throw Failure("the page answered no object");
  }
  V_DISPATCH(&value)->AddRef();
  return ComPtr<IDispatch>::Adopt(V_DISPATCH(&value));
}

ComPtr<IDispatch> Property(IDispatch* object, const wchar_t* name) {
  Variant result;
  CallByName(object, name, DISPATCH_PROPERTYGET, {}, result.get());
  return ObjectOf(*result.get());
}

ComPtr<IDispatch> MethodObject(IDispatch* object, const wchar_t* name) {
  Variant result;
  CallByName(object, name, DISPATCH_METHOD, {}, result.get());
  return ObjectOf(*result.get());
}

// A text range over the whole of the page's body.
ComPtr<IDispatch> WholePage(IDispatch* browser) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Variant document;
  if (browser == nullptr ||
      FAILED(browser->Invoke(kDocumentId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                             &none, document.get(), nullptr, nullptr))) {
    throw Failure("no page");
  }
  const ComPtr<IDispatch> body = Property(ObjectOf(*document.get()).get(), L"body");
  return MethodObject(body.get(), L"createTextRange");
}

// Looks for `text` in `range` (forward or back); the range becomes the match.
bool FindIn(IDispatch* range, const std::wstring& text, bool matchCase, bool backwards) {
  Argument what(text);
  Argument count(backwards ? -kWholePage : kWholePage);
  Argument flags(matchCase ? kMatchCase : 0L);
  Variant result;
  CallByName(range, L"findText", DISPATCH_METHOD, {&what, &count, &flags}, result.get());
  return V_VT(result.get()) == VT_BOOL && V_BOOL(result.get()) != VARIANT_FALSE;
}

}  // namespace

FindOutcome PageFinder::Find(IDispatch* browser, const std::string& text, bool matchCase,
                             bool backwards) {
  text_ = ToWide(text);
  matchCase_ = matchCase;
  match_.reset();
  return Search(browser, backwards, false);
}

FindOutcome PageFinder::Step(IDispatch* browser, bool backwards) {
  if (text_.empty()) {
    return {};
  }
  return Search(browser, backwards, static_cast<bool>(match_));
}

void PageFinder::Finish() {
  match_.reset();
  text_.clear();
}

std::optional<Rect> PageFinder::MatchBox(const Rect& view) const {
  if (!match_) {
    return std::nullopt;
  }
  try {
    // The range's bounding box (its metrics: client coordinates of the
    // page's window).
    double figures[4] = {};
    const wchar_t* const names[4] = {L"boundingLeft", L"boundingTop", L"boundingWidth",
                                     L"boundingHeight"};
    for (int i = 0; i < 4; ++i) {
      Variant value;
      CallByName(match_.get(), names[i], DISPATCH_PROPERTYGET, {}, value.get());
      if (FAILED(::VariantChangeType(value.get(), value.get(), 0, VT_R8))) {
        return std::nullopt;
      }
      figures[i] = V_R8(value.get());
    }
    return MatchInView(figures[0], figures[1], figures[2], figures[3], view);
  } catch (const Failure&) {
    return std::nullopt;
  }
}

FindOutcome PageFinder::Search(IDispatch* browser, bool backwards, bool fromMatch) {
  FindOutcome outcome;
  try {
    ComPtr<IDispatch> range = WholePage(browser);
    if (fromMatch) {
      // From the end of the match on, or from its start back.
      Argument how(std::wstring(backwards ? L"EndToStart" : L"StartToEnd"));
      Argument match(match_.get());
      CallByName(range.get(), L"setEndPoint", DISPATCH_METHOD, {&how, &match}, nullptr);
    }
    bool found = FindIn(range.get(), text_, matchCase_, backwards);
    if (!found && fromMatch) {
      range = WholePage(browser);  // wraps at the end (or the top)
      found = FindIn(range.get(), text_, matchCase_, backwards);
    }
    if (!found) {
      match_.reset();
      outcome.matches = 0;
      return outcome;
    }
    CallByName(range.get(), L"select", DISPATCH_METHOD, {}, nullptr);
    Argument top(true);
    CallByName(range.get(), L"scrollIntoView", DISPATCH_METHOD, {&top}, nullptr);
    match_ = range;
    outcome.found = true;
    // The matches in the page, each found after the last.
    const ComPtr<IDispatch> counter = WholePage(browser);
    Argument atEnd(false);
    std::int32_t counted = 0;
    while (counted <= kMostCounted && FindIn(counter.get(), text_, matchCase_, false)) {
      ++counted;
      CallByName(counter.get(), L"collapse", DISPATCH_METHOD, {&atEnd}, nullptr);
    }
    outcome.matches = counted > kMostCounted ? -1 : counted;
  } catch (const Failure&) {
    // No page, or one that cannot be searched: nothing found.
    if (!outcome.found) {
      match_.reset();
    }
  }
  return outcome;
}

}  // namespace corvane::win32
