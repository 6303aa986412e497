// The install log rewrite and a copy on a disk that fills up: a small tmpfs
// of our own, mounted in a child process's private mount namespace, with
// its space or its inodes used up just so far that the chosen step fails
// (creating the temporary file, the first or the second write, or putting
// the new file in place at close). The old file must survive byte for byte,
// with nothing left beside it; with room enough the new file is complete.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "apply/install_log.h"
#include "platform/host/host_file_system.h"
#include "tests/fake/fake_platform.h"
#include "tests/host/temp_prefix.h"

namespace pache::host {
namespace {

using test::ReadHostFile;
using test::TempPrefix;
using test::WriteHostFile;

constexpr std::size_t kPage = 4096;

std::string Scrambled(std::string text) {
  for (char& byte : text) byte = static_cast<char>(255 - static_cast<unsigned char>(byte));
  return text;
}

bool WriteText(const std::string& path, const char* text) {
  int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = write(fd, text, std::strlen(text)) == static_cast<ssize_t>(std::strlen(text));
  return close(fd) == 0 && ok;
}

// Runs `body` in a child process, in a fresh tmpfs mounted on `folder` in a
// mount namespace of its own (the mount goes with the child). Returns what
// the body returns (empty: all held), or "skip: ..." when no tmpfs can be
// mounted here.
std::string InOwnTmpfs(const std::string& folder, const std::function<std::string()>& body) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "pipe failed";
  pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    std::string result;
    uid_t uid = geteuid();
    gid_t gid = getegid();
    bool isolated = unshare(CLONE_NEWNS) == 0;
    if (!isolated && unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0) {
      // Unprivileged: become root of a user namespace of our own.
      isolated = WriteText("/proc/self/setgroups", "deny") &&
                 WriteText("/proc/self/uid_map", ("0 " + std::to_string(uid) + " 1").c_str()) &&
                 WriteText("/proc/self/gid_map", ("0 " + std::to_string(gid) + " 1").c_str());
    }
    if (!isolated || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m,nr_inodes=64,mode=0755") != 0) {
      result = std::string("skip: no tmpfs of our own: ") + std::strerror(errno);
    } else {
      setenv("TMPDIR", folder.c_str(), 1);
      result = body();
    }
    (void)write(pipeFds[1], result.data(), result.size());
    _exit(0);
  }
  close(pipeFds[1]);
  std::string result;
  char buffer[4096];
  for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) result.append(buffer, got);
  close(pipeFds[0]);
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return "the child crashed";
  return result;
}

// Uses up the tmpfs until `freeBytes` (whole pages) are left.
void LeaveSpace(const std::string& folder, std::size_t freeBytes) {
  std::string filler = folder + "/space-filler";
  int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  std::string chunk(kPage, 'f');
  off_t size = 0;
  for (ssize_t put; (put = write(fd, chunk.data(), chunk.size())) > 0;) size += put;
  (void)ftruncate(fd, size > static_cast<off_t>(freeBytes) ? size - static_cast<off_t>(freeBytes) : 0);
  close(fd);
}

// Uses up the tmpfs's inodes, and with them the room its extended
// attributes take, until `freeInodes` are left with no room beyond them.
void LeaveInodes(const std::string& folder, int freeInodes) {
  std::string fillers = folder + "/inode-fillers";
  mkdir(fillers.c_str(), 0700);
  int count = 0;
  for (;; ++count) {
    int fd = open((fillers + "/" + std::to_string(count)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) break;
    close(fd);
  }
  // Attribute room left over from the last inode that did not fit.
  std::string first = fillers + "/0";
  std::string value(512, 'x');
  for (int n = 0; !value.empty(); ++n) {
    std::string name = "user.fill" + std::to_string(n);
    if (setxattr(first.c_str(), name.c_str(), value.data(), value.size(), 0) != 0)
      value.resize(value.size() / 2);
  }
  for (int i = 1; i <= freeInodes && i < count; ++i) unlink((fillers + "/" + std::to_string(i)).c_str());
}

int Leftovers(const std::string& folder) {
  return test::CountEntriesStartingWith(folder, ".pache-");
}

std::string Check(bool ok, const std::string& what) { return ok ? "" : what + "; "; }

// ------------------------------------------------------- the install log

// Old entries of about 28 KB, and a block of 32 lines (8 KB).
const std::string kOldEntries = [] {
  std::string entries;
  for (int i = 0; i < 1000; ++i) entries += "C:\\Game\\data\\file" + std::to_string(1000 + i) + ".dat\n\n";
  return entries;
}();
const std::string kOldLog = kOldEntries + "<END>\n\n" + std::string(64, '\0');
const std::string kBlock = [] {
  std::string block = "C:\\Game\\new.dat\n\n<END>\n\n";
  return block + std::string(32 * 256 - block.size(), '\0');
}();

struct LogCase {
  const char* step;
  std::function<void(const std::string& folder)> fill;
  bool rewritten;
};

std::string RewriteLogOnFullDisk(const LogCase& c) {
  TempPrefix prefix;
  std::string an = prefix.OnC("Game/an");
  test::MakeHostFolder(an);
  std::string log = an + "/CP_Data.suk";
  WriteHostFile(log, Scrambled(kOldLog));
  test::SetDosAttrib(log, "0x2");
  std::string old = ReadHostFile(log);

  HostFileSystem files(prefix.Directory());
  FakePlatform fake;
  PatchSession session(Platform{files, fake.registry, fake.windows, fake.system});
  std::strcpy(session.installDir, "C:\\Game\\");
  session.logAdditions.bytes = static_cast<std::uint8_t*>(fake.system.Allocate(kBlock.size()));
  session.logAdditions.length = static_cast<std::int32_t>(kBlock.size());
  std::memcpy(session.logAdditions.bytes, kBlock.data(), kBlock.size());
  c.fill(std::getenv("TMPDIR"));

  UpdateInstallLog(session);

  std::string now = ReadHostFile(log);
  std::string damage =
      c.rewritten ? Check(now == Scrambled(kOldEntries + kBlock), "the new log is not complete")
                  : Check(now == old, "the old log changed");
  damage += Check(test::DosAttrib(log) == std::optional<std::string>("0x2"), "the log is not hidden");
  damage += Check(Leftovers(an) == 0, "a temporary file was left");
  return damage;
}

TEST(DiskFull, EachStepOfTheLogRewriteFailingKeepsTheOldLog) {
  std::size_t oldPages = (kOldEntries.size() + kPage - 1) / kPage;
  LogCase cases[] = {
      {"room enough", [](const std::string&) {}, true},
      {"create: no inode left", [](const std::string& folder) { LeaveInodes(folder, 0); }, false},
      {"first write: less room than the old entries",
       [](const std::string& folder) { LeaveSpace(folder, 2 * kPage); }, false},
      {"second write: room for the old entries only",
       [oldPages](const std::string& folder) { LeaveSpace(folder, oldPages * kPage); }, false},
      {"close: no room for the hidden attribute",
       [](const std::string& folder) { LeaveInodes(folder, 1); }, false},
  };
  std::string folder = TempPrefix().Directory();  // removed again: only its name is used
  for (const LogCase& c : cases) {
    SCOPED_TRACE(c.step);
    test::MakeHostFolder(folder);
    std::string result = InOwnTmpfs(folder, [&c] { return RewriteLogOnFullDisk(c); });
    std::filesystem::remove_all(folder);
    if (result.rfind("skip:", 0) == 0) GTEST_SKIP() << result;
    EXPECT_EQ(result, "");
  }
}

// --------------------------------------------------------------- a copy

struct CopyCase {
  const char* step;
  bool sourceOutside;  // on another file system: the content is streamed
  bool hiddenSource;   // the new file takes the hidden attribute at commit
  std::function<void(const std::string& folder)> fill;
  bool copied;
};

std::string CopyOnFullDisk(const CopyCase& c, const std::string& outside) {
  TempPrefix prefix;
  test::MakeHostFolder(prefix.OnC("Game"));
  test::MakeHostFolder(prefix.OnC("patch"));
  const std::string newContent(64 * 1024, 'n');
  std::string source = c.sourceOutside ? outside + "/new.dat" : prefix.OnC("patch/new.dat");
  if (!c.sourceOutside) WriteHostFile(source, newContent);
  if (c.hiddenSource) test::SetDosAttrib(source, "0x2");
  prefix.LinkDrive('d', c.sourceOutside ? outside : prefix.OnC("patch"));
  std::string target = prefix.OnC("Game/new.dat");
  WriteHostFile(target, "old content");

  HostFileSystem files(prefix.Directory());
  c.fill(std::getenv("TMPDIR"));
  bool copied = files.CopyFile("D:\\new.dat", "C:\\Game\\new.dat", false);

  std::string now = ReadHostFile(target);
  std::string damage = Check(copied == c.copied, copied ? "copied" : "not copied");
  damage += c.copied ? Check(now == newContent, "the new file is not complete")
                     : Check(now == "old content", "the old file changed");
  damage += Check(Leftovers(prefix.OnC("Game")) == 0, "a temporary file was left");
  return damage;
}

TEST(DiskFull, EachStepOfACopyFailingKeepsTheOldFile) {
  CopyCase cases[] = {
      {"room enough", false, true, [](const std::string&) {}, true},
      {"create: no inode left", false, false, [](const std::string& f) { LeaveInodes(f, 0); }, false},
      {"content: no room for it", false, false, [](const std::string& f) { LeaveSpace(f, 4 * kPage); },
       false},
      {"streamed content: no room for it", true, false,
       [](const std::string& f) { LeaveSpace(f, 4 * kPage); }, false},
      {"commit: no room for the hidden attribute", false, true,
       [](const std::string& f) { LeaveInodes(f, 1); }, false},
  };
  TempPrefix outside;  // a source on the disk the tests run on
  WriteHostFile(outside.Directory() + "/new.dat", std::string(64 * 1024, 'n'));
  std::string folder = TempPrefix().Directory();
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.step);
    test::MakeHostFolder(folder);
    std::string result =
        InOwnTmpfs(folder, [&c, &outside] { return CopyOnFullDisk(c, outside.Directory()); });
    std::filesystem::remove_all(folder);
    if (result.rfind("skip:", 0) == 0) GTEST_SKIP() << result;
    EXPECT_EQ(result, "");
  }
}

}  // namespace
}  // namespace pache::host
