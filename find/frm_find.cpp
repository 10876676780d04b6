#include "find/frm_find.h"

#include "app/error_modes.h"
#include "app/program.h"
#include "browser/form1.h"
#include "platform/kit/find_place.h"

namespace corvane {

frmFind::frmFind(Program& program) : Form(program, TheDesign()) {}

std::string frmFind::NotFoundText(const std::string& text) {
  return "Cannot find \"" + text + "\"";
}

std::string frmFind::MatchesText(std::int32_t matches) {
  return matches == 1 ? std::string("1 match") : std::to_string(matches) + " matches";
}

WebBrowser* frmFind::Page() const {
  Form1& browser = TheProgram().Get<Form1>();
  return browser.Loaded() ? &browser.brwWebBrowser() : nullptr;
}

void frmFind::Form_Load() {
  ownerGoing_ = false;
  Skip([&] { txtFind().SetText(FindWhat); });
  Skip([&] { chkMatchCase().SetValue(MatchCase); });
  Skip([&] { (SearchUp ? optUp() : optDown()).SetValue(true); });
}

void frmFind::ShowFind() {
  // The window belongs to the browser window: none without it.
  if (!TheProgram().Get<Form1>().Loaded()) {
    return;
  }
  Show();
  Skip([&] { txtFind().SetFocus(); });
  Skip([&] { txtFind().SelectAll(); });
}

void frmFind::SetStatus(const std::string& text) {
  if (Loaded()) {
    Skip([&] { lblStatus().SetCaption(text); });
  }
}

void frmFind::Search(bool backwards) {
  WebBrowser* page = Page();
  if (page == nullptr) {
    return;
  }
  SetStatus("");
  if (searching_ && searched_ == FindWhat && searchedCase_ == MatchCase) {
    if (backwards) {
      page->FindPrevious();
    } else {
      page->FindNext();
    }
    return;
  }
  searching_ = false;
  searched_ = FindWhat;
  searchedCase_ = MatchCase;
  page->Find(FindWhat, MatchCase, backwards);
  searching_ = true;
}

void frmFind::cmdFindNext_Click() {
  Skip([&] { FindWhat = txtFind().Text(); });
  Skip([&] { MatchCase = chkMatchCase().Value(); });
  Skip([&] { SearchUp = optUp().Value(); });
  if (FindWhat.empty()) {
    Skip([&] { txtFind().SetFocus(); });
    return;
  }
  Search(SearchUp);
}

void frmFind::FindAgain(bool backwards) {
  if (FindWhat.empty()) {
    ShowFind();
    return;
  }
  Search(backwards);
}

void frmFind::SearchEnded(bool found, std::int32_t matches) {
  if (!found) {
    // Said in the window, opened for it when the search came from a key.
    if (!Loaded()) {
      ShowFind();
    }
    SetStatus(NotFoundText(searched_));
    return;
  }
  SetStatus(matches >= 0 ? MatchesText(matches) : std::string());
  Skip([&] { ClearTheMatch(); });
}

void frmFind::ClearTheMatch() {
  WebBrowser* page = Page();
  if (page == nullptr || !Loaded()) {
    return;
  }
  const std::optional<Rect> match = page->MatchArea();
  if (!match) {
    return;
  }
  NativeWindow& window = Window();
  const Rect now = window.ScreenArea();
  const Rect place = PlaceClearOf(now, *match, window.WorkArea());
  if (place.left != now.left || place.top != now.top) {
    window.MoveTo(place.left, place.top);
  }
}

void frmFind::cmdCancel_Click() { Unload(); }

void frmFind::CloseWithOwner() {
  ownerGoing_ = true;
  Unload();
}

void frmFind::Form_Unload() {
  // The page keeps its selection; the keyboard goes back to it, unless the
  // browser window is going too.
  if (ownerGoing_) {
    searching_ = false;
    return;
  }
  if (WebBrowser* page = Page()) {
    if (searching_) {
      Skip([&] { page->FindFinish(); });
      searching_ = false;
    }
  }
  // Once this window is off the screen (the window system hands the
  // keyboard on as a window goes).
  Program& program = TheProgram();
  program.ThePorts().backend.Post([&program] {
    Form1& browser = program.Get<Form1>();
    if (browser.Loaded()) {
      Skip([&] { browser.brwWebBrowser().SetFocus(); });
    }
  });
}

std::span<const Route<frmFind>> frmFind::Events() {
  static constexpr Route<frmFind> kEvents[] = {
      {"cmdFindNext", EventType::Click, Call<&frmFind::cmdFindNext_Click>},
      {"cmdCancel", EventType::Click, Call<&frmFind::cmdCancel_Click>},
  };
  return kEvents;
}

void frmFind::OnEvent(Event& event) { RouteEvent(*this, Events(), event); }

}  // namespace corvane
