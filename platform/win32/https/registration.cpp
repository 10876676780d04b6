#include "platform/win32/https/registration.h"

#include <utility>

#include "platform/win32/https/connections.h"
#include "platform/win32/https/proxy.h"
#include "platform/win32/https/wininet_cookies.h"
#include "platform/win32/system_library.h"

namespace corvane::win32::https {

namespace {

// Our handler's class identifier, known to this process's session only.
constexpr CLSID kHandlerClass = {
    0x5d3c2a71, 0x8e4b, 0x4f0a, {0x9c, 0x61, 0x27, 0xb3, 0x0e, 0x94, 0xd5, 0x48}};

// How long the end of the run waits for requests in flight to give up.
constexpr DWORD kEndWaitMs = 3000;

ComPtr<IInternetSession> InternetSession(HMODULE urlmon) {
  using GetSession = HRESULT(WINAPI*)(DWORD, IInternetSession**, DWORD);
  const auto get = LibraryFunction<GetSession>(urlmon, "CoInternetGetSession");
  ComPtr<IInternetSession> session;
  if (get == nullptr || FAILED(get(0, session.Out(), 0))) {
    session.reset();
  }
  return session;
}

}  // namespace

bool SystemTlsTooOld(unsigned major, unsigned minor) {
  return major < 6 || (major == 6 && minor < 2);
}

bool SystemTlsTooOld() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (::GetVersionExW(&version) == FALSE) {
    return false;  // unknown: the system's own stack
  }
#pragma GCC diagnostic pop
  return SystemTlsTooOld(version.dwMajorVersion, version.dwMinorVersion);
}

HttpsRegistration::HttpsRegistration(const HandlerSettings& settings) {
  if (!settings.evenOnNewerSystems && !SystemTlsTooOld()) {
    return;
  }
  // urlmon from the system folder: the control loads the same one.
  urlmon_ = LoadSystemLibrary(L"urlmon.dll");
  ComPtr<IInternetSession> session = InternetSession(urlmon_.get());
  if (!session) {
    return;  // the control fetches as the system does
  }
  auto transport = std::make_shared<Transport>();
  // The user's proxy as the system's settings name it, read once for the run.
  transport->connections = std::make_unique<TlsConnections>(
      UserProxySettings(), Timeouts{settings.connectTimeoutMs, settings.readTimeoutMs});
  transport->cookies = std::make_unique<WinInetCookies>();
  factory_ = MakeProtocolFactory(std::move(transport), workers_);
  if (SUCCEEDED(session->RegisterNameSpace(factory_.get(), kHandlerClass, L"https", 0, nullptr, 0))) {
    session_ = std::move(session);
  }
}

HttpsRegistration::~HttpsRegistration() {
  if (session_) {
    session_->UnregisterNameSpace(factory_.get(), L"https");
  }
  workers_->CancelAndWait(kEndWaitMs);
}

std::size_t HttpsRegistration::Running() const { return workers_->Running(); }

}  // namespace corvane::win32::https
