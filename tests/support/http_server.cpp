#include "tests/support/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <utility>

namespace corvane::testing {

int ClosedPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(s);
  return ntohs(address.sin_port);
}

namespace {

std::string Page(const std::string& title, const std::string& body) {
  std::string head = title.empty() ? "" : "<title>" + title + "</title>";
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\">" + head + "</head><body><h1>" +
         body + "</h1><p><a href=\"/second.html\">second</a></p></body></html>";
}

// Pages with a script or a control that fills the view, so that a click
// anywhere in it reaches it.
const std::map<std::string, std::pair<std::string, std::string>>& ScriptedPages() {
  static const std::string kFill = "position:fixed;left:0;top:0;width:100%;height:100%;";
  static const std::map<std::string, std::pair<std::string, std::string>> pages = {
      {"/blank-link.html",
       {"Blank Link", "<a target=\"_blank\" href=\"/second.html\" style=\"" + kFill +
                          "display:block\">a new window</a>"}},
      {"/open-button.html",
       {"Open Button", "<button style=\"" + kFill +
                           "\" onclick=\"window.open('/third.html')\">open</button>"}},
      {"/popup.html",
       {"Popup Page", "<script>window.open('/home.html');"
                      "setTimeout(function(){window.open('/home.html?timer');"
                      "document.title='Popup Done'},100);</script>"}},
      {"/loop.html",
       {"Loop Page", "<div style=\"" + kFill + "\">busy</div><script>"
                     "setTimeout(function(){var r=new XMLHttpRequest();"
                     "r.open('GET','/looping.txt',false);r.send();for(;;){}},300);</script>"}},
      {"/busy.html",
       {"Busy Page", "<div style=\"" + kFill + "\">busy</div><script>"
                     "setTimeout(function(){var r=new XMLHttpRequest();"
                     "r.open('GET','/busy.txt',false);r.send();"
                     "var end=Date.now()+6000;while(Date.now()<end){}},300);</script>"}},
      {"/alerts.html",
       {"Alert Page", "<script>setTimeout(function(){for(;;){alert('Again')}},100);</script>"}},
      {"/location.html",
       {"Location Page", "<script>navigator.geolocation.getCurrentPosition("
                         "function(){document.title='Location granted'},"
                         "function(e){document.title='Location '+(e.code==1?'denied':'granted')},"
                         "{timeout:3000});</script>"}},
      {"/download-link.html",
       {"Download Link", "<a href=\"/attachment.txt\" style=\"" + kFill +
                             "display:block\">a file</a>"}},
      {"/keys.html",
       {"Keys Page", "<script>addEventListener('keydown', e => {"
                     " if (e.key.length == 1 || e.key == 'Escape') document.title = 'key ' + e.key; });"
                     "addEventListener('resize', () => { document.title = 'width ' + innerWidth; });"
                     "</script><p>keys</p>"}},
  };
  return pages;
}

void SendAll(int socket, const std::string& data) { LoopbackServer::Send(socket, data); }

}  // namespace

LoopbackServer::LoopbackServer(std::uint16_t port, std::chrono::milliseconds slowDelay)
    : slowDelay_(slowDelay) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) {
    throw std::runtime_error("socket failed");
  }
  const int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 32) != 0) {
    ::close(listener_);
    throw std::runtime_error("the test server cannot listen on port " + std::to_string(port));
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  wake_.notify_all();
  acceptor_.join();
  for (std::thread& worker : workers_) {
    worker.join();
  }
  ::close(listener_);
}

std::string LoopbackServer::LastTarget(const std::string& path) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  auto it = targets_.find(path);
  return it == targets_.end() ? std::string() : it->second;
}

std::string LoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool LoopbackServer::Send(int socket, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void LoopbackServer::Route(const std::string& path, Responder answer) {
  const std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(answer);
}

int LoopbackServer::Requests(const std::string& path) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  auto it = requests_.find(path);
  return it == requests_.end() ? 0 : it->second;
}

int LoopbackServer::AllRequests() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  int all = 0;
  for (const auto& [path, count] : requests_) {
    all += count;
  }
  return all;
}

void LoopbackServer::Serve() {
  while (!stopping_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) {
      continue;
    }
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0) {
      workers_.emplace_back([this, client] {
        Answer(client);
        ::close(client);
      });
    }
  }
}

void LoopbackServer::Answer(int client) {
  std::string request;
  char buffer[2048];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    pollfd readable{client, POLLIN, 0};
    if (stopping_ || ::poll(&readable, 1, 2000) <= 0) {
      return;
    }
    const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) {
      return;
    }
    request.append(buffer, static_cast<std::size_t>(n));
  }
  const std::size_t start = request.find(' ');
  const std::size_t end = request.find(' ', start + 1);
  std::string path =
      start == std::string::npos ? "/" : request.substr(start + 1, end - start - 1);
  const std::string target = path;
  if (const std::size_t query = path.find('?'); query != std::string::npos) {
    path.resize(query);
  }
  Responder route;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++requests_[path];
    targets_[path] = target;
    if (auto it = routes_.find(path); it != routes_.end()) {
      route = it->second;
    }
  }
  if (route) {
    route(client);
    return;
  }
  static const std::map<std::string, std::string> kTitles = {
      {"/first.html", "First Page"}, {"/second.html", "Second Page"},
      {"/third.html", "Third Page"}, {"/home.html", "Home Page"},
      {"/search.html", "Search Page"}, {"/slow.html", "Slow Page"},
      {"/untitled.html", ""}, {"/find.html", "Results"}};
  if (path == "/slow.html") {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, slowDelay_, [this] { return stopping_.load(); });
  }
  if (path == "/moved.html") {
    SendAll(client, "HTTP/1.1 302 Found\r\nLocation: /second.html\r\nContent-Length: 0\r\n"
                    "Connection: close\r\n\r\n");
    return;
  }
  if (path == "/attachment.txt") {
    SendAll(client, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                    "Content-Disposition: attachment; filename=\"offered.txt\"\r\n"
                    "Content-Length: 8\r\nConnection: close\r\n\r\nOffered\n");
    return;
  }
  auto it = kTitles.find(path);
  auto scripted = ScriptedPages().find(path);
  const bool found = it != kTitles.end() || scripted != ScriptedPages().end();
  const std::string body = it != kTitles.end() ? Page(it->second, "Page " + path)
                           : found ? "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" +
                                         scripted->second.first + "</title></head><body>" +
                                         scripted->second.second + "</body></html>"
                                   : Page("Not Found", "Not found");
  SendAll(client, std::string(found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                      "Content-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                      "Connection: close\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\n\r\n" + body);
}

}  // namespace corvane::testing
