// The host file system on a real prefix: what only the machine shows
// (extended attributes, permission bits, other processes, failures of the
// disk itself).
#include "platform/host/host_file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "platform/host/dos_attributes.h"
#include "platform/host/replacement_file.h"
#include "tests/host/temp_prefix.h"

namespace pache::host {
namespace {

using test::DosAttrib;
using test::HostMode;
using test::MakeHostFolder;
using test::ReadHostFile;
using test::SetDosAttrib;
using test::TempPrefix;
using test::WriteHostFile;

constexpr std::uint32_t kHidden = FILE_ATTRIBUTE_HIDDEN;
constexpr std::uint32_t kReadOnly = FILE_ATTRIBUTE_READONLY;

class HostFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeHostFolder(prefix.OnC("Game")); }

  bool WriteDos(const char* path, const std::string& content, std::uint32_t attributes = 0x80) {
    FileHandle file = files.CreateAlways(path, attributes);
    if (file == kNoFile) return false;
    bool written = files.Write(file, content.data(), static_cast<std::uint32_t>(content.size()));
    return files.Close(file) && written;
  }

  TempPrefix prefix;
  HostFileSystem files{prefix.Directory()};
};

TEST_F(HostFileSystemTest, CreateAlwaysStoresHiddenAsWineDoes) {
  ASSERT_TRUE(WriteDos("C:\\Game\\log.suk", "log", kHidden));
  EXPECT_EQ(DosAttrib(prefix.OnC("Game/log.suk")), "0x2");
  EXPECT_EQ(HostMode(prefix.OnC("Game/log.suk")), 0666 & ~StartupUmask());
  // A dot-file made visible says so explicitly, or it would read hidden.
  ASSERT_TRUE(WriteDos("C:\\Game\\.cfg", "c"));
  EXPECT_EQ(DosAttrib(prefix.OnC("Game/.cfg")), "0x0");
  ASSERT_TRUE(WriteDos("C:\\Game\\plain.txt", "p"));
  EXPECT_EQ(DosAttrib(prefix.OnC("Game/plain.txt")), std::nullopt);
  ASSERT_TRUE(WriteDos("C:\\Game\\run.EXE", "p"));
  EXPECT_EQ(HostMode(prefix.OnC("Game/run.EXE")) & 0111, 0111 & ~StartupUmask());
  // Leaves no temporary file behind.
  EXPECT_EQ(test::CountEntriesStartingWith(prefix.OnC("Game"), ".pache-"), 0);
}

TEST_F(HostFileSystemTest, AttributesFollowTheHostState) {
  struct Case {
    const char* name;
    mode_t mode;
    const char* stored;  // user.DOSATTRIB, or null
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"log.txt", 0644, nullptr, FILE_ATTRIBUTE_ARCHIVE},
      {"ro.txt", 0444, "0x2", FILE_ATTRIBUTE_ARCHIVE | kReadOnly | kHidden},
      {".cfg", 0644, nullptr, FILE_ATTRIBUTE_ARCHIVE | kHidden},
      {".shown", 0644, "0x0", FILE_ATTRIBUTE_ARCHIVE},
      {"sys.bin", 0644, "0x6", FILE_ATTRIBUTE_ARCHIVE | kHidden | FILE_ATTRIBUTE_SYSTEM},
      {"odd.bin", 0644, "0x21", FILE_ATTRIBUTE_ARCHIVE},
      {"junk.bin", 0644, "hidden", FILE_ATTRIBUTE_ARCHIVE},
  };
  for (const Case& c : cases) {
    std::string path = prefix.OnC(std::string("Game/") + c.name);
    WriteHostFile(path, "x", c.mode);
    if (c.stored != nullptr) SetDosAttrib(path, c.stored);
    std::uint32_t attributes = 0;
    ASSERT_TRUE(ReadAttributes(path, c.name, attributes)) << c.name;
    EXPECT_EQ(attributes, c.expected) << c.name;
  }
}

TEST_F(HostFileSystemTest, SetAttributesStoresHiddenBeforeReadOnlyAndBack) {
  std::string path = prefix.OnC("Game/a.dat");
  WriteHostFile(path, "x", 0644);
  ASSERT_TRUE(files.SetAttributes("C:\\Game\\a.dat", kHidden | kReadOnly));
  EXPECT_EQ(DosAttrib(path), "0x2");
  EXPECT_EQ(HostMode(path) & 0222, 0u);
  ASSERT_TRUE(files.SetAttributes("C:\\Game\\a.dat", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(DosAttrib(path), std::nullopt);
  EXPECT_EQ(HostMode(path) & 0200, 0200u);
  // A dot-file keeps an explicit "not hidden".
  WriteHostFile(prefix.OnC("Game/.d"), "x");
  ASSERT_TRUE(files.SetAttributes("C:\\Game\\.d", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(DosAttrib(prefix.OnC("Game/.d")), "0x0");
  EXPECT_FALSE(files.SetAttributes("C:\\Game\\missing", FILE_ATTRIBUTE_NORMAL));
}

TEST_F(HostFileSystemTest, HiddenAndReadOnlyWorkForAnOrdinaryOwner) {
  std::string path = prefix.OnC("Game/a.dat");
  WriteHostFile(path, "old", 0444);
  SetDosAttrib(path, "0x2");
  test::GiveToUnprivileged(prefix.Directory());
  std::string directory = prefix.Directory();
  std::optional<bool> result = test::RunUnprivileged([&directory] {
    HostFileSystem own(directory);
    std::uint32_t attributes = 0;
    std::string hostPath = directory + "/drive_c/Game/a.dat";
    // Read-only and hidden back to normal, then both again, then a new
    // hidden read-only copy: every step needs the right order.
    return own.SetAttributes("C:\\Game\\a.dat", FILE_ATTRIBUTE_NORMAL) &&
           ReadAttributes(hostPath, "a.dat", attributes) && attributes == FILE_ATTRIBUTE_ARCHIVE &&
           own.SetAttributes("C:\\Game\\a.dat", kHidden | kReadOnly) &&
           ReadAttributes(hostPath, "a.dat", attributes) &&
           attributes == (FILE_ATTRIBUTE_ARCHIVE | kHidden | kReadOnly) &&
           own.SetAttributes("C:\\Game\\a.dat", kHidden) &&
           own.SetAttributes("C:\\Game\\a.dat", kReadOnly) &&
           ReadAttributes(hostPath, "a.dat", attributes) &&
           attributes == (FILE_ATTRIBUTE_ARCHIVE | kReadOnly) &&
           own.SetAttributes("C:\\Game\\a.dat", kHidden | kReadOnly) &&
           own.CopyFile("C:\\Game\\a.dat", "C:\\Game\\b.dat", false) &&
           ReadAttributes(directory + "/drive_c/Game/b.dat", "b.dat", attributes) &&
           attributes == (FILE_ATTRIBUTE_ARCHIVE | kHidden | kReadOnly) &&
           // Refused like any other owner's read-only target.
           !own.CopyFile("C:\\Game\\a.dat", "C:\\Game\\b.dat", false);
  });
  if (!result) GTEST_SKIP() << "no unprivileged user to run as";
  EXPECT_TRUE(*result);
}

TEST_F(HostFileSystemTest, NoSharingHoldsAcrossProcesses) {
  WriteHostFile(prefix.OnC("Game/PACH.suk"), "data");
  FileHandle held = files.OpenForReading("C:\\Game\\PACH.suk");
  ASSERT_NE(held, kNoFile);
  std::string directory = prefix.Directory();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HostFileSystem other(directory);
    bool refused = other.OpenForReading("C:\\Game\\PACH.suk") == kNoFile &&
                   !other.CopyFile("C:\\Game\\PACH.suk", "C:\\Game\\copy", false);
    _exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(files.Close(held));
  EXPECT_TRUE(files.CopyFile("C:\\Game\\PACH.suk", "C:\\Game\\copy", false));
}

TEST_F(HostFileSystemTest, RefusedCopyLeavesTheTargetByteIdentical) {
  WriteHostFile(prefix.OnC("Game/new.dat"), "new content");
  struct Case {
    const char* name;
    mode_t mode;
    const char* stored;
  };
  const Case cases[] = {
      {"ro.dat", 0444, nullptr},
      {"hidden.dat", 0644, "0x2"},
      {"both.dat", 0444, "0x2"},
      {".dotfile", 0644, nullptr},
  };
  for (const Case& c : cases) {
    std::string path = prefix.OnC(std::string("Game/") + c.name);
    WriteHostFile(path, "old content", c.mode);
    if (c.stored != nullptr) SetDosAttrib(path, c.stored);
    struct timespec old[2] = {{0, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, path.c_str(), old, 0);
    std::string dos = std::string("C:\\Game\\") + c.name;
    // Root could write it; Windows semantics refuse it all the same.
    EXPECT_FALSE(files.CopyFile("C:\\Game\\new.dat", dos.c_str(), false)) << c.name;
    EXPECT_EQ(files.CreateAlways(dos.c_str(), FILE_ATTRIBUTE_NORMAL), kNoFile) << c.name;
    EXPECT_EQ(ReadHostFile(path), "old content") << c.name;
    EXPECT_EQ(HostMode(path), c.mode) << c.name;
    EXPECT_EQ(DosAttrib(path), c.stored ? std::optional<std::string>(c.stored) : std::nullopt);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1000000000) << c.name;
  }
  EXPECT_EQ(test::CountEntriesStartingWith(prefix.OnC("Game"), ".pache-"), 0);
}

TEST_F(HostFileSystemTest, CopyTakesTheSourceTimeAndAttributes) {
  std::string source = prefix.OnC("Game/src.dat");
  WriteHostFile(source, std::string(300000, 's'), 0444);
  SetDosAttrib(source, "0x2");
  struct timespec times[2] = {{1200000000, 5}, {1300000000, 123456789}};
  utimensat(AT_FDCWD, source.c_str(), times, 0);
  WriteHostFile(prefix.OnC("Game/dst.dat"), "old", 0640);
  ASSERT_TRUE(files.CopyFile("C:\\Game\\SRC.dat", "C:\\Game\\DST.DAT", false));
  std::string target = prefix.OnC("Game/dst.dat");
  EXPECT_EQ(ReadHostFile(target), std::string(300000, 's'));
  EXPECT_EQ(DosAttrib(target), "0x2");
  EXPECT_EQ(HostMode(target), 0440u);  // the target's own mode, made read-only
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1300000000);
  EXPECT_EQ(info.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(test::CountEntriesStartingWith(prefix.OnC("Game"), ".pache-"), 0);
  // The dot rule of the source travels as an explicit hidden bit.
  WriteHostFile(prefix.OnC("Game/.hidden"), "h");
  ASSERT_TRUE(files.CopyFile("C:\\Game\\.hidden", "C:\\Game\\visible", false));
  EXPECT_EQ(DosAttrib(prefix.OnC("Game/visible")), "0x2");
}

TEST_F(HostFileSystemTest, ALinkedTargetStaysALink) {
  MakeHostFolder(prefix.OnC("Elsewhere"));
  WriteHostFile(prefix.OnC("Elsewhere/real.dat"), "old");
  ASSERT_EQ(symlink("../Elsewhere/real.dat", prefix.OnC("Game/link.dat").c_str()), 0);
  WriteHostFile(prefix.OnC("Game/src"), "new");
  ASSERT_TRUE(files.CopyFile("C:\\Game\\src", "C:\\Game\\link.dat", false));
  struct stat info;
  ASSERT_EQ(lstat(prefix.OnC("Game/link.dat").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadHostFile(prefix.OnC("Elsewhere/real.dat")), "new");
  ASSERT_TRUE(WriteDos("C:\\Game\\link.dat", "newer"));
  EXPECT_EQ(ReadHostFile(prefix.OnC("Elsewhere/real.dat")), "newer");
}

TEST_F(HostFileSystemTest, ACopyNeverShowsATornTarget) {
  const std::string small(64 * 1024, 'a');
  const std::string large(3 * 1024 * 1024, 'b');
  WriteHostFile(prefix.OnC("Game/small"), small);
  WriteHostFile(prefix.OnC("Game/large"), large);
  WriteHostFile(prefix.OnC("Game/target"), small);
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0}, reads{0};
  std::string target = prefix.OnC("Game/target");
  std::thread reader([&] {
    while (!stop.load()) {
      std::string seen = ReadHostFile(target);
      if (seen != small && seen != large) ++torn;
      ++reads;
    }
  });
  for (int i = 0; i < 20; ++i) {
    EXPECT_TRUE(files.CopyFile(i % 2 ? "C:\\Game\\small" : "C:\\Game\\large", "C:\\Game\\target",
                               false));
  }
  stop = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
}

// In a child process whose files may not grow past a few bytes, so that
// writes fail the way a full disk fails them.
bool WithSmallFileLimit(const std::function<bool()>& body) {
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {4, 4};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(HostFileSystemTest, AFailedWriteLeavesTheOldFile) {
  WriteHostFile(prefix.OnC("Game/big"), "a longer source content");
  WriteHostFile(prefix.OnC("Game/log"), "old log");
  WriteHostFile(prefix.OnC("Game/target"), "old target");
  std::string directory = prefix.Directory();
  EXPECT_TRUE(WithSmallFileLimit([&directory] {
    HostFileSystem limited(directory);
    FileHandle log = limited.CreateAlways("C:\\Game\\log", FILE_ATTRIBUTE_HIDDEN);
    if (log == kNoFile) return false;
    bool wrote = limited.Write(log, "a new log that is too long", 26);
    bool closed = limited.Close(log);
    bool copied = limited.CopyFile("C:\\Game\\big", "C:\\Game\\target", false);
    return !wrote && !closed && !copied;
  }));
  EXPECT_EQ(ReadHostFile(prefix.OnC("Game/log")), "old log");
  EXPECT_EQ(DosAttrib(prefix.OnC("Game/log")), std::nullopt);
  EXPECT_EQ(ReadHostFile(prefix.OnC("Game/target")), "old target");
  EXPECT_EQ(test::CountEntriesStartingWith(prefix.OnC("Game"), ".pache-"), 0);
}

TEST_F(HostFileSystemTest, PendingReplacementsCanBeDiscarded) {
  FileHandle file = files.CreateAlways("C:\\Game\\half", FILE_ATTRIBUTE_NORMAL);
  ASSERT_NE(file, kNoFile);
  ASSERT_TRUE(files.Write(file, "part", 4));
  EXPECT_EQ(test::CountEntriesStartingWith(prefix.OnC("Game"), ".pache-"), 1);
  DiscardPendingReplacements();
  EXPECT_EQ(test::CountEntriesStartingWith(prefix.OnC("Game"), ".pache-"), 0);
  EXPECT_FALSE(files.Close(file));
  EXPECT_EQ(test::CountEntriesStartingWith(prefix.OnC("Game"), "half"), 0);
}

}  // namespace
}  // namespace pache::host
