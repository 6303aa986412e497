#include "tests/host/temp_prefix.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pache::test {

namespace {
constexpr uid_t kUnprivileged = 65534;
}

TempPrefix::TempPrefix(bool withDosDevices) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/pache-prefix-XXXXXX";
  char* made = mkdtemp(pattern.data());
  EXPECT_NE(made, nullptr);
  char resolved[PATH_MAX];
  directory_ = realpath(pattern.c_str(), resolved) != nullptr ? resolved : pattern;
  chmod(directory_.c_str(), 0755);
  MakeHostFolder(directory_ + "/drive_c");
  if (withDosDevices) {
    MakeHostFolder(directory_ + "/dosdevices");
    LinkDrive('c', "../drive_c");
    LinkDrive('z', "/");
  }
}

TempPrefix::~TempPrefix() {
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

void TempPrefix::LinkDrive(char letter, const std::string& target) const {
  std::string link = directory_ + "/dosdevices/" + letter + ":";
  EXPECT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
}

void WriteHostFile(const std::string& path, const std::string& content, mode_t mode) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  fchmod(fd, mode);
  close(fd);
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void MakeHostFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  EXPECT_FALSE(error) << path;
}

std::optional<std::string> DosAttrib(const std::string& path) {
  char value[64];
  ssize_t length = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
  if (length < 0) return std::nullopt;
  return std::string(value, static_cast<std::size_t>(length));
}

void SetDosAttrib(const std::string& path, const std::string& value) {
  ASSERT_EQ(setxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0), 0) << path;
}

mode_t HostMode(const std::string& path) {
  struct stat info;
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

int CountEntriesStartingWith(const std::string& folder, const std::string& start) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().rfind(start, 0) == 0) ++count;
  return count;
}

std::optional<bool> RunUnprivileged(const std::function<bool()>& body) {
  if (geteuid() != 0) return body();
  pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kUnprivileged) != 0 || setuid(kUnprivileged) != 0)
      _exit(77);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 77)
    return std::nullopt;
  return WEXITSTATUS(status) == 0;
}

void GiveToUnprivileged(const std::string& path) {
  if (geteuid() != 0) return;
  lchown(path.c_str(), kUnprivileged, kUnprivileged);
  if (std::filesystem::is_directory(path) && !std::filesystem::is_symlink(path))
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
      lchown(entry.path().c_str(), kUnprivileged, kUnprivileged);
}

WorkingDirectory::WorkingDirectory(const std::string& path) {
  char buffer[PATH_MAX];
  previous_ = getcwd(buffer, sizeof buffer) != nullptr ? buffer : "/";
  EXPECT_EQ(chdir(path.c_str()), 0) << path;
}

WorkingDirectory::~WorkingDirectory() { (void)chdir(previous_.c_str()); }

}  // namespace pache::test
