#include "app/program.h"

#include <utility>


namespace corvane {

Program::Program(Ports ports, BuildSettings settings)
    : ports_(ports), settings_(std::move(settings)) {}

Program::~Program() {
  // Windows go before the forms whose links they point at, the latest made
  // first: a window another one owns is made after its owner, and goes
  // before it.
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) {
    Form& form = *it->second;
    if (form.loaded_) {
      form.loaded_->link.Cut();
      form.loaded_.reset();
    }
  }
  retired_.clear();
  while (!forms_.empty()) {
    forms_.pop_back();
  }
}

void Program::Start(const std::function<void()>& startUp) {
  // Start-up runs outside any event, so it has its own boundary.
  try {
    startUp();
  } catch (...) {  // NOLINT(bugprone-empty-catch): a failing start-up window still runs
  }
}

int Program::Run(const std::function<void()>& startUp) {
  Start(startUp);
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
