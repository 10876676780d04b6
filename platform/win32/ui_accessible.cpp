#include "platform/win32/ui_accessible.h"

#include <commctrl.h>

#include "platform/win32/text.h"

namespace corvane::winui {

AccessibleAnnotation::~AccessibleAnnotation() { Clear(); }

void AccessibleAnnotation::Clear() {
  if (!services_) {
    return;
  }
  const MSAAPROPID properties[] = {PROPID_ACC_NAME, PROPID_ACC_ROLE};
  for (HWND window : annotated_) {
    if (::IsWindow(window) != FALSE) {
      services_->ClearHwndProps(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                properties, 2);
    }
  }
  annotated_.clear();
}

void AccessibleAnnotation::Annotate(HWND window, const std::string& name, bool picture) {
  if (window == nullptr || name.empty()) {
    return;
  }
  if (!services_ &&
      FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices,
                                reinterpret_cast<void**>(services_.Out())))) {
    services_.reset();
    return;
  }
  const std::wstring text = ToWide(name);
  if (FAILED(services_->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                       PROPID_ACC_NAME, text.c_str()))) {
    return;
  }
  annotated_.push_back(window);
  if (picture) {
    VARIANT role;
    ::VariantInit(&role);
    V_VT(&role) = VT_I4;
    V_I4(&role) = ROLE_SYSTEM_GRAPHIC;
    services_->SetHwndProp(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                           PROPID_ACC_ROLE, role);
  }
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

}  // namespace corvane::winui
