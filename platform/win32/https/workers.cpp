#include "platform/win32/https/workers.h"

#include <utility>

namespace corvane::win32::https {

namespace {

struct Queued {
  std::shared_ptr<Workers> workers;
  std::unique_ptr<Workers::Work> work;
  std::shared_ptr<std::atomic<bool>> cancelled;
};

}  // namespace

Workers::Workers() : idle_(::CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

bool Workers::Run(std::unique_ptr<Work> work, std::shared_ptr<std::atomic<bool>> cancelled) {
  {
    Locked locked(lock_);
    if (closing_) {
      *cancelled = true;  // the run ends: the request gives up at once
    }
    running_.push_back(cancelled);
    ::ResetEvent(idle_.get());
  }
  auto queued = std::make_unique<Queued>(Queued{shared_from_this(), std::move(work), cancelled});
  if (::QueueUserWorkItem(Start, queued.get(), WT_EXECUTELONGFUNCTION) == FALSE) {
    Ended(cancelled.get());
    return false;
  }
  static_cast<void>(queued.release());  // the pool thread owns it now
  return true;
}

DWORD WINAPI Workers::Start(void* parameter) noexcept {
  std::unique_ptr<Queued> queued(static_cast<Queued*>(parameter));
  queued->work->Do();
  const std::shared_ptr<Workers> workers = std::move(queued->workers);
  const std::shared_ptr<std::atomic<bool>> cancelled = std::move(queued->cancelled);
  queued.reset();  // the request's parts go before it counts as ended
  workers->Ended(cancelled.get());
  return 0;
}

void Workers::Ended(const std::atomic<bool>* cancelled) noexcept {
  Locked locked(lock_);
  std::erase_if(running_, [&](const auto& flag) { return flag.get() == cancelled; });
  if (running_.empty()) {
    ::SetEvent(idle_.get());
  }
}

std::size_t Workers::Running() {
  Locked locked(lock_);
  return running_.size();
}

bool Workers::CancelAndWait(DWORD limitMs) {
  {
    Locked locked(lock_);
    closing_ = true;
    for (const auto& flag : running_) {
      *flag = true;
    }
  }
  return ::WaitForSingleObject(idle_.get(), limitMs) == WAIT_OBJECT_0;
}

}  // namespace corvane::win32::https
