#include "platform/host/dos_attributes.h"

#include <errno.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32.h"

namespace pache::host {

namespace {

constexpr char kAttributeName[] = "user.DOSATTRIB";
constexpr std::uint32_t kStoredBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// A file system without user extended attributes keeps no hidden bit;
// that is not a failure.
bool Unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

bool IsDotName(const std::string& name) {
  return name.size() > 1 && name[0] == '.' && name != "..";
}

// The bits of a stored value: "0x" and hex digits, up to its end or a zero.
bool ParseStored(const char* value, ssize_t length, std::uint32_t& bits) {
  if (length <= 2 || value[0] != '0' || (value[1] != 'x' && value[1] != 'X')) return false;
  std::uint32_t parsed = 0;
  for (ssize_t i = 2; i < length && value[i] != '\0'; ++i) {
    char c = value[i];
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) break;
    parsed = (parsed << 4) | static_cast<std::uint32_t>(digit);
  }
  bits = parsed & kStoredBits;
  return true;
}

// Writes or removes the attribute through `set` and `remove`, which work
// on a descriptor or a path.
template <typename Set, typename Remove>
bool Store(std::uint32_t attributes, bool keepExplicit, Set set, Remove remove) {
  std::uint32_t bits = attributes & kStoredBits;
  if (bits == 0 && !keepExplicit) {
    if (remove(kAttributeName) == 0 || errno == ENODATA || Unsupported(errno)) return true;
    return false;
  }
  char value[8];
  int length = std::snprintf(value, sizeof value, "0x%x", bits);
  return set(kAttributeName, value, static_cast<std::size_t>(length)) == 0 || Unsupported(errno);
}

}  // namespace

bool ReadAttributes(const std::string& path, const std::string& name, std::uint32_t& attributes) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((info.st_mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  char value[64];
  ssize_t length = getxattr(path.c_str(), kAttributeName, value, sizeof value);
  std::uint32_t bits = 0;
  if (length >= 0 && ParseStored(value, length, bits)) {
    attributes |= bits;
  } else if (length < 0 && IsDotName(name)) {
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  }
  return true;
}

bool StoreHiddenSystem(int fd, std::uint32_t attributes, bool keepExplicit) {
  return Store(
      attributes, keepExplicit,
      [fd](const char* key, const char* value, std::size_t size) {
        return fsetxattr(fd, key, value, size, 0);
      },
      [fd](const char* key) { return fremovexattr(fd, key); });
}

mode_t StartupUmask() {
  static const mode_t mask = [] {
    // /proc tells it without changing it under other threads' feet.
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
      char line[256];
      unsigned int value = 0;
      bool found = false;
      while (!found && std::fgets(line, sizeof line, status) != nullptr)
        found = std::sscanf(line, "Umask: %o", &value) == 1;
      std::fclose(status);
      if (found) return static_cast<mode_t>(value);
    }
    mode_t old = umask(022);
    umask(old);
    return old;
  }();
  return mask;
}

mode_t ModeForReadOnly(mode_t mode, bool readOnly) {
  if (readOnly) return mode & ~static_cast<mode_t>(0222);
  return mode | ((0600 | ((mode & 044) >> 1)) & ~StartupUmask());
}

bool ApplyAttributes(const std::string& path, const std::string& name, std::uint32_t attributes) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  bool folder = S_ISDIR(info.st_mode);
  mode_t mode = info.st_mode & 07777;
  mode_t wanted = folder ? mode
                         : ModeForReadOnly(mode, (attributes & FILE_ATTRIBUTE_READONLY) != 0);
  // The owner may change the extended attribute only while the file is
  // writable: open it up for the change, then set the final mode.
  bool opened = (mode & 0200) == 0 && !folder;
  if (opened && chmod(path.c_str(), mode | 0200) != 0) return false;
  bool keepExplicit = IsDotName(name) || (!folder && info.st_nlink > 1);
  bool stored = Store(
      attributes, keepExplicit,
      [&path](const char* key, const char* value, std::size_t size) {
        return setxattr(path.c_str(), key, value, size, 0);
      },
      [&path](const char* key) { return removexattr(path.c_str(), key); });
  mode_t final = stored ? wanted : mode;
  if ((opened || final != mode) && chmod(path.c_str(), final) != 0) return false;
  return stored;
}

}  // namespace pache::host
