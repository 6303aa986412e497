#include "platform/host/replacement_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/host/dos_attributes.h"

namespace pache::host {

namespace {

std::mutex pendingMutex;
std::set<std::string>& Pending() {
  static std::set<std::string>* pending = new std::set<std::string>;  // never destroyed: used at exit
  return *pending;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool EndsWithIgnoringCase(const std::string& name, const char* suffix) {
  std::size_t length = std::char_traits<char>::length(suffix);
  if (name.size() < length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    char c = name[name.size() - length + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

}  // namespace

mode_t NewFileMode(const std::string& name) {
  mode_t mode = 0666 & ~StartupUmask();
  if (EndsWithIgnoringCase(name, ".exe") || EndsWithIgnoringCase(name, ".com"))
    mode |= (mode & 0444) >> 2;
  return mode;
}

ReplacementFile::~ReplacementFile() { Discard(); }

bool ReplacementFile::Begin(const std::string& target) {
  Discard();
  target_ = target;
  // A link to the file stays a link: the file it leads to is replaced.
  struct stat info;
  char resolved[PATH_MAX];
  if (lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
      realpath(target.c_str(), resolved) != nullptr)
    target_ = resolved;
  std::string pattern = FolderOf(target_) + "/.pache-XXXXXX";
  std::lock_guard<std::mutex> lock(pendingMutex);
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) return false;
  temporary_ = pattern;
  Pending().insert(temporary_);
  return true;
}

bool ReplacementFile::Commit(mode_t mode, std::uint32_t attributes, bool keepExplicit,
                             const struct timespec* times) {
  if (fd_ < 0) return false;
  struct stat previous;
  if (stat(target_.c_str(), &previous) == 0 &&
      (previous.st_uid != geteuid() || previous.st_gid != getegid()))
    (void)fchown(fd_, previous.st_uid, previous.st_gid);  // only root may, and needs to
  // Hidden before read-only: the owner cannot change a read-only file's
  // extended attributes.
  bool done = StoreHiddenSystem(fd_, attributes, keepExplicit) && fchmod(fd_, mode) == 0 &&
              (times == nullptr || futimens(fd_, times) == 0) && fsync(fd_) == 0;
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) done = false;
  if (!done || rename(temporary_.c_str(), target_.c_str()) != 0) {
    Discard();
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(pendingMutex);
    Pending().erase(temporary_);
  }
  temporary_.clear();
  // The rename itself reaches the disk with the folder.
  int folder = open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}

void ReplacementFile::Discard() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (temporary_.empty()) return;
  std::lock_guard<std::mutex> lock(pendingMutex);
  unlink(temporary_.c_str());
  Pending().erase(temporary_);
  temporary_.clear();
}

void DiscardPendingReplacements() {
  std::lock_guard<std::mutex> lock(pendingMutex);
  for (const std::string& path : Pending()) unlink(path.c_str());
  Pending().clear();
}

}  // namespace pache::host
