// The https handler's requests at work, on the system's thread pool.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/https/lock.h"

namespace corvane::win32::https {

// The handler's requests at work: each runs on a thread of the system's
// pool (no thread made per request: that costs more than a request to a
// kept connection), and each one's cancel flag is kept, so that the end of
// the run can cancel them all and wait.
class Workers : public std::enable_shared_from_this<Workers> {
 public:
  // One request's work.
  class Work {
   public:
    virtual ~Work() = default;
    virtual void Do() noexcept = 0;
  };

  Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Runs `work` on a pool thread, as a request watching `cancelled` (set
  // at once when the run is ending). False when the pool takes no more.
  bool Run(std::unique_ptr<Work> work, std::shared_ptr<std::atomic<bool>> cancelled);
  // Sets every running request's cancel flag and waits for them to end,
  // up to `limitMs`. Answers whether every one ended.
  bool CancelAndWait(DWORD limitMs);
  // Requests not yet ended.
  std::size_t Running();

 private:
  static DWORD WINAPI Start(void* queued) noexcept;
  void Ended(const std::atomic<bool>* cancelled) noexcept;

  Lock lock_;
  std::vector<std::shared_ptr<std::atomic<bool>>> running_;
  KernelHandle idle_;  // set while nothing runs
  bool closing_ = false;
};

}  // namespace corvane::win32::https
