#include "platform/host/wine_server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/host/host_registry.h"

namespace pache::host {

namespace {

bool SocketAnswers(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool answers = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return answers;
}

}  // namespace

std::string WineServerDirectory(const std::string& prefixDirectory, const std::string& tmpRoot) {
  struct stat st {};
  if (stat(prefixDirectory.c_str(), &st) != 0) return std::string();
  char name[96];
  std::snprintf(name, sizeof name, "/.wine-%u/server-%llx-%llx", static_cast<unsigned>(getuid()),
                static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino));
  return tmpRoot + name;
}

bool WineServerRunningIn(const std::string& serverDirectory) {
  struct stat st {};
  if (serverDirectory.empty() || stat(serverDirectory.c_str(), &st) != 0) return false;
  std::string lock = serverDirectory + "/lock";
  int fd = open(lock.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) fd = open(lock.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 1;
    int result = fcntl(fd, F_GETLK, &probe);
    close(fd);
    if (result == 0) return probe.l_type != F_UNLCK;
  }
  // No lock to ask (or no locks on this file system): a server that lives
  // answers on its socket; a stale socket refuses.
  return SocketAnswers(serverDirectory + "/socket");
}

bool WineServerRunning(const std::string& prefixDirectory) {
  return WineServerRunningIn(WineServerDirectory(prefixDirectory));
}

}  // namespace pache::host
