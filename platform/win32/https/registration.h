// The program's own https handler, registered for this process only on
// systems whose TLS cannot reach today's servers. Nothing is written to the
// registry: the registration lives in the process's internet session and
// goes with it.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <memory>

#include "platform/win32/handles.h"
#include "platform/win32/https/protocol.h"
#include "platform/win32/system_library.h"

namespace corvane::win32::https {

// Whether the system's own TLS is too old for today's servers (no TLS 1.2
// with ECDHE and AES-GCM by default): Windows XP and Server 2003 (5.x),
// Vista and Server 2008 (6.0), 7 and Server 2008 R2 (6.1). Windows 8 (6.2)
// and later are left to the system.
bool SystemTlsTooOld(unsigned major, unsigned minor);

// The version of the running system, as GetVersionExW tells it.
bool SystemTlsTooOld();

struct HandlerSettings {
  unsigned long connectTimeoutMs = 30000;  // a connection and its handshake
  unsigned long readTimeoutMs = 60000;     // each read and write after it
  // Register on any system (tests: under any Windows version Wine reports).
  bool evenOnNewerSystems = false;
};

// The handler's registration for the run: made after OLE is started and
// before the first page; its end unregisters the handler, cancels the
// requests in flight and waits (a short while) for their threads.
class HttpsRegistration {
 public:
  explicit HttpsRegistration(const HandlerSettings& settings = {});
  HttpsRegistration(const HttpsRegistration&) = delete;
  HttpsRegistration& operator=(const HttpsRegistration&) = delete;
  ~HttpsRegistration();

  [[nodiscard]] bool Registered() const { return static_cast<bool>(session_); }
  // Requests whose worker thread still runs.
  [[nodiscard]] std::size_t Running() const;

 private:
  Library urlmon_;  // goes last, after the session
  std::shared_ptr<Workers> workers_ = std::make_shared<Workers>();
  ComPtr<IClassFactory> factory_;
  ComPtr<IInternetSession> session_;  // held only while registered
};

}  // namespace corvane::win32::https
