#include "platform/host/instance_channel.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <utility>

#include "platform/host/user_runtime_dir.h"

namespace pache::host {

namespace {

constexpr char kSocketName[] = "/pache.socket";
constexpr std::size_t kMaxRequest = 256;

bool SocketAddress(const std::string& runtimeDirectory, sockaddr_un& address) {
  std::string path = runtimeDirectory + kSocketName;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

void SetTimeout(int fd, int seconds) {
  timeval timeout = {seconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

// Reads one line of at most kMaxRequest bytes, without its line feed.
bool ReadLine(int fd, std::string& line) {
  line.clear();
  char c;
  while (line.size() < kMaxRequest) {
    ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (c == '\n') return true;
    line += c;
  }
  return false;
}

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t put = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    done += static_cast<std::size_t>(put);
  }
}

void Serve(int listener, FrontRequestHandler handler) {
  for (;;) {
    int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    SetTimeout(connection, 2);
    std::string className;
    if (ReadLine(connection, className)) WriteAll(connection, handler(className.c_str()) ? "1\n" : "0\n");
    close(connection);
  }
}

}  // namespace

bool ListenForFrontRequests(const std::string& runtimeDirectory, FrontRequestHandler handler) {
  sockaddr_un address;
  if (!SocketAddress(runtimeDirectory, address)) return false;
  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) return false;
  // The lock holder owns the name: a socket left by a copy that crashed
  // goes.
  unlink(address.sun_path);
  // The folder is the user's own; the socket is too.
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      chmod(address.sun_path, 0600) != 0 || listen(listener, 4) != 0) {
    close(listener);
    return false;
  }
  std::thread(Serve, listener, std::move(handler)).detach();
  return true;
}

bool AskOtherInstanceToFront(const char* className) {
  std::string directory;
  sockaddr_un address;
  if (className == nullptr || std::strlen(className) >= kMaxRequest ||
      std::strchr(className, '\n') != nullptr || !UserRuntimeDirectory(directory) ||
      !SocketAddress(directory, address))
    return false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  SetTimeout(fd, 3);
  std::string answer;
  bool asked = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (asked) {
    WriteAll(fd, std::string(className) + "\n");
    asked = ReadLine(fd, answer) && answer == "1";
  }
  close(fd);
  return asked;
}

}  // namespace pache::host
