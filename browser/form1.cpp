#include "browser/form1.h"

#include <algorithm>
#include <optional>

#include "about/frm_about.h"
#include "app/error_modes.h"
#include "app/program.h"
#include "browser/shortcuts.h"
#include "find/frm_find.h"

namespace corvane {

namespace {

// A size the controls accept: never below zero, however small the window.
float NotNegative(float size) { return std::max(size, 0.0F); }

}  // namespace

Form1::Form1(Program& program) : Form(program, TheDesign()) {}

std::string Form1::PageTitle() const { return brwWebBrowser().LocationName() + kTitleSuffix; }

// ---- load and layout -------------------------------------------------------

void Form1::Form_Load() {
  StartingAddress = TheProgram().Settings().startAddress;

  // From here on a failing step is skipped and the next one runs.
  Skip([&] { Show(); });
  Skip([&] { tbToolBar().Refresh(); });
  // A failure inside the rule abandons the rest of the rule only.
  Skip([&] { Form_Resize(); });
  Skip([&] {
    const float top = lblAddress().Top() + lblAddress().Height() + 15.0F;
    cboAddress().SetPosition(50.0F, top);
  });
  if (StartingAddress.empty()) {
    return;
  }
  Skip([&] { cboAddress().SetText(StartingAddress); });
  Skip([&] { cboAddress().AddItem(cboAddress().Text()); });
  Skip([&] { timTimer().SetEnabled(true); });
  Skip([&] { brwWebBrowser().Navigate(StartingAddress); });
}

void Form1::Form_Unload() {
  // The Find window belongs to this one and goes with it.
  Skip([&] { TheProgram().Get<frmFind>().CloseWithOwner(); });
}

void Form1::Form_Resize() {
  // The toolbar and the address strip follow the width by docking; the box
  // and the web view keep their Left and Top.
  cboAddress().SetWidth(NotNegative(Window().ScaleWidth() - 100.0F));
  brwWebBrowser().SetWidth(NotNegative(Window().ScaleWidth() - 100.0F));
  const float stripTop = picAddress().Top();
  const float stripHeight = picAddress().Height();
  const float clientHeight = Window().ScaleHeight();
  brwWebBrowser().SetHeight(NotNegative(clientHeight - (stripTop + stripHeight) - 100.0F));
}

// ---- address box and toolbar -----------------------------------------------

void Form1::cboAddress_Click() {
  // The history update selects its new top entry, which raises Click too.
  if (HoldNavigation) {
    return;
  }
  timTimer().SetEnabled(true);
  const std::string address = cboAddress().Text();
  brwWebBrowser().Navigate(address);
}

void Form1::cboAddress_KeyPress(std::int16_t& KeyAscii) {
  // The key goes on to the box unchanged, Enter included.
  Skip([&] {
    if (KeyAscii == 13) {
      cboAddress_Click();
    }
  });
}

void Form1::tbToolBar_ButtonClick(const ToolbarButton& Button) {
  Skip([&] { timTimer().SetEnabled(true); });
  std::optional<std::string> key;
  Skip([&] { key = Button.Key(); });
  if (!key) {
    return;  // an unreadable key matches no button
  }
  if (*key == "Back") {
    Skip([&] { brwWebBrowser().GoBack(); });
  } else if (*key == "Forward") {
    Skip([&] { brwWebBrowser().GoForward(); });
  } else if (*key == "Refresh") {
    Skip([&] { brwWebBrowser().Refresh(); });
  } else if (*key == "Home") {
    Skip([&] { brwWebBrowser().GoHome(); });
  } else if (*key == "Search") {
    Skip([&] { brwWebBrowser().GoSearch(); });
  } else if (*key == "Stop") {
    Skip([&] { timTimer().SetEnabled(false); });
    Skip([&] { brwWebBrowser().Stop(); });
    Skip([&] { SetCaption(PageTitle()); });
  } else if (*key == "About") {
    Skip([&] { TheProgram().Get<frmAbout>().Show(); });
  }
}

// ---- shortcuts -------------------------------------------------------------

void Form1::Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift) {
  const Shortcut* shortcut = FindShortcut(KeyCode, Shift);
  if (shortcut == nullptr) {
    return;
  }
  WebBrowser* web = nullptr;
  Skip([&] { web = &brwWebBrowser(); });
  switch (shortcut->action) {
    case ShortcutAction::FocusAddress:
      Skip([&] { cboAddress().SetFocus(); });
      Skip([&] { cboAddress().SelectAll(); });
      break;
    case ShortcutAction::Button: {
      const std::string key = shortcut->button;
      if (key == "Stop") {
        // Esc stops a load; otherwise it is the page's or the box's.
        bool loading = false;
        Skip([&] { loading = web != nullptr && web->Busy(); });
        if (!loading) {
          return;
        }
      }
      tbToolBar_ButtonClick(ShortcutButton(key));
      break;
    }
    case ShortcutAction::ZoomIn:
    case ShortcutAction::ZoomOut:
    case ShortcutAction::ZoomReset:
      Skip([&] {
        if (web != nullptr) {
          const ShortcutAction action = shortcut->action;
          web->SetZoom(action == ShortcutAction::ZoomReset
                           ? 1.0F
                           : NextZoom(web->Zoom(), action == ShortcutAction::ZoomIn ? 1 : -1));
        }
      });
      break;
    case ShortcutAction::Find:
      Skip([&] { TheProgram().Get<frmFind>().ShowFind(); });
      break;
    case ShortcutAction::FindNext:
    case ShortcutAction::FindPrevious: {
      const bool back = shortcut->action == ShortcutAction::FindPrevious;
      Skip([&] { TheProgram().Get<frmFind>().FindAgain(back); });
      break;
    }
    // ---- print and save ----
    case ShortcutAction::Print:
      Skip([&] {
        if (web != nullptr) {
          web->Print();
        }
      });
      break;
    case ShortcutAction::SavePage:
      Skip([&] {
        if (web != nullptr) {
          web->SavePage();
        }
      });
      break;
  }
  KeyCode = 0;
}

// ---- caption and busy poll -------------------------------------------------

void Form1::timTimer_Timer() {
  const bool busy = brwWebBrowser().Busy();
  if (!busy) {
    timTimer().SetEnabled(false);
    SetCaption(PageTitle());
  } else {
    SetCaption(std::string(kBusyText) + kTitleSuffix);
  }
}

void Form1::brwWebBrowser_DownloadComplete() {
  Skip([&] { SetCaption(PageTitle()); });
}

// ---- address history ---------------------------------------------------------

void Form1::brwWebBrowser_NavigateComplete2(const std::string& /*URL*/) {
  // The address the notification carries is not used: the list keeps what
  // the web view reports as its location.
  Skip([&] { TheProgram().Get<frmFind>().PageChanged(); });
  SetCaption(PageTitle());

  ComboBox& box = cboAddress();
  const WebBrowser& web = brwWebBrowser();
  const auto last = static_cast<std::int16_t>(box.ListCount() - 1);
  bool found = false;
  std::int16_t i = 0;
  while (i <= last) {
    if (box.List(i) == web.LocationURL()) {
      found = true;
      break;
    }
    ++i;
  }

  // Selecting the new top entry raises Click, which must not navigate.
  const FlagGuard hold(HoldNavigation);
  if (found) {
    box.RemoveItem(i);
  } else if (box.ListCount() >= kMaxAddresses) {
    // A full list drops its oldest entry so the new address still goes on top.
    box.RemoveItem(static_cast<std::int16_t>(box.ListCount() - 1));
  }
  box.AddItem(web.LocationURL(), 0);
  box.SetListIndex(0);
}

void Form1::brwWebBrowser_FindResult(bool Found, std::int32_t Matches) {
  TheProgram().Get<frmFind>().SearchEnded(Found, Matches);
}

// ---- events ----------------------------------------------------------------

std::span<const Route<Form1>> Form1::Events() {
  static constexpr Route<Form1> kEvents[] = {
      {"", EventType::Resize, Call<&Form1::Form_Resize>},
      {"", EventType::KeyDown, Call<&Form1::Form_KeyDown>},
      {"cboAddress", EventType::Click, Call<&Form1::cboAddress_Click>},
      {"cboAddress", EventType::KeyPress, Call<&Form1::cboAddress_KeyPress>},
      {"tbToolBar", EventType::ButtonClick, Call<&Form1::tbToolBar_ButtonClick>},
      {"timTimer", EventType::Timer, Call<&Form1::timTimer_Timer>},
      {"brwWebBrowser", EventType::DownloadComplete, Call<&Form1::brwWebBrowser_DownloadComplete>},
      {"brwWebBrowser", EventType::NavigateComplete2,
       Call<&Form1::brwWebBrowser_NavigateComplete2>},
      {"brwWebBrowser", EventType::FindResult, Call<&Form1::brwWebBrowser_FindResult>},
  };
  return kEvents;
}

void Form1::OnEvent(Event& event) { RouteEvent(*this, Events(), event); }

}  // namespace corvane
