// A loopback HTTP server for the web view tests: a few fixed pages, one of
// them slow, and a count of the requests each path received.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvane::testing {

// A loopback port nobody listens on (it was free a moment ago).
int ClosedPort();

class LoopbackServer {
 public:
  // Pages: /first.html "First Page", /second.html "Second Page",
  // /third.html "Third Page", /home.html "Home Page", /search.html
  // "Search Page", /untitled.html (no title), /slow.html "Slow Page" (answers
  // after `slowDelay`), /moved.html (redirects to /second.html), /keys.html
  // (its title names the last key it saw, or its width after a zoom), /find.html
  // "Results" (the search page for typed words), and the pages of the
  // browsing tests, each filling the view with what a click there does:
  // /blank-link.html "Blank Link" (a link to /second.html in a new window),
  // /open-button.html "Open Button" (a button that opens /third.html with
  // window.open), /popup.html "Popup Page" (opens /home.html by script on load
  // and from a timer, never by a click, then retitles itself "Popup Done"),
  // /loop.html "Loop Page" (shortly after the load it asks for /looping.txt,
  // waiting for the answer, and then its script never returns), /busy.html
  // "Busy Page" (the same, but its script returns after six seconds),
  // /alerts.html "Alert Page"
  // (alert after alert, for good), /location.html "Location Page" (asks for
  // the location on load, then retitles itself "Location granted" or
  // "Location denied"), /download-link.html "Download Link" (a link to
  // /attachment.txt, a file "offered.txt" sent as an attachment); anything
  // else is a 404 page titled "Not Found".
  // Port 0 takes any free port.
  explicit LoopbackServer(std::uint16_t port = 0,
                          std::chrono::milliseconds slowDelay = std::chrono::milliseconds(2500));
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  [[nodiscard]] std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT" + path.
  [[nodiscard]] std::string Url(const std::string& path) const;
  [[nodiscard]] int Requests(const std::string& path) const;
  // Requests for any path.
  [[nodiscard]] int AllRequests() const;
  // The whole request target ("/find.html?q=a%20b") last asked for `path`.
  [[nodiscard]] std::string LastTarget(const std::string& path) const;

  // Requests for `path` are answered by `answer`, which writes the whole
  // reply (status line, headers, body) to the client's socket itself, on the
  // server's thread for that request. Set before the requests come.
  using Responder = std::function<void(int socket)>;
  void Route(const std::string& path, Responder answer);
  // Writes all of `data` to `socket`; false when the client has gone.
  static bool Send(int socket, const std::string& data);

 private:
  void Serve();
  void Answer(int client);

  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::chrono::milliseconds slowDelay_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::map<std::string, int> requests_;
  std::map<std::string, std::string> targets_;
  std::map<std::string, Responder> routes_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace corvane::testing
