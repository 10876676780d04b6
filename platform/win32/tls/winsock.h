// Winsock for the program's own TLS: ws2_32.dll is loaded from the system
// folder at run time (never a file of that name beside the program), so the
// program imports nothing from it by name.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <utility>

namespace corvane::win32::tls {

// The ws2_32 functions the connection uses; each exists on Windows XP.
struct Winsock {
  decltype(&::getaddrinfo) getaddrinfo = nullptr;
  decltype(&::freeaddrinfo) freeaddrinfo = nullptr;
  decltype(&::socket) socket = nullptr;
  decltype(&::connect) connect = nullptr;
  decltype(&::closesocket) closesocket = nullptr;
  decltype(&::send) send = nullptr;
  decltype(&::recv) recv = nullptr;
  decltype(&::select) select = nullptr;
  decltype(&::ioctlsocket) ioctlsocket = nullptr;
  decltype(&::getsockopt) getsockopt = nullptr;
  decltype(&::WSAGetLastError) WSAGetLastError = nullptr;
};

// Winsock, loaded and started once for the run (and cleaned up at its end);
// null when the system has no usable ws2_32.
const Winsock* LoadWinsock() noexcept;

// A socket, closed when its owner goes; moves, never copies.
class Socket {
 public:
  Socket() = default;
  explicit Socket(SOCKET socket) noexcept : socket_(socket) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket(Socket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      reset(std::exchange(other.socket_, INVALID_SOCKET));
    }
    return *this;
  }
  ~Socket() { reset(); }

  [[nodiscard]] SOCKET get() const noexcept { return socket_; }
  explicit operator bool() const noexcept { return socket_ != INVALID_SOCKET; }
  void reset(SOCKET socket = INVALID_SOCKET) noexcept;

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

// getaddrinfo's answer, freed when its owner goes.
class AddressList {
 public:
  AddressList() = default;
  AddressList(const AddressList&) = delete;
  AddressList& operator=(const AddressList&) = delete;
  ~AddressList();
  addrinfo** out() noexcept { return &list_; }
  [[nodiscard]] const addrinfo* get() const noexcept { return list_; }

 private:
  addrinfo* list_ = nullptr;
};

}  // namespace corvane::win32::tls
