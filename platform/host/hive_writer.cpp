#include "platform/host/hive_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pache::host {

namespace {

HiveWriteFault writeFault = nullptr;

bool Fails(const char* step) { return writeFault != nullptr && writeFault(step); }

bool WriteAll(int fd, std::string_view bytes, off_t offset) {
  if (Fails("write")) return false;
  while (!bytes.empty()) {
    ssize_t done = pwrite(fd, bytes.data(), bytes.size(), offset);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(done));
    offset += done;
  }
  return true;
}

bool Sync(int fd) { return !Fails("sync") && fsync(fd) == 0; }

std::string Folder(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool RewritesInPlace(const struct stat& link) {
  return S_ISLNK(link.st_mode) || (S_ISREG(link.st_mode) && link.st_nlink > 1);
}

bool WriteInPlace(const std::string& path, std::string_view content, std::size_t unchangedPrefix) {
  if (Fails("create")) return false;
  int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  if (unchangedPrefix > content.size()) unchangedPrefix = content.size();
  bool ok = WriteAll(fd, content.substr(unchangedPrefix), static_cast<off_t>(unchangedPrefix)) &&
            ftruncate(fd, static_cast<off_t>(content.size())) == 0 && Sync(fd);
  return close(fd) == 0 && ok;
}

bool WriteBeside(const std::string& path, const struct stat& old, std::string_view content) {
  if (Fails("create")) return false;
  std::string temporary = path + ".XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content, 0);
  if (ok) {
    fchmod(fd, old.st_mode & 07777);
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only root may give the file away; a user's own hive is theirs.
    }
    ok = Sync(fd);
  }
  ok = close(fd) == 0 && ok;
  ok = ok && !Fails("rename") && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable.
  int folder = open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}

}  // namespace

void SetHiveWriteFault(HiveWriteFault fault) { writeFault = fault; }

bool WriteHiveFile(const std::string& path, std::string_view content, std::size_t unchangedPrefix) {
  struct stat link {};
  if (lstat(path.c_str(), &link) != 0) return false;
  if (RewritesInPlace(link)) return WriteInPlace(path, content, unchangedPrefix);
  if (!S_ISREG(link.st_mode)) return false;
  return WriteBeside(path, link, content);
}

bool HiveWritable(const std::string& path) {
  struct stat link {};
  struct stat target {};
  if (lstat(path.c_str(), &link) != 0 || stat(path.c_str(), &target) != 0) return false;
  if (!S_ISREG(target.st_mode) || (target.st_mode & 0222) == 0) return false;
  if (access(path.c_str(), W_OK) != 0) return false;
  return RewritesInPlace(link) || access(Folder(path).c_str(), W_OK) == 0;
}

}  // namespace pache::host
