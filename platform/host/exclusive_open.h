// Windows share modes for open files, across processes: a file opened
// with no sharing holds an exclusive lock on its open file description, one
// shared for reading holds a shared lock, and an open that conflicts with a
// lock already held fails at once.
#pragma once

#include <sys/stat.h>

#include <string>

namespace pache::host {

enum class ShareMode {
  None,  // share 0: no other open of the file while held
  Read,  // FILE_SHARE_READ: others may read it too
};

class ExclusiveFile {
 public:
  ExclusiveFile() = default;
  ExclusiveFile(const ExclusiveFile&) = delete;
  ExclusiveFile& operator=(const ExclusiveFile&) = delete;
  ~ExclusiveFile();

  // Opens an existing regular file for reading and takes the lock of
  // `share`. False when it is missing, a folder, not readable, or held by
  // another open that does not share it.
  bool Open(const std::string& path, ShareMode share);

  int fd() const { return fd_; }
  const struct stat& Info() const { return info_; }
  mode_t Mode() const { return info_.st_mode & 07777; }
  // True when this process may write the file.
  bool Writable() const;

 private:
  std::string path_;
  struct stat info_ = {};
  int fd_ = -1;
};

}  // namespace pache::host
