#include "app/program.h"

#include <utility>

#include "about/frm_about.h"
#include "browser/form1.h"
#include "find/frm_find.h"
#include "splash/frm_splash.h"

namespace corvane {

Program::Program(Ports ports, BuildSettings settings)
    : ports_(ports), settings_(std::move(settings)) {}

Program::~Program() {
  // Windows go before the forms whose links they point at.
  // Owned windows go before their owner.
  for (Form* form : {static_cast<Form*>(find_.get()), static_cast<Form*>(splash_.get()),
                     static_cast<Form*>(browser_.get()), static_cast<Form*>(about_.get())}) {
    if (form != nullptr && form->loaded_) {
      form->loaded_->link.Cut();
      form->loaded_.reset();
    }
  }
  retired_.clear();
}

template <>
frmSplash& Program::Get<frmSplash>() {
  if (!splash_) {
    splash_ = std::make_unique<frmSplash>(*this);
  }
  return *splash_;
}

template <>
Form1& Program::Get<Form1>() {
  if (!browser_) {
    browser_ = std::make_unique<Form1>(*this);
  }
  return *browser_;
}

template <>
frmAbout& Program::Get<frmAbout>() {
  if (!about_) {
    about_ = std::make_unique<frmAbout>(*this);
  }
  return *about_;
}

template <>
frmFind& Program::Get<frmFind>() {
  if (!find_) {
    find_ = std::make_unique<frmFind>(*this);
  }
  return *find_;
}

void Program::Start() {
  // Start-up runs outside any event, so it has its own boundary.
  try {
    Get<frmSplash>().Show();
  } catch (...) {  // NOLINT(bugprone-empty-catch): a failing start-up window still runs
  }
}

int Program::Run() {
  Start();
  // Without a window nobody could ever end the loop.
  if (loaded_ > 0) {
    ports_.backend.Run();
  }
  DestroyRetired();
  return 0;
}

void Program::Dispatch(Form& form, Event& event) noexcept {
  try {
    if (event.type == EventType::Close) {
      form.Unload();
    } else {
      form.OnEvent(event);
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): the boundary that keeps the program alive
  }
}

void Program::NoteLoaded() {
  ++loaded_;
  ended_ = false;
}

void Program::Retire(std::unique_ptr<LoadedWindow> window) {
  retired_.push_back(std::move(window));
  --loaded_;
  if (!collectionPosted_) {
    collectionPosted_ = true;
    ports_.backend.Post([this] { DestroyRetired(); });
  }
  if (loaded_ == 0) {
    ended_ = true;
    ports_.backend.Quit();
  }
}

void Program::DestroyRetired() {
  collectionPosted_ = false;
  // Destroying a window may raise events of its own; take the list first.
  while (!retired_.empty()) {
    std::vector<std::unique_ptr<LoadedWindow>> batch;
    batch.swap(retired_);
    batch.clear();
  }
}

}  // namespace corvane
