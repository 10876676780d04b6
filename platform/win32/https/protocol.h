// The program's own handler of https addresses for the web control, on
// systems whose TLS is too old for today's servers: an asynchronous
// pluggable protocol that fetches with net::Exchange over the program's own
// TLS on threads of the system's pool (workers.h), and reports to the control
// on its own thread.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <memory>
#include <vector>

#include "net/http_exchange.h"
#include "platform/win32/handles.h"
#include "platform/win32/https/lock.h"
#include "platform/win32/https/workers.h"

namespace corvane::win32::https {

// What every request of the process shares: where connections come from,
// where cookies are kept. Workers hold it too, so it outlives the last one.
struct Transport {
  std::unique_ptr<net::Connections> connections;
  std::unique_ptr<net::CookieStore> cookies;  // may be null: no cookies
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
