#include "platform/win32/tls/winsock.h"

#include "platform/win32/system_library.h"

namespace corvane::win32::tls {
namespace {

class LoadedWinsock {
 public:
  LoadedWinsock() noexcept : library_(LoadSystemLibrary(L"ws2_32.dll")) {
    const HMODULE module = library_.get();
    using Startup = decltype(&::WSAStartup);
    const auto startup = LibraryFunction<Startup>(module, "WSAStartup");
    cleanup_ = LibraryFunction<decltype(&::WSACleanup)>(module, "WSACleanup");
    Winsock& w = functions_;
    w.getaddrinfo = LibraryFunction<decltype(w.getaddrinfo)>(module, "getaddrinfo");
    w.freeaddrinfo = LibraryFunction<decltype(w.freeaddrinfo)>(module, "freeaddrinfo");
    w.socket = LibraryFunction<decltype(w.socket)>(module, "socket");
    w.connect = LibraryFunction<decltype(w.connect)>(module, "connect");
    w.closesocket = LibraryFunction<decltype(w.closesocket)>(module, "closesocket");
    w.send = LibraryFunction<decltype(w.send)>(module, "send");
    w.recv = LibraryFunction<decltype(w.recv)>(module, "recv");
    w.select = LibraryFunction<decltype(w.select)>(module, "select");
    w.ioctlsocket = LibraryFunction<decltype(w.ioctlsocket)>(module, "ioctlsocket");
    w.getsockopt = LibraryFunction<decltype(w.getsockopt)>(module, "getsockopt");
    w.WSAGetLastError = LibraryFunction<decltype(w.WSAGetLastError)>(module, "WSAGetLastError");
    const bool complete = startup != nullptr && cleanup_ != nullptr && w.getaddrinfo != nullptr &&
                          w.freeaddrinfo != nullptr && w.socket != nullptr && w.connect != nullptr &&
                          w.closesocket != nullptr && w.send != nullptr && w.recv != nullptr &&
                          w.select != nullptr && w.ioctlsocket != nullptr &&
                          w.getsockopt != nullptr && w.WSAGetLastError != nullptr;
    WSADATA data;
    started_ = complete && startup(MAKEWORD(2, 2), &data) == 0;
  }
  ~LoadedWinsock() {
    if (started_) {
      cleanup_();
    }
  }
  LoadedWinsock(const LoadedWinsock&) = delete;
  LoadedWinsock& operator=(const LoadedWinsock&) = delete;

  [[nodiscard]] const Winsock* get() const noexcept { return started_ ? &functions_ : nullptr; }

 private:
  Library library_;
  decltype(&::WSACleanup) cleanup_ = nullptr;
  Winsock functions_;
  bool started_ = false;
};

}  // namespace

const Winsock* LoadWinsock() noexcept {
  static const LoadedWinsock loaded;
  return loaded.get();
}

void Socket::reset(SOCKET socket) noexcept {
  if (socket_ != INVALID_SOCKET) {
    LoadWinsock()->closesocket(socket_);
  }
  socket_ = socket;
}

AddressList::~AddressList() {
  if (list_ != nullptr) {
    LoadWinsock()->freeaddrinfo(list_);
  }
}

}  // namespace corvane::win32::tls
