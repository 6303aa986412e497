#include "platform/host/user_runtime_dir.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace pache::host {

namespace {

bool OwnedPrivateFolder(const std::string& path, bool requirePrivate) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
         (!requirePrivate || (info.st_mode & 077) == 0);
}

}  // namespace

bool UserRuntimeDirectory(std::string& directory) {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && runtime[0] == '/' && OwnedPrivateFolder(runtime, false)) {
    directory = runtime;
    return true;
  }
  // In the shared /tmp, only a folder that this user made and nobody else
  // can enter is trusted.
  std::string fallback = "/tmp/pache-" + std::to_string(geteuid());
  if (mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) return false;
  if (!OwnedPrivateFolder(fallback, true)) return false;
  directory = fallback;
  return true;
}

}  // namespace pache::host
