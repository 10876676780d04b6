#include "platform/posix/posix_shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/ports/failure.h"

namespace corvane {

namespace {

// A file descriptor, closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }
  void Close() {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  [[nodiscard]] int Get() const { return fd_; }

 private:
  int fd_;
};

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

PosixShell::PosixShell(MessageBoxFunction messageBox) : messageBox_(std::move(messageBox)) {}

std::string PosixShell::FindFile(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return {};
  }
  std::string name = BaseName(path);
  if (name.empty() || name.front() == '.') {
    return {};
  }
  return name;
}

void PosixShell::StartProgram(const std::string& path) {
  if (path.empty()) {
    throw Failure("File not found");
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw Failure("File not found: " + path);
  }
  // The grandchild reports a failed exec through this pipe; a successful
  // exec closes it (close-on-exec) without a word.
  int ends[2] = {-1, -1};
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    throw Failure("cannot start " + path);
  }
  Descriptor readEnd(ends[0]);
  Descriptor writeEnd(ends[1]);
  // Everything the children use is ready before fork: after it they only
  // call fork, execv, write and _exit.
  std::string program = path;
  char* const argv[] = {program.data(), nullptr};

  const pid_t middle = ::fork();
  if (middle < 0) {
    throw Failure("cannot start " + path);
  }
  if (middle == 0) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::execv(argv[0], argv);
      const int error = errno;
      const ssize_t written = ::write(ends[1], &error, sizeof error);
      ::_exit(written == sizeof error ? 127 : 126);
    }
    ::_exit(child < 0 ? 1 : 0);
  }
  writeEnd.Close();
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(readEnd.Get(), &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got != 0) {
    throw Failure("cannot start " + path);
  }
}

void PosixShell::ShowMessage(const std::string& text, const std::string& title) {
  if (messageBox_) {
    messageBox_(text, title);
  } else {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
}

}  // namespace corvane
