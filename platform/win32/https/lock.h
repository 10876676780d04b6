// The https handler's lock: a CRITICAL_SECTION, there on every Windows the
// program runs on (XP has no slim locks and no condition variables: the
// handler waits on events), and its holding for one scope.
#pragma once

#include <windows.h>

namespace corvane::win32::https {

// A CRITICAL_SECTION for one owner's lifetime.
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

}  // namespace corvane::win32::https
