// CopyFileA with Windows semantics: a read-only or hidden target is refused
// and left untouched; the content goes to a temporary file beside the
// target, which takes the source's time and attributes and is then renamed
// into place. The content streams through the kernel (a reflink where the
// file system shares extents, else copy_file_range), never whole in memory.
#include <errno.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <vector>

#include "platform/host/dos_attributes.h"
#include "platform/host/exclusive_open.h"
#include "platform/host/host_file_system.h"
#include "platform/host/replacement_file.h"

namespace pache::host {

namespace {

constexpr std::size_t kChunk = 1 << 20;

// Plain reads and writes, for file systems that take neither shortcut.
bool StreamContent(int from, int to) {
  std::vector<char> buffer(128 * 1024);
  while (true) {
    ssize_t got = read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t put = 0; put < got;) {
      ssize_t written = write(to, buffer.data() + put, static_cast<std::size_t>(got - put));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      put += written;
    }
  }
}

bool CopyContent(int from, int to) {
  if (ioctl(to, FICLONE, from) == 0) return true;
  bool first = true;
  while (true) {
    ssize_t copied = copy_file_range(from, nullptr, to, nullptr, kChunk, 0);
    if (copied > 0) {
      first = false;
      continue;
    }
    if (copied == 0) return true;
    if (errno == EINTR) continue;
    // Not offered between these files: fall back while nothing was copied.
    bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                       errno == EOPNOTSUPP || errno == EBADF;
    return first && unsupported && StreamContent(from, to);
  }
}

}  // namespace

bool HostFileSystem::CopyFile(const char* sourcePath, const char* targetPath, bool failIfExists) {
  HostPath source, target;
  if (sourcePath == nullptr || targetPath == nullptr ||
      paths_.Resolve(sourcePath, source) != PathLookup::Found)
    return false;
  PathLookup lookup = paths_.Resolve(targetPath, target);
  if (lookup != PathLookup::Found && lookup != PathLookup::LastMissing) return false;

  ExclusiveFile from;
  std::uint32_t attributes = 0;
  if (!from.Open(source.host, ShareMode::Read) ||
      !ReadAttributes(source.host, source.name, attributes))
    return false;

  ExclusiveFile held;  // the old target, kept from other openers until replaced
  mode_t mode = NewFileMode(target.name);
  if (lookup == PathLookup::Found) {
    std::uint32_t existing = 0;
    if (failIfExists || !ReadAttributes(target.host, target.name, existing) ||
        (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY)))
      return false;
    if (!held.Open(target.host, ShareMode::None) || !held.Writable()) return false;
    // A file copied onto itself is in use by the copy.
    if (held.Info().st_dev == from.Info().st_dev && held.Info().st_ino == from.Info().st_ino)
      return false;
    mode = held.Mode();
  }
  mode = ModeForReadOnly(mode, (attributes & FILE_ATTRIBUTE_READONLY) != 0);

  ReplacementFile replacement;
  if (!replacement.Begin(target.host) || !CopyContent(from.fd(), replacement.fd())) return false;
  const struct timespec times[2] = {from.Info().st_atim, from.Info().st_mtim};
  bool keepExplicit = target.name.size() > 1 && target.name[0] == '.';
  return replacement.Commit(mode, attributes, keepExplicit, times);
}

}  // namespace pache::host
