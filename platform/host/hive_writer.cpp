#include "platform/host/hive_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/host/replacement_file.h"

namespace pache::host {

namespace {

HiveWriteFault writeFault = nullptr;

bool Fails(const char* step) { return writeFault != nullptr && writeFault(step); }

bool WriteAll(int fd, std::string_view bytes, off_t offset) {
  while (!bytes.empty()) {
    // A failure injected halfway, after some bytes went out.
    if (Fails("write") && bytes.size() > 1) {
      (void)pwrite(fd, bytes.data(), bytes.size() / 2, offset);
      return false;
    }
    ssize_t done = pwrite(fd, bytes.data(), bytes.size(), offset);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(done));
    offset += done;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool RewritesInPlace(const struct stat& link) {
  return S_ISLNK(link.st_mode) || (S_ISREG(link.st_mode) && link.st_nlink > 1);
}

bool WriteInPlace(const std::string& path, std::string_view content, std::size_t unchangedPrefix) {
  int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  if (unchangedPrefix > content.size()) unchangedPrefix = content.size();
  bool ok = WriteAll(fd, content.substr(unchangedPrefix), static_cast<off_t>(unchangedPrefix)) &&
            ftruncate(fd, static_cast<off_t>(content.size())) == 0 && fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

}  // namespace

void SetHiveWriteFault(HiveWriteFault fault) { writeFault = fault; }

bool WriteHiveFile(const std::string& path, std::string_view content, std::size_t unchangedPrefix) {
  struct stat link {};
  if (lstat(path.c_str(), &link) != 0) return false;
  if (RewritesInPlace(link)) return WriteInPlace(path, content, unchangedPrefix);
  if (!S_ISREG(link.st_mode)) return false;
  ReplacementFile replacement;
  return replacement.Begin(path) && WriteAll(replacement.fd(), content, 0) &&
         !Fails("commit") && replacement.Commit(link.st_mode & 07777, 0, false, nullptr);
}

bool HiveWritable(const std::string& path) {
  struct stat link {};
  struct stat target {};
  if (lstat(path.c_str(), &link) != 0 || stat(path.c_str(), &target) != 0) return false;
  if (!S_ISREG(target.st_mode) || (target.st_mode & 0222) == 0) return false;
  if (access(path.c_str(), W_OK) != 0) return false;
  return RewritesInPlace(link) || access(FolderOf(path).c_str(), W_OK) == 0;
}

}  // namespace pache::host
