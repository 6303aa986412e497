#include "platform/host/exclusive_open.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pache::host {

ExclusiveFile::~ExclusiveFile() {
  if (fd_ >= 0) close(fd_);  // releases the lock
}

bool ExclusiveFile::Open(const std::string& path, ShareMode share) {
  // Non-blocking, so that a FIFO in the way cannot hang the open.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat info;
  int operation = (share == ShareMode::None ? LOCK_EX : LOCK_SH) | LOCK_NB;
  int locked;
  do {
    locked = flock(fd, operation);
  } while (locked != 0 && errno == EINTR);
  // Only another holder refuses the open. A file system that cannot lock
  // this way (NFS takes no exclusive lock on a file opened for reading)
  // leaves the file unshared rather than unreadable.
  bool held = locked != 0 && errno == EWOULDBLOCK;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || held) {
    close(fd);
    return false;
  }
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
  info_ = info;
  path_ = path;
  return true;
}

bool ExclusiveFile::Writable() const {
  return fd_ >= 0 && faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace pache::host
