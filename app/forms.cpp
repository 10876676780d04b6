#include "app/forms.h"

#include <exception>
#include <utility>

#include "app/program.h"

namespace corvane {

void WindowLink::Raise(Event& event) {
  if (form_ != nullptr) {
    form_->HandleEvent(event);
  }
}

Form::Form(Program& program, const WindowDesign& design) : program_(program), design_(design) {}

Form::~Form() = default;

void Form::Load() {
  if (loaded_) {
    return;
  }
  auto loaded = std::make_unique<LoadedWindow>(*this);
  loaded->window = program_.ports_.backend.MakeWindow(design_, loaded->link);
  loaded_ = std::move(loaded);
  program_.NoteLoaded();
  Form_Load();
}

void Form::Show() {
  // A load that fails half-way still leaves a window the user can see and
  // close; a loaded window nobody can see would keep the program alive.
  std::exception_ptr failure;
  try {
    Load();
  } catch (...) {
    failure = std::current_exception();
  }
  // Form_Load may have unloaded the window again.
  if (loaded_) {
    loaded_->window->Show();
  }
  if (failure) {
    std::rethrow_exception(failure);
  }
}

void Form::Unload() {
  if (!loaded_) {
    return;
  }
  Form_Unload();
  if (!loaded_) {
    return;  // Form_Unload unloaded it already
  }
  std::unique_ptr<LoadedWindow> gone = std::move(loaded_);
  gone->link.Cut();
  gone->window->Hide();
  program_.Retire(std::move(gone));
}

NativeWindow& Form::Window() const {
  if (!loaded_) {
    throw Failure(design_.name + " is not loaded");
  }
  return *loaded_->window;
}

void Form::HandleEvent(Event& event) { program_.Dispatch(*this, event); }

}  // namespace corvane
