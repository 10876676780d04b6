// What a screen reader learns about each window through the system's
// accessibility interface (MSAA, which UI Automation also reads): the
// windows' captions, the buttons, the toolbar's picture buttons, the address
// box named by its label, the About icon. Wine's accessibility library
// answers part of this; what it cannot answer is skipped with its reason.
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

namespace corvane::winui {
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
  if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(object), IID_IAccessible,
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
                                          IID_IAccessible,
                                          reinterpret_cast<void**>(accessible.Out()))) ||
      !accessible || FAILED(accessible->get_accChildCount(&count))) {
    return std::nullopt;
  }
  return count;
}

// Whether names given through the annotation service can be read back here
// (Windows: yes; Wine's service only stubs).
bool AnnotationsAnswer() {
  ComPtr<IAccPropServices> services;
  if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices,
                                reinterpret_cast<void**>(services.Out())))) {
    return false;
  }
  const WindowHandle probe(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                             nullptr, ::GetModuleHandleW(nullptr), nullptr));
  if (FAILED(services->SetHwndPropStr(probe.get(), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                      PROPID_ACC_NAME, L"probe"))) {
    return false;
  }
  const bool answers = AccName(probe.get(), OBJID_CLIENT) == std::optional<std::string>("probe");
  const MSAAPROPID name = PROPID_ACC_NAME;
  services->ClearHwndProps(probe.get(), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &name, 1);
  return answers;
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
  const bool annotations = AnnotationsAnswer();
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
          Skip(what, "labels are drawn by their window on Windows; the box they name carries "
                     "their text");
          break;
        case Seen::Image:
          ASSERT_NE(control, nullptr);
          if (control->kind == ControlKind::Image) {
            Skip(what, "an image is drawn by its window on Windows, with no object of its own");
          } else if (!annotations) {
            Skip(what, "the annotation service gives no names back here");
          } else {
            EXPECT_TRUE(OneIsNamed(Descendants(form, L"CorvaneOmbrel.Surface"), expected.name));
          }
          break;
        case Seen::LabelledField: {
          const std::vector<HWND> boxes = Descendants(form, WC_COMBOBOXW);
          ASSERT_EQ(boxes.size(), 1U);
          const std::vector<HWND> fields = Descendants(boxes[0], L"Edit");
          ASSERT_EQ(fields.size(), 1U);
          if (!annotations) {
            Skip(what, "the annotation service gives no names back here");
            break;
          }
          EXPECT_EQ(AccName(boxes[0], OBJID_CLIENT), std::optional<std::string>(expected.name));
          EXPECT_EQ(AccName(fields[0], OBJID_CLIENT), std::optional<std::string>(expected.name));
          break;
        }
      }
    }
  }
}

}  // namespace
}  // namespace corvane::winui
