#include "platform/win32/accessible.h"

#include <commctrl.h>
#include <oleacc.h>
#include <oleidl.h>

#include <utility>

#include "platform/win32/com_objects.h"
#include "platform/win32/handles.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace corvane::win32 {

namespace {

// The accessibility library is looked up when first needed: the program
// starts and works without it.
struct Oleacc {
  using CreateStd = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
  using FromObject = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
  CreateStd createStdObject = nullptr;
  FromObject resultFromObject = nullptr;
};

template <class Function>
Function Lookup(HMODULE module, const char* name) {
  // Through the generic function type, which converts to any other.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

const Oleacc& TheOleacc() {
  // From the system folder only, never a file of that name elsewhere.
  static const Library module = LoadSystemLibrary(L"oleacc.dll");
  static const Oleacc oleacc = [] {
    Oleacc found;
    if (module) {
      found.createStdObject = Lookup<Oleacc::CreateStd>(module.get(), "CreateStdAccessibleObject");
      found.resultFromObject = Lookup<Oleacc::FromObject>(module.get(), "LresultFromObject");
    }
    return found;
  }();
  return oleacc;
}

BSTR MakeBstr(const std::string& text) {
  const std::wstring wide = ToWide(text);
  return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// The system's object for a window's client area, answering with our name
// and role where we have them and showing the parts the window draws as
// children of their own, numbered after the system's children.
class AmendedObject final : public IAccessible, public IOleWindow, public SelfOwned<AmendedObject> {
 public:
  AmendedObject(HWND window, ComPtr<IAccessible> system, AccessibleFacts facts)
      : window_(window), system_(std::move(system)), facts_(std::move(facts)) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == AccessibleInterfaceId()) {
      *out = static_cast<IAccessible*>(this);
    } else if (iid == IID_IOleWindow) {
      *out = static_cast<IOleWindow*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  // IOleWindow: the window this object stands for.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) {
      return E_POINTER;
    }
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL /*enter*/) override { return E_NOTIMPL; }

  // IDispatch: not offered by name.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) {
      return E_POINTER;
    }
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return system_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) {
      return E_POINTER;
    }
    *count = SystemCount() + static_cast<LONG>(facts_.parts.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    if (Part(child) != nullptr) {
      *out = nullptr;
      return S_FALSE;  // a simple element, answered by this object
    }
    return system_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (name == nullptr) {
      return E_POINTER;
    }
    if (const DrawnPart* part = Part(child)) {
      *name = MakeBstr(part->name);
      return S_OK;
    }
    if (Self(child) && !facts_.name.empty()) {
      *name = MakeBstr(facts_.name);
      return S_OK;
    }
    return system_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return Part(child) != nullptr ? Nothing(value) : system_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return Part(child) != nullptr ? Nothing(text) : system_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) {
      return E_POINTER;
    }
    const DrawnPart* part = Part(child);
    if (part != nullptr || (Self(child) && facts_.role != 0)) {
      ::VariantInit(role);
      V_VT(role) = VT_I4;
      V_I4(role) = part != nullptr ? part->role : facts_.role;
      return S_OK;
    }
    return system_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) {
      return E_POINTER;
    }
    if (Part(child) != nullptr) {
      ::VariantInit(state);
      V_VT(state) = VT_I4;
      V_I4(state) = STATE_SYSTEM_READONLY;
      return S_OK;
    }
    return system_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return Part(child) != nullptr ? Nothing(help) : system_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    if (Part(child) != nullptr) {
      if (topic != nullptr) {
        *topic = 0;
      }
      return Nothing(file);
    }
    return system_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return Part(child) != nullptr ? Nothing(keys) : system_->get_accKeyboardShortcut(child, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return system_->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return system_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Part(child) != nullptr ? Nothing(action)
                                  : system_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG how, VARIANT child) override {
    return Part(child) != nullptr ? S_FALSE : system_->accSelect(how, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    const DrawnPart* part = Part(child);
    if (part == nullptr) {
      return system_->accLocation(left, top, width, height, child);
    }
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
      return E_POINTER;
    }
    const RECT area = OnScreen(*part);
    *left = area.left;
    *top = area.top;
    *width = area.right - area.left;
    *height = area.bottom - area.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) {
      return E_POINTER;
    }
    const LONG first = SystemCount() + 1;
    const auto count = static_cast<LONG>(facts_.parts.size());
    LONG to = 0;
    if (const DrawnPart* part = Part(start)) {
      const LONG at = static_cast<LONG>(part - facts_.parts.data()) + first;
      if (direction == NAVDIR_NEXT && at + 1 < first + count) {
        to = at + 1;
      } else if (direction == NAVDIR_PREVIOUS && at > first) {
        to = at - 1;
      }
      if (to == 0) {
        ::VariantInit(end);
        return S_FALSE;
      }
    } else if (Self(start) && direction == NAVDIR_LASTCHILD && count > 0) {
      to = first + count - 1;
    } else if (Self(start) && direction == NAVDIR_FIRSTCHILD && first == 1 && count > 0) {
      to = first;
    } else {
      return system_->accNavigate(direction, start, end);
    }
    ::VariantInit(end);
    V_VT(end) = VT_I4;
    V_I4(end) = to;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override {
    const HRESULT result = system_->accHitTest(x, y, found);
    if (result != S_OK || found == nullptr || V_VT(found) != VT_I4 ||
        V_I4(found) != CHILDID_SELF) {
      return result;
    }
    // Over the window itself: the topmost part drawn there, if any.
    const POINT point{x, y};
    for (auto part = facts_.parts.size(); part-- > 0;) {
      const RECT area = OnScreen(facts_.parts[part]);
      if (::PtInRect(&area, point) != FALSE) {
        V_I4(found) = SystemCount() + 1 + static_cast<LONG>(part);
        break;
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return Part(child) != nullptr ? DISP_E_MEMBERNOTFOUND : system_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return Part(child) != nullptr ? E_NOTIMPL : system_->put_accValue(child, value);
  }

 private:
  static bool Self(const VARIANT& child) {
    return V_VT(&child) == VT_I4 && V_I4(&child) == CHILDID_SELF;
  }
  static HRESULT Nothing(BSTR* out) {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    return S_FALSE;
  }
  [[nodiscard]] LONG SystemCount() const {
    LONG count = 0;
    if (FAILED(system_->get_accChildCount(&count)) || count < 0) {
      count = 0;
    }
    return count;
  }
  // The drawn part a child number stands for, or nullptr.
  [[nodiscard]] const DrawnPart* Part(const VARIANT& child) const {
    if (V_VT(&child) != VT_I4 || facts_.parts.empty()) {
      return nullptr;
    }
    const LONG at = V_I4(&child) - SystemCount() - 1;
    if (at < 0 || at >= static_cast<LONG>(facts_.parts.size())) {
      return nullptr;
    }
    return &facts_.parts[static_cast<std::size_t>(at)];
  }
  [[nodiscard]] RECT OnScreen(const DrawnPart& part) const {
    RECT area = part.area;
    if (::IsWindow(window_) == FALSE) {
      return RECT{};
    }
    ::MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&area), 2);
    return area;
  }

  HWND window_;
  ComPtr<IAccessible> system_;
  AccessibleFacts facts_;
};

}  // namespace

const IID& AccessibleInterfaceId() { return __uuidof(IAccessible); }

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleFacts& facts) {
  const Oleacc& oleacc = TheOleacc();
  if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT) ||
      oleacc.createStdObject == nullptr || oleacc.resultFromObject == nullptr) {
    return 0;
  }
  ComPtr<IAccessible> system;
  if (FAILED(oleacc.createStdObject(window, static_cast<LONG>(OBJID_CLIENT), AccessibleInterfaceId(),
                                    reinterpret_cast<void**>(system.Out()))) ||
      !system) {
    return 0;
  }
  const ComPtr<IAccessible> amended =
      AmendedObject::Create<IAccessible>(window, std::move(system), facts);
  const LRESULT result = oleacc.resultFromObject(AccessibleInterfaceId(), wParam, amended.get());
  return result > 0 ? result : 0;
}

AccessibleName::~AccessibleName() { Clear(); }

void AccessibleName::Give(HWND window, const std::string& name) {
  if (window == nullptr || name.empty()) {
    return;
  }
  facts_.name = name;
  if (::SetWindowSubclass(window, &AccessibleName::Proc, 1, reinterpret_cast<DWORD_PTR>(this)) !=
      FALSE) {
    named_.push_back(window);
  }
}

void AccessibleName::Clear() {
  for (HWND window : named_) {
    if (::IsWindow(window) != FALSE) {
      ::RemoveWindowSubclass(window, &AccessibleName::Proc, 1);
    }
  }
  named_.clear();
}

LRESULT CALLBACK AccessibleName::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR /*id*/, DWORD_PTR data) {
  if (message == WM_GETOBJECT) {
    try {
      const auto* self = reinterpret_cast<const AccessibleName*>(data);
      if (const LRESULT answer = AnswerGetObject(window, wParam, lParam, self->facts_)) {
        return answer;
      }
    } catch (...) {  // NOLINT(bugprone-empty-catch): the system answers as usual instead
    }
  } else if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(window, &AccessibleName::Proc, 1);
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

std::string LabelTextFor(const WindowDesign& window, const ControlDesign& control) {
  for (const ControlDesign& c : window.controls) {
    if (c.kind == ControlKind::Label && c.mnemonicTarget == control.name) {
      return StripAccessKey(c.caption);
    }
  }
  return {};
}

void NameToolbarButtons(HWND toolbar, const ControlDesign& design, int firstCommand) {
  // No row of text under the pictures: the buttons look as they did.
  ::SendMessageW(toolbar, TB_SETMAXTEXTROWS, 0, 0);
  int command = firstCommand;
  for (const ToolbarButtonDesign& button : design.buttons) {
    std::wstring text = ToWide(button.toolTip.empty() ? button.key : button.toolTip);
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT;
    info.pszText = text.data();
    ::SendMessageW(toolbar, TB_SETBUTTONINFOW, static_cast<WPARAM>(command++),
                   reinterpret_cast<LPARAM>(&info));
  }
}

}  // namespace corvane::win32
