// Writing a hive: only the changed value's lines and its key's time change,
// the file is replaced whole or not at all, links are kept, and nothing is
// written while a wineserver runs for the prefix.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "platform/host/hive_writer.h"
#include "platform/host/host_registry.h"
#include "platform/host/wine_server.h"
#include "tests/host/hive_generator.h"
#include "tests/host/temp_prefix.h"

namespace pache::host {
namespace {

using test::ReadHostFile;
using test::TempPrefix;
using test::WriteHostFile;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1)
    lines.push_back(text.substr(start, lf - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The lines of `after` that are not in `before` at the same place, and the
// other way round, for files whose line counts may differ by a few lines:
// a common head and tail are stripped.
struct LineDiff {
  std::vector<std::string> removed, added;
};
LineDiff Diff(const std::string& before, const std::string& after) {
  std::vector<std::string> a = Lines(before), b = Lines(after);
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
    ++tail;
  LineDiff diff;
  diff.removed.assign(a.begin() + head, a.end() - tail);
  diff.added.assign(b.begin() + head, b.end() - tail);
  return diff;
}

// The 64-bit view, where the generated vendors' keys are.
constexpr std::uint32_t kNative = KEY_ALL_ACCESS | 0x0100;

const std::regex kKeyLine(R"(\[Software\\\\Wow6432Node\\\\Sample\\\\Game\] [0-9]+)");
const std::regex kTimeLine("#time=[0-9a-f]+");

class HiveRewriteTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteHostFile(SystemReg(), original); }
  void TearDown() override { SetHiveWriteFault(nullptr); }
  std::string SystemReg() const { return prefix.Directory() + "/system.reg"; }

  bool Set(const char* subkey, const char* name, std::uint32_t type, const std::string& data,
           std::uint32_t access = KEY_ALL_ACCESS) {
    HostRegistry registry(prefix.Directory());
    RegKey key = 0;
    if (!registry.OpenKey(HKEY_LOCAL_MACHINE, subkey, access, &key)) return false;
    bool set = registry.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                                 static_cast<std::uint32_t>(data.size()));
    registry.CloseKey(key);
    return set;
  }

  TempPrefix prefix;
  std::string original = test::GenerateSystemHive(4 << 20);
};

TEST_F(HiveRewriteTest, ChangingOneValueChangesOnlyItsLinesAndItsKeysTime) {
  ASSERT_TRUE(Set("Software\\Sample\\Game", "Version", REG_SZ, "1.10"));
  std::string after = ReadHostFile(SystemReg());
  // From the key line to the value line; the lines between are the same.
  LineDiff diff = Diff(original, after);
  ASSERT_EQ(diff.removed.size(), 5u);
  ASSERT_EQ(diff.added.size(), 5u);
  EXPECT_TRUE(std::regex_match(diff.added[0], kKeyLine)) << diff.added[0];
  EXPECT_TRUE(std::regex_match(diff.added[1], kTimeLine)) << diff.added[1];
  EXPECT_NE(diff.added[1], diff.removed[1]);
  EXPECT_EQ(diff.added[2], diff.removed[2]);
  EXPECT_EQ(diff.added[3], diff.removed[3]);
  EXPECT_EQ(diff.removed[4], "\"Version\"=\"1.02\"");
  // The text passed without its zero took the zero that follows it.
  EXPECT_EQ(diff.added[4], "\"Version\"=\"1.10\"");
  EXPECT_EQ(after.size() + diff.removed[0].size() + diff.removed[1].size(),
            original.size() + diff.added[0].size() + diff.added[1].size());
  // The key line's seconds are now.
  double seconds = std::stod(diff.added[0].substr(diff.added[0].rfind(' ') + 1));
  EXPECT_NEAR(seconds, static_cast<double>(time(nullptr)), 5.0);
}

TEST_F(HiveRewriteTest, TheSameDataWritesNothing) {
  struct stat before {};
  ASSERT_EQ(stat(SystemReg().c_str(), &before), 0);
  ASSERT_TRUE(Set("Software\\Sample\\Game", "Version", REG_SZ, std::string("1.02\0", 5)));
  ASSERT_TRUE(Set("Software\\Sample\\Game", "Version", REG_SZ, "1.02"));  // the zero follows
  struct stat after {};
  ASSERT_EQ(stat(SystemReg().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadHostFile(SystemReg()), original);
}

TEST_F(HiveRewriteTest, EditsWithinBlocks) {
  struct Case {
    const char* what;
    std::uint32_t access;
    const char* subkey;
    const char* name;
    std::uint32_t type;
    std::string data;
    std::vector<std::string> removed;  // besides the key and time lines
    std::vector<std::string> added;
  } cases[] = {
      {"hex over two lines replaced whole", kNative, "Software\\Vendor0003\\Product04\\Settings", "Blob", REG_SZ,
       std::string("x\0", 2),
       {"\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\",
        "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27"},
       {"\"Blob\"=\"x\""}},
      {"a number becomes a text", kNative, "Software\\Vendor0003\\Product04\\Settings", "flags", REG_SZ,
       std::string("on\0", 3),
       {"\"Flags\"=dword:00000040"},
       {"\"Flags\"=\"on\""}},
      {"a missing value is added at the end of its block", KEY_ALL_ACCESS, "Software\\Sample\\Game", "New", REG_DWORD,
       std::string("\x01\0\0\0", 4),
       {},
       {"\"New\"=dword:00000001"}},
  };
  for (const Case& c : cases) {
    WriteHostFile(SystemReg(), original);
    ASSERT_TRUE(Set(c.subkey, c.name, c.type, c.data, c.access)) << c.what;
    LineDiff diff = Diff(original, ReadHostFile(SystemReg()));
    // Leave out the key's time and the lines the change merely spans.
    std::vector<std::string> removed, added;
    for (const std::string& line : diff.removed)
      if (line[0] != '[' && line[0] != '#') removed.push_back(line);
    for (const std::string& line : diff.added) {
      auto same = std::find(removed.begin(), removed.end(), line);
      if (same != removed.end()) removed.erase(same);
      else if (line[0] != '[' && line[0] != '#') added.push_back(line);
    }
    EXPECT_EQ(removed, c.removed) << c.what;
    EXPECT_EQ(added, c.added) << c.what;
  }
  // The value added sits right after the key's last value.
  std::string after = ReadHostFile(SystemReg());
  EXPECT_NE(after.find("\"Version\"=\"1.02\"\n\"New\"=dword:00000001\n\n["), std::string::npos);
}

TEST_F(HiveRewriteTest, ManyChangesThroughOneRegistryStayInTheirKeys) {
  // Blocks without a #time line or seconds, and one at the very end
  // without its last line feed.
  original += "\n[Software\\\\Bare]\n\"Old\"=\"x\"\n\n[Software\\\\Last] 1\n\"End\"=dword:00000001";
  WriteHostFile(SystemReg(), original);
  struct Change {
    const char* subkey;
    const char* name;
    const char* text;
  } changes[] = {
      {"Software\\Vendor0001\\Product01\\Settings", "Path", "a"},
      {"Software\\Bare", "New", "inserted"},
      {"Software\\Vendor0001\\Product01\\Settings", "Path", "a much longer text than before"},
      {"Software\\Last", "End", "changed"},
      {"Software\\Last", "Added", "after"},
      {"Software\\Vendor0000\\Product00\\Settings", "", "first"},
      {"Software\\Bare", "Old", "y"},
  };
  HostRegistry registry(prefix.Directory());
  for (const Change& c : changes) {
    RegKey key = 0;
    ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, c.subkey, kNative, &key)) << c.subkey;
    ASSERT_TRUE(registry.SetValue(key, c.name, REG_SZ, reinterpret_cast<const std::uint8_t*>(c.text),
                                  static_cast<std::uint32_t>(std::strlen(c.text))))
        << c.subkey << " " << c.name;
    registry.CloseKey(key);
  }
  // What the same registry and a fresh one read: the last text of each.
  HostRegistry fresh(prefix.Directory());
  for (HostRegistry* reader : {&registry, &fresh}) {
    for (const Change& c : changes) {
      const char* expected = c.text;
      for (const Change& later : changes)
        if (std::string(later.subkey) == c.subkey && std::string(later.name) == c.name) expected = later.text;
      RegKey key = 0;
      ASSERT_TRUE(reader->OpenKey(HKEY_LOCAL_MACHINE, c.subkey, kNative, &key)) << c.subkey;
      char data[64] = {};
      std::uint32_t size = sizeof data;
      ASSERT_TRUE(reader->QueryValue(key, c.name, nullptr, reinterpret_cast<std::uint8_t*>(data), &size));
      EXPECT_STREQ(data, expected) << c.subkey << " " << c.name;
      reader->CloseKey(key);
    }
  }
  std::string after = ReadHostFile(SystemReg());
  EXPECT_NE(after.find("\n[Software\\\\Bare]\n#time="), std::string::npos);
  EXPECT_TRUE(after.ends_with("\"End\"=\"changed\"\n\"Added\"=\"after\"\n")) << after.substr(after.size() - 200);
}

TEST_F(HiveRewriteTest, KeysWithoutABlockGetOneAndReadBack) {
  HostRegistry registry(prefix.Directory());
  RegKey key = 0;
  // Software\Wow6432Node\Sample exists only through its subkey.
  ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample", KEY_ALL_ACCESS, &key));
  ASSERT_TRUE(registry.SetValue(key, "Where", REG_SZ, reinterpret_cast<const std::uint8_t*>("here"), 4));
  RegKey created = 0;
  ASSERT_TRUE(registry.CreateKey(key, "New\\Deeper", KEY_ALL_ACCESS, &created));
  ASSERT_TRUE(registry.SetValue(created, "", REG_SZ, reinterpret_cast<const std::uint8_t*>("deep"), 4));
  std::string after = ReadHostFile(SystemReg());
  EXPECT_EQ(after.compare(0, original.size(), original), 0);  // everything before is kept
  std::string tail = std::regex_replace(after.substr(original.size()), std::regex(R"(\] [0-9]+\n#time=[0-9a-f]+\n)"), "]\n");
  EXPECT_EQ(tail,
            "\n[Software\\\\Wow6432Node\\\\Sample]\n\"Where\"=\"here\"\n"
            "\n[Software\\\\Wow6432Node\\\\Sample\\\\New\\\\Deeper]\n@=\"deep\"\n");
  HostRegistry again(prefix.Directory());
  ASSERT_TRUE(again.OpenKey(HKEY_LOCAL_MACHINE, "software\\sample\\new\\deeper", KEY_READ, &key));
  char data[16] = {};
  std::uint32_t size = sizeof data;
  ASSERT_TRUE(again.QueryValue(key, "", nullptr, reinterpret_cast<std::uint8_t*>(data), &size));
  EXPECT_STREQ(data, "deep");
  // Opening what exists creates nothing.
  ASSERT_TRUE(again.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_ALL_ACCESS, &key));
  EXPECT_EQ(ReadHostFile(SystemReg()), after);
}

TEST_F(HiveRewriteTest, LinkedHivesAreRewrittenInPlace) {
  struct Case {
    const char* what;
    bool symbolic;
  } cases[] = {{"symbolic link", true}, {"hard link", false}};
  for (const Case& c : cases) {
    std::string elsewhere = prefix.Directory() + "/elsewhere.reg";
    unlink(SystemReg().c_str());
    unlink(elsewhere.c_str());
    WriteHostFile(elsewhere, original, 0640);
    ASSERT_EQ(c.symbolic ? symlink(elsewhere.c_str(), SystemReg().c_str()) : link(elsewhere.c_str(), SystemReg().c_str()), 0);
    struct stat before {};
    ASSERT_EQ(stat(elsewhere.c_str(), &before), 0);
    ASSERT_TRUE(Set("Software\\Sample\\Game", "Version", REG_SZ, "1.10")) << c.what;
    struct stat link {}, after {};
    ASSERT_EQ(lstat(SystemReg().c_str(), &link), 0);
    ASSERT_EQ(stat(elsewhere.c_str(), &after), 0);
    EXPECT_EQ(S_ISLNK(link.st_mode), c.symbolic) << c.what;
    EXPECT_EQ(after.st_ino, before.st_ino) << c.what;
    EXPECT_EQ(after.st_nlink, before.st_nlink) << c.what;
    EXPECT_NE(ReadHostFile(elsewhere).find("\"Version\"=\"1.10\"\n"), std::string::npos) << c.what;
    EXPECT_EQ(Diff(original, ReadHostFile(elsewhere)).added.size(), 5u) << c.what;
  }
}

TEST_F(HiveRewriteTest, AReplacedHiveKeepsItsMode) {
  ASSERT_EQ(chmod(SystemReg().c_str(), 0640), 0);
  ASSERT_TRUE(Set("Software\\Sample\\Game", "Version", REG_SZ, "1.10"));
  EXPECT_EQ(test::HostMode(SystemReg()), 0640u);
  EXPECT_EQ(test::CountEntriesStartingWith(prefix.Directory(), ".pache-"), 0);
}

TEST_F(HiveRewriteTest, AFailedWriteLeavesTheHiveAsItWas) {
  for (const char* step : {"write", "commit"}) {
    static const char* failing;
    failing = step;
    SetHiveWriteFault([](const char* at) { return std::string(at) == failing; });
    EXPECT_FALSE(Set("Software\\Sample\\Game", "Version", REG_SZ, "1.10")) << step;
    EXPECT_EQ(ReadHostFile(SystemReg()), original) << step;
    EXPECT_EQ(test::CountEntriesStartingWith(prefix.Directory(), ".pache-"), 0) << step;
  }
}

TEST_F(HiveRewriteTest, AChangeMadeMeanwhileIsKept) {
  HostRegistry registry(prefix.Directory());
  RegKey key = 0;
  ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_ALL_ACCESS, &key));
  std::string changed = original + "\n[Software\\\\Other] 1714564800\n\"Mine\"=\"kept\"\n";
  WriteHostFile(SystemReg(), changed);
  ASSERT_TRUE(registry.SetValue(key, "Version", REG_SZ, reinterpret_cast<const std::uint8_t*>("1.10"), 4));
  std::string after = ReadHostFile(SystemReg());
  EXPECT_NE(after.find("\"Mine\"=\"kept\""), std::string::npos);
  EXPECT_NE(after.find("\"Version\"=\"1.10\""), std::string::npos);
}

// ------------------------------------------------------ wineserver ----

// A child process that holds the server lock of `serverDirectory` until
// the object ends, as a running wineserver does.
class LockHolder {
 public:
  explicit LockHolder(const std::string& serverDirectory) {
    int ready[2], release[2];
    EXPECT_EQ(pipe(ready), 0);
    EXPECT_EQ(pipe(release), 0);
    child_ = fork();
    if (child_ == 0) {
      close(ready[0]);
      close(release[1]);
      int fd = open((serverDirectory + "/lock").c_str(), O_RDWR | O_CREAT, 0600);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      lock.l_len = 1;
      char byte = fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
      (void)write(ready[1], &byte, 1);
      (void)read(release[0], &byte, 1);
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char byte = 0;
    EXPECT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    close(ready[0]);
    release_ = release[1];
  }
  ~LockHolder() {
    close(release_);
    waitpid(child_, nullptr, 0);
  }

 private:
  pid_t child_ = -1;
  int release_ = -1;
};

// Leaves a socket file that nothing listens on any more, as a crashed
// server does.
void LeaveStaleSocket(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

TEST(WineServer, DetectedByItsLockAsWineDoes) {
  TempPrefix prefix;
  std::string tmpRoot = prefix.Directory() + "/tmp";
  test::MakeHostFolder(tmpRoot);
  std::string directory = WineServerDirectory(prefix.Directory(), tmpRoot);
  struct stat st {};
  ASSERT_EQ(stat(prefix.Directory().c_str(), &st), 0);
  char expected[128];
  std::snprintf(expected, sizeof expected, "/.wine-%u/server-%llx-%llx", static_cast<unsigned>(getuid()),
                static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino));
  EXPECT_EQ(directory, tmpRoot + expected);
  EXPECT_EQ(WineServerDirectory(prefix.Directory() + "/missing", tmpRoot), "");

  EXPECT_FALSE(WineServerRunningIn(directory)) << "no server folder";
  test::MakeHostFolder(directory);
  EXPECT_FALSE(WineServerRunningIn(directory)) << "empty folder";
  WriteHostFile(directory + "/lock", "", 0600);
  LeaveStaleSocket(directory + "/socket");
  EXPECT_FALSE(WineServerRunningIn(directory)) << "stale socket, unlocked lock";
  {
    LockHolder server(directory);
    EXPECT_TRUE(WineServerRunningIn(directory)) << "lock held";
  }
  EXPECT_FALSE(WineServerRunningIn(directory)) << "lock released";
  // Without a lock file, a socket that answers.
  unlink((directory + "/lock").c_str());
  unlink((directory + "/socket").c_str());
  int listening = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (directory + "/socket").c_str());
  ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listening, 1), 0);
  EXPECT_TRUE(WineServerRunningIn(directory)) << "socket answers";
  close(listening);
}

TEST_F(HiveRewriteTest, NothingIsWrittenWhileAServerRuns) {
  // The real server folder of this test's own prefix: its inode is unique.
  std::string directory = WineServerDirectory(prefix.Directory());
  std::string parent = directory.substr(0, directory.rfind('/'));
  bool madeParent = mkdir(parent.c_str(), 0700) == 0;
  ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
  {
    LockHolder server(directory);
    EXPECT_TRUE(WineServerRunning(prefix.Directory()));
    HostRegistry registry(prefix.Directory());
    RegKey key = 0;
    ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_ALL_ACCESS, &key));
    EXPECT_FALSE(registry.SetValue(key, "Version", REG_SZ, reinterpret_cast<const std::uint8_t*>("1.10"), 4));
    EXPECT_FALSE(registry.CreateKey(key, "Sub", KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ReadHostFile(SystemReg()), original);
  }
  EXPECT_FALSE(WineServerRunning(prefix.Directory()));
  EXPECT_TRUE(Set("Software\\Sample\\Game", "Version", REG_SZ, "1.10"));
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
  if (madeParent) rmdir(parent.c_str());
}

}  // namespace
}  // namespace pache::host
