// What a screen reader learns about each window through the system's
// accessibility interface (MSAA, which UI Automation also reads): the
// windows' captions, the buttons, the toolbar's picture buttons, the address
// box named by its label, the pictures, and the labels and pictures the
// windows draw themselves (where they are and what is under the pointer).
// What Wine's accessibility library cannot answer is skipped with its reason.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "browser/form1.h"
#include "platform/win32/backend.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"
#include "splash/frm_splash.h"
#include "tests/support/accessible_names.h"

namespace corvane::win32 {
namespace {

using corvane::testing::ExpectedName;
using corvane::testing::Seen;
using corvane::testing::WindowNames;

class NoEvents final : public EventSink {
 public:
  void Raise(Event& /*event*/) override {}
};

const WindowDesign& DesignOf(const std::string& window) {
  if (window == "frmSplash") {
    return frmSplash::TheDesign();
  }
  if (window == "Form1") {
    return Form1::TheDesign();
  }
  return frmAbout::TheDesign();
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  ::GetClassNameW(window, name, 128);
  return name;
}

struct Search {
  std::wstring className;
  std::vector<HWND> found;
};

BOOL CALLBACK Visit(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (::lstrcmpiW(ClassOf(child).c_str(), search->className.c_str()) == 0) {
    search->found.push_back(child);
  }
  return TRUE;
}

// Every window of a class below `parent`, in z-order.
std::vector<HWND> Descendants(HWND parent, const std::wstring& className) {
  Search search{className, {}};
  ::EnumChildWindows(parent, &Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The name MSAA gives an object of `window` (a child by number), or nothing
// when it gives no answer.
std::optional<std::string> AccName(HWND window, LONG object, LONG child = CHILDID_SELF) {
  ComPtr<IAccessible> accessible;
  if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(object), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(accessible.Out()))) ||
      !accessible) {
    return std::nullopt;
  }
  VARIANT which;
  ::VariantInit(&which);
  V_VT(&which) = VT_I4;
  V_I4(&which) = child;
  BSTR name = nullptr;
  const HRESULT result = accessible->get_accName(which, &name);
  if (FAILED(result)) {
    return std::nullopt;
  }
  std::string text = name != nullptr ? ToUtf8(name, static_cast<int>(::SysStringLen(name))) : "";
  ::SysFreeString(name);
  return text;
}

std::optional<long> AccChildCount(HWND window) {
  ComPtr<IAccessible> accessible;
  long count = 0;
  if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(accessible.Out()))) ||
      !accessible || FAILED(accessible->get_accChildCount(&count))) {
    return std::nullopt;
  }
  return count;
}

ComPtr<IAccessible> ClientObject(HWND window) {
  ComPtr<IAccessible> accessible;
  if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(accessible.Out())))) {
    accessible.reset();
  }
  return accessible;
}

VARIANT ChildId(LONG id) {
  VARIANT child;
  ::VariantInit(&child);
  V_VT(&child) = VT_I4;
  V_I4(&child) = id;
  return child;
}

// A child with no object of its own: something the window draws.
struct DrawnChild {
  std::string name;
  LONG role = 0;
  RECT onScreen{};
  bool hitAtItsMiddle = false;  // a hit test at its middle finds this child
};

// The drawn children of the client areas of `form` and of its containers.
std::vector<DrawnChild> DrawnChildren(HWND form) {
  std::vector<HWND> windows = Descendants(form, L"CorvaneOmbrel.Surface");
  windows.insert(windows.begin(), form);
  std::vector<DrawnChild> found;
  for (HWND window : windows) {
    const ComPtr<IAccessible> client = ClientObject(window);
    LONG count = 0;
    if (!client || FAILED(client->get_accChildCount(&count))) {
      continue;
    }
    for (LONG id = 1; id <= count; ++id) {
      IDispatch* object = nullptr;
      if (client->get_accChild(ChildId(id), &object) == S_OK && object != nullptr) {
        object->Release();
        continue;  // a child window, with an object of its own
      }
      DrawnChild child;
      BSTR name = nullptr;
      if (SUCCEEDED(client->get_accName(ChildId(id), &name)) && name != nullptr) {
        child.name = ToUtf8(name, static_cast<int>(::SysStringLen(name)));
        ::SysFreeString(name);
      }
      VARIANT role;
      ::VariantInit(&role);
      if (SUCCEEDED(client->get_accRole(ChildId(id), &role)) && V_VT(&role) == VT_I4) {
        child.role = V_I4(&role);
      }
      LONG x = 0;
      LONG y = 0;
      LONG w = 0;
      LONG h = 0;
      if (SUCCEEDED(client->accLocation(&x, &y, &w, &h, ChildId(id)))) {
        child.onScreen = RECT{x, y, x + w, y + h};
        VARIANT hit;
        ::VariantInit(&hit);
        child.hitAtItsMiddle = client->accHitTest(x + w / 2, y + h / 2, &hit) == S_OK &&
                               V_VT(&hit) == VT_I4 && V_I4(&hit) == id;
      }
      found.push_back(child);
    }
  }
  return found;
}

std::optional<LONG> AccRole(HWND window) {
  const ComPtr<IAccessible> client = ClientObject(window);
  VARIANT role;
  ::VariantInit(&role);
  if (!client || FAILED(client->get_accRole(ChildId(CHILDID_SELF), &role)) ||
      V_VT(&role) != VT_I4) {
    return std::nullopt;
  }
  return V_I4(&role);
}

// A drawn child named `name` in the role `role`, where a person sees it:
// inside the window, not empty, found again by a hit test at its middle.
void ExpectDrawn(HWND form, const std::string& name, LONG role) {
  RECT window{};
  ::GetWindowRect(form, &window);
  int seen = 0;
  for (const DrawnChild& child : DrawnChildren(form)) {
    if (child.name != name) {
      continue;
    }
    ++seen;
    EXPECT_EQ(child.role, role);
    RECT inside{};
    EXPECT_TRUE(::IntersectRect(&inside, &child.onScreen, &window) != FALSE &&
                ::EqualRect(&inside, &child.onScreen) != FALSE)
        << "at " << child.onScreen.left << "," << child.onScreen.top << " - "
        << child.onScreen.right << "," << child.onScreen.bottom;
    EXPECT_TRUE(child.hitAtItsMiddle);
  }
  EXPECT_EQ(seen, 1) << "drawn children named \"" << name << "\"";
}

void Skip(const std::string& what, const char* reason) {
  std::printf("[ SKIPPED  ] %s: %s\n", what.c_str(), reason);
}

// Whether one of `windows` carries `name` through MSAA.
bool OneIsNamed(const std::vector<HWND>& windows, const std::string& name) {
  for (HWND w : windows) {
    if (AccName(w, OBJID_CLIENT) == std::optional<std::string>(name)) {
      return true;
    }
  }
  return false;
}

TEST(AccessibleNames, EachWindowNamesWhatAPersonReaches) {
  Win32Backend backend(::GetModuleHandleW(nullptr));
  NoEvents sink;
  for (const WindowNames& table : corvane::testing::ExpectedNames()) {
    const WindowDesign& design = DesignOf(table.window);
    const auto window = backend.MakeWindow(design, sink);
    HWND form = ::FindWindowW(backend.FormClass(design.name), nullptr);
    ASSERT_NE(form, nullptr) << table.window;
    for (const ExpectedName& expected : table.names) {
      const std::string what = table.window + " " + expected.control +
                               (expected.button >= 0 ? " " + std::to_string(expected.button) : "");
      SCOPED_TRACE(what);
      const ControlDesign* control = design.Find(expected.control);
      switch (expected.as) {
        case Seen::Window:
          if (const auto name = AccName(form, OBJID_WINDOW)) {
            EXPECT_EQ(*name, expected.name);
          } else {
            // Wine answers for the client area only, named by the caption too.
            Skip(what + " window object", "not answered here; its client area is read instead");
            EXPECT_EQ(AccName(form, OBJID_CLIENT), std::optional<std::string>(expected.name));
          }
          break;
        case Seen::Button:
          if (expected.button < 0) {
            EXPECT_TRUE(OneIsNamed(Descendants(form, L"Button"), expected.name));
            break;
          }
          {
            const std::vector<HWND> bars = Descendants(form, TOOLBARCLASSNAMEW);
            ASSERT_EQ(bars.size(), 1U);
            // The button's own text is what the system names it by.
            TBBUTTON button{};
            ASSERT_NE(::SendMessageW(bars[0], TB_GETBUTTON, static_cast<WPARAM>(expected.button),
                                     reinterpret_cast<LPARAM>(&button)),
                      0);
            wchar_t text[64] = {};
            ::SendMessageW(bars[0], TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand),
                           reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(ToUtf8(text, ::lstrlenW(text)), expected.name);
            if (AccChildCount(bars[0]) != std::optional<long>(static_cast<long>(control->buttons.size()))) {
              Skip(what + " through MSAA", "no toolbar buttons among the accessible children here");
              break;
            }
            EXPECT_EQ(AccName(bars[0], OBJID_CLIENT, expected.button + 1),
                      std::optional<std::string>(expected.name));
          }
          break;
        case Seen::Text:
          ExpectDrawn(form, expected.name, ROLE_SYSTEM_STATICTEXT);
          break;
        case Seen::Image:
          ASSERT_NE(control, nullptr);
          if (control->kind == ControlKind::Image) {
            ExpectDrawn(form, expected.name, ROLE_SYSTEM_GRAPHIC);
          } else {
            // A picture box is a window of its own.
            const std::vector<HWND> surfaces = Descendants(form, L"CorvaneOmbrel.Surface");
            ASSERT_TRUE(OneIsNamed(surfaces, expected.name));
            for (HWND surface : surfaces) {
              if (AccName(surface, OBJID_CLIENT) == std::optional<std::string>(expected.name)) {
                EXPECT_EQ(AccRole(surface), std::optional<LONG>(ROLE_SYSTEM_GRAPHIC));
              }
            }
          }
          break;
        case Seen::LabelledField: {
          const std::vector<HWND> boxes = Descendants(form, WC_COMBOBOXW);
          ASSERT_EQ(boxes.size(), 1U);
          const std::vector<HWND> fields = Descendants(boxes[0], L"Edit");
          ASSERT_EQ(fields.size(), 1U);
          EXPECT_EQ(AccName(boxes[0], OBJID_CLIENT), std::optional<std::string>(expected.name));
          EXPECT_EQ(AccName(fields[0], OBJID_CLIENT), std::optional<std::string>(expected.name));
          // What the user types is still read from the field.
          ::SetWindowTextW(fields[0], L"typed");
          ComPtr<IAccessible> field = ClientObject(fields[0]);
          ASSERT_TRUE(field);
          BSTR value = nullptr;
          ASSERT_EQ(field->get_accValue(ChildId(CHILDID_SELF), &value), S_OK);
          EXPECT_EQ(ToUtf8(value, static_cast<int>(::SysStringLen(value))), "typed");
          ::SysFreeString(value);
          break;
        }
      }
    }
  }
}

}  // namespace
}  // namespace corvane::win32
