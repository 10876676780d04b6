// The program's own handler of https addresses for the web control, on
// systems whose TLS is too old for today's servers: an asynchronous
// pluggable protocol that fetches with net::Exchange over the program's own
// TLS on worker threads, and reports to the control on its own thread.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <memory>
#include <vector>

#include "net/http_exchange.h"
#include "platform/win32/handles.h"

namespace corvane::win32::https {

// A CRITICAL_SECTION for one owner's lifetime (Windows XP has no condition
// variables and no slim locks: the handler uses these and events).
class Lock {
 public:
  Lock() { ::InitializeCriticalSection(&section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock() { ::DeleteCriticalSection(&section_); }
  void Enter() { ::EnterCriticalSection(&section_); }
  void Leave() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

// Holds a Lock for one scope.
class Locked {
 public:
  explicit Locked(Lock& lock) : lock_(lock) { lock_.Enter(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  ~Locked() { lock_.Leave(); }

 private:
  Lock& lock_;
};

// What every request of the process shares: where connections come from,
// where cookies are kept. Workers hold it too, so it outlives the last one.
struct Transport {
  std::unique_ptr<net::Connections> connections;
  std::unique_ptr<net::CookieStore> cookies;  // may be null: no cookies
};

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

// The class factory urlmon makes our protocol objects with (no
// aggregation). The objects share `transport` and report to `workers`.
ComPtr<IClassFactory> MakeProtocolFactory(std::shared_ptr<Transport> transport,
                                          std::shared_ptr<Workers> workers);

// The HRESULT and the internet error a failed fetch ends with, as the
// control's error pages tell them: certificate problems as the internet
// functions' certificate errors, a server without TLS 1.2 as a failed secure
// channel, the network's faults as urlmon's own codes.
struct FetchFailure {
  HRESULT result;
  DWORD error;  // ERROR_INTERNET_..., or 0
};
FetchFailure FailureOf(net::FetchError error, int detail);

}  // namespace corvane::win32::https
