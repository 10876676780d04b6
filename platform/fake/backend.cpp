#include "platform/fake/fake_backend.h"

#include <stdexcept>
#include <utility>

namespace corvane::fake {

void Faults::Check(const std::string& operation) const {
  if (!failing_.empty() && failing_.count(operation) != 0) {
    throw Failure(operation + " failed");
  }
}

FakeBackend::~FakeBackend() = default;

std::unique_ptr<NativeWindow> FakeBackend::MakeWindow(const WindowDesign& design,
                                                      EventSink& sink) {
  faults.Check("MakeWindow");
  auto window = std::make_unique<FakeWindow>(*this, design, sink);
  if (onCreate) {
    onCreate(*window);
  }
  return window;
}

void FakeBackend::Run() {
  ++runs_;
  Drain();
}

void FakeBackend::Quit() {
  ++quits_;
  Note("quit");
}

void FakeBackend::Post(std::function<void()> task) { posted_.push_back(std::move(task)); }

void FakeBackend::Drain() {
  if (draining_) {
    return;
  }
  draining_ = true;
  while (!posted_.empty()) {
    std::vector<std::function<void()>> batch;
    batch.swap(posted_);
    for (auto& task : batch) {
      task();
    }
  }
  draining_ = false;
}

FakeWindow* FakeBackend::Find(const std::string& name) const {
  auto it = live_.find(name);
  return it == live_.end() ? nullptr : it->second;
}

FakeWindow& FakeBackend::Window(const std::string& name) const {
  FakeWindow* window = Find(name);
  if (window == nullptr) {
    throw std::logic_error("no live window " + name);
  }
  return *window;
}

void FakeBackend::Note(const std::string& entry) {
  journal_.push_back(entry);
  if (onNote) {
    onNote(entry);
  }
}

}  // namespace corvane::fake
