// The registry of a real prefix on disk: which key a path reaches, who may
// write, and what the ANSI calls give and store.
#include "platform/host/host_registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "tests/host/temp_prefix.h"

namespace pache::host {
namespace {

using test::ReadHostFile;
using test::TempPrefix;
using test::WriteHostFile;

constexpr std::uint32_t KEY_WOW64_64KEY = 0x0100;

// "ゲーム" and "ソフト" in code page 932; "ソ" ends in the byte 0x5C.
constexpr const char* kGame = "\x83\x51\x81\x5B\x83\x80";
constexpr const char* kSoft = "\x83\x5C\x83\x74\x83\x67";

std::string MachineHive(const char* arch) {
  return std::string("WINE REGISTRY Version 2\n"
                     ";; All keys relative to REGISTRY\\\\Machine\n"
                     "\n"
                     "#arch=") +
         arch +
         "\n"
         "\n[Software\\\\Classes] 1714564800\n#time=1da9bbf17cd3687\n"
         "\n[Software\\\\Classes\\\\.txt] 1714564800\n#time=1da9bbf17cd3687\n@=\"txtfile\"\n"
         "\n[Software\\\\Classes\\\\Wow6432Node\\\\CLSID] 1714564800\n#time=1da9bbf17cd3687\n@=\"32\"\n"
         "\n[Software\\\\Dup] 1714564800\n#time=1da9bbf17cd3687\n\"A\"=\"first\"\n\"B\"=\"only\"\n"
         "\n[Software\\\\Sample\\\\Native] 1714564800\n#time=1da9bbf17cd3687\n\"Bits\"=dword:00000040\n"
         "\n[Software\\\\\\x30bd\\x30d5\\x30c8\\\\\\x30b2\\x30fc\\x30e0] 1714564800\n#time=1da9bbf17cd3687\n"
         "\"Name\"=\"soft\"\n"
         "\n[Software\\\\Wow6432Node\\\\Sample\\\\Game] 1714564800\n#time=1da9bbf17cd3687\n"
         "@=\"default\"\n"
         "\"InstallDir\"=\"C:\\\\Games\\\\\\x30b2\\x30fc\\x30e0\\\\\"\n"
         "\"Version\"=\"1.02\"\n"
         "\n[Software\\\\DUP] 1714564800\n#time=1da9bbf17cd3687\n\"a\"=\"second\"\n"
         "\n[System\\\\ControlSet001\\\\Control] 1714564800\n#time=1da9bbf17cd3687\n\"Where\"=\"control\"\n"
         "\n[System\\\\ControlSet001\\\\Hardware Profiles\\\\Current\\\\Software] 1714564800\n"
         "#time=1da9bbf17cd3687\n\"Profile\"=\"current\"\n"
         "\n[System\\\\CurrentControlSet] 1714564800\n#time=1da9bbf17cd3687\n#link\n"
         "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,\\\n"
         "  00,5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,79,00,73,00,\\\n"
         "  74,00,65,00,6d,00,5c,00,43,00,6f,00,6e,00,74,00,72,00,6f,00,6c,00,53,00,65,\\\n"
         "  00,74,00,30,00,30,00,31,00\n";
}

std::string UserHive(const char* branch, const char* value) {
  return std::string("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\") + branch +
         "\n\n#arch=win64\n"
         "\n[Control Panel\\\\Desktop] 1714564800\n#time=1da9bbf17cd3687\n\"Who\"=\"" +
         value + "\"\n";
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteHives("win64"); }

  void WriteHives(const char* arch) {
    WriteHostFile(SystemReg(), MachineHive(arch));
    WriteHostFile(prefix.Directory() + "/user.reg", UserHive("S-1-5-21-0-0-0-1000", "user"));
    WriteHostFile(prefix.Directory() + "/userdef.reg", UserHive(".Default", "default user"));
  }
  std::string SystemReg() const { return prefix.Directory() + "/system.reg"; }

  // The value's data as a text, or "<missing>".
  std::string Read(RegKey root, const char* subkey, const char* name, std::uint32_t access = KEY_READ) {
    HostRegistry registry(prefix.Directory());
    RegKey key = 0;
    if (!registry.OpenKey(root, subkey, access, &key)) return "<no key>";
    std::uint8_t data[512] = {};
    std::uint32_t size = sizeof data - 1;
    std::uint32_t type = 0;
    bool found = registry.QueryValue(key, name, &type, data, &size);
    registry.CloseKey(key);
    return found ? std::string(reinterpret_cast<char*>(data), size) : "<missing>";
  }

  TempPrefix prefix;
};

struct Lookup {
  RegKey root;
  std::string subkey;
  const char* name;
  std::string expected;
  std::uint32_t access = KEY_ALL_ACCESS;
};

TEST_F(RegistryTest, KeysResolveAsA32BitProgramSeesThemIn64BitPrefix) {
  std::string installDir = std::string("C:\\Games\\") + kGame + "\\" + std::string(1, '\0');
  Lookup cases[] = {
      // Redirected through Wow6432Node, whatever the case of the path.
      {HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", "InstallDir", installDir},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\sample\\GAME", "installdir", installDir},
      {HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", "", std::string("default", 8)},
      {HKEY_LOCAL_MACHINE, "Software\\\\Sample\\Game\\", "Version", std::string("1.02", 5)},
      {HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Sample\\Game", "Version", std::string("1.02", 5)},
      // The 64-bit key is out of sight unless asked for.
      {HKEY_LOCAL_MACHINE, "Software\\Sample\\Native", "Bits", "<no key>"},
      {HKEY_LOCAL_MACHINE, "Software\\Sample\\Native", "Bits", std::string("\x40\0\0\0", 4),
       KEY_ALL_ACCESS | KEY_WOW64_64KEY},
      // A key that has no block of its own exists through the deeper ones.
      {HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Sample", "Version", "<missing>"},
      {HKEY_LOCAL_MACHINE, "Software\\Missing", "Version", "<no key>"},
      // Two blocks of one key: the later adds to and overrides the first.
      {HKEY_LOCAL_MACHINE, "Software\\Dup", "A", std::string("second", 7), KEY_READ | KEY_WOW64_64KEY},
      {HKEY_LOCAL_MACHINE, "Software\\dup", "B", std::string("only", 5), KEY_READ | KEY_WOW64_64KEY},
      // Converted before it is split: the 0x5C of "ソ" is no separator.
      {HKEY_LOCAL_MACHINE, std::string("Software\\") + kSoft + "\\" + kGame, "Name",
       std::string("soft", 5), KEY_READ | KEY_WOW64_64KEY},
      // The link CurrentControlSet -> ControlSet001, and the roots on it.
      {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control", "Where", std::string("control", 8)},
      {HKEY_CURRENT_CONFIG, "Software", "Profile", std::string("current", 8)},
      // HKCR: its Wow6432Node first, the shared rest from Classes itself.
      {HKEY_CLASSES_ROOT, "CLSID", "", std::string("32", 3)},
      {HKEY_CLASSES_ROOT, ".txt", "", std::string("txtfile", 8)},
      {HKEY_CLASSES_ROOT, "\\.txt", "", std::string("txtfile", 8)},
      {HKEY_LOCAL_MACHINE, "\\Software\\Sample\\Game", "Version", "<no key>"},
      // The user branches.
      {HKEY_CURRENT_USER, "Control Panel\\Desktop", "Who", std::string("user", 5)},
      {HKEY_USERS, "S-1-5-21-0-0-0-1000\\Control Panel\\Desktop", "Who", std::string("user", 5)},
      {HKEY_USERS, ".DEFAULT\\Control Panel\\Desktop", "Who", std::string("default user", 13)},
      {HKEY_USERS, "S-1-5-18", "", "<no key>"},
      {HKEY_PERFORMANCE_DATA, "Global", "", "<no key>"},
      {HKEY_DYN_DATA, "PerfStats", "", "<no key>"},
  };
  for (const Lookup& c : cases)
    EXPECT_EQ(Read(c.root, c.subkey.c_str(), c.name, c.access), c.expected) << c.subkey << " " << c.name;
}

TEST_F(RegistryTest, NothingIsRedirectedIn32BitPrefix) {
  WriteHives("win32");
  Lookup cases[] = {
      {HKEY_LOCAL_MACHINE, "Software\\Sample\\Native", "Bits", std::string("\x40\0\0\0", 4)},
      {HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", "Version", "<no key>"},
      {HKEY_LOCAL_MACHINE, "Software\\Dup", "A", std::string("second", 7)},
      {HKEY_CLASSES_ROOT, "CLSID", "", "<no key>"},
      {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control", "Where", std::string("control", 8)},
  };
  for (const Lookup& c : cases)
    EXPECT_EQ(Read(c.root, c.subkey.c_str(), c.name, c.access), c.expected) << c.subkey << " " << c.name;
}

TEST_F(RegistryTest, RootsWithAnEmptySubkeyAreThemselves) {
  HostRegistry registry(prefix.Directory());
  for (RegKey root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                      HKEY_CURRENT_CONFIG}) {
    RegKey key = 0;
    EXPECT_TRUE(registry.OpenKey(root, "", KEY_ALL_ACCESS, &key)) << root;
    EXPECT_EQ(key, root);
  }
  for (RegKey root : {HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA}) {
    RegKey key = 0;
    EXPECT_FALSE(registry.OpenKey(root, "", KEY_ALL_ACCESS, &key)) << root;
    EXPECT_FALSE(registry.CreateKey(root, "Pache", KEY_ALL_ACCESS, &key)) << root;
    std::uint32_t size = 0;
    EXPECT_FALSE(registry.QueryValue(root, "Global", nullptr, nullptr, &size)) << root;
    EXPECT_FALSE(registry.SetValue(root, "x", REG_SZ, reinterpret_cast<const std::uint8_t*>("x"), 1));
  }
  // Keys opened from an open key, and an unknown handle.
  RegKey sample = 0, game = 0;
  ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample", KEY_READ, &sample));
  ASSERT_TRUE(registry.OpenKey(sample, "Game", KEY_READ, &game));
  std::uint32_t size = 0;
  EXPECT_TRUE(registry.QueryValue(game, "Version", nullptr, nullptr, &size));
  EXPECT_EQ(size, 5u);
  registry.CloseKey(game);
  EXPECT_FALSE(registry.QueryValue(game, "Version", nullptr, nullptr, &size));
  EXPECT_FALSE(registry.OpenKey(12345, "Game", KEY_READ, &game));
}

TEST_F(RegistryTest, AHiveTheUserCannotWriteRefusesFullAccess) {
  ASSERT_EQ(chmod(SystemReg().c_str(), 0444), 0);
  HostRegistry registry(prefix.Directory());
  RegKey key = 0;
  EXPECT_FALSE(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_ALL_ACCESS, &key));
  EXPECT_FALSE(registry.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_ALL_ACCESS, &key));
  ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_READ, &key));
  EXPECT_FALSE(registry.SetValue(key, "Version", REG_SZ, reinterpret_cast<const std::uint8_t*>("2"), 1));
  EXPECT_FALSE(registry.SetValue(HKEY_LOCAL_MACHINE, "x", REG_SZ, reinterpret_cast<const std::uint8_t*>("2"), 1));
  // The user's own hive is still theirs.
  EXPECT_TRUE(registry.OpenKey(HKEY_CURRENT_USER, "Control Panel\\Desktop", KEY_ALL_ACCESS, &key));
  EXPECT_EQ(ReadHostFile(SystemReg()), MachineHive("win64"));
}

TEST_F(RegistryTest, AnotherUsersHiveRefusesFullAccess) {
  // Files of root that "nobody" may read but not write.
  std::string prefixDirectory = prefix.Directory();
  std::optional<bool> refused = test::RunUnprivileged([&] {
    HostRegistry registry(prefixDirectory);
    RegKey key = 0;
    return !registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_ALL_ACCESS, &key) &&
           registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_READ, &key);
  });
  if (!refused.has_value() || geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  EXPECT_TRUE(*refused);
  test::GiveToUnprivileged(prefixDirectory);
  std::optional<bool> granted = test::RunUnprivileged([&] {
    HostRegistry registry(prefixDirectory);
    RegKey key = 0;
    return registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_ALL_ACCESS, &key);
  });
  EXPECT_EQ(granted, true);
}

TEST_F(RegistryTest, MissingOrForeignHivesHoldNoKeys) {
  WriteHostFile(prefix.Directory() + "/user.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n");
  unlink((prefix.Directory() + "/userdef.reg").c_str());
  HostRegistry registry(prefix.Directory());
  RegKey key = 0;
  EXPECT_FALSE(registry.OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ, &key));
  EXPECT_FALSE(registry.CreateKey(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, &key));
  EXPECT_FALSE(registry.OpenKey(HKEY_USERS, ".Default\\Control Panel", KEY_READ, &key));
  EXPECT_FALSE(registry.CreateKey(HKEY_USERS, ".Default\\Control Panel", KEY_ALL_ACCESS, &key));
  EXPECT_EQ(ReadHostFile(prefix.Directory() + "/user.reg"), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n");
  // An architecture Wine does not know makes the whole file unreadable.
  WriteHostFile(SystemReg(), "WINE REGISTRY Version 2\n#arch=arm\n\n[Software\\\\A]\n\"x\"=\"y\"\n");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "Software\\A", "x"), "<no key>");
}

// ------------------------------------------------ values and code pages ----

class ScopedCodePage {
 public:
  explicit ScopedCodePage(const char* codePage) { setenv("PACHE_ACP", codePage, 1); }
  ~ScopedCodePage() { unsetenv("PACHE_ACP"); }
};

// The value line that the hive holds for "V" of Software\Sample\Game.
std::string StoredLine(const std::string& hive) {
  std::size_t block = hive.find("[Software\\\\Wow6432Node\\\\Sample\\\\Game]");
  std::size_t line = hive.find("\n\"V\"=", block);
  if (block == std::string::npos || line == std::string::npos) return "<none>";
  return hive.substr(line + 1, hive.find('\n', line + 1) - line - 1);
}

TEST_F(RegistryTest, SetValueStoresStringsAsNtDoes) {
  struct Case {
    const char* codePage;
    std::string buffer;  // what the caller's buffer holds
    std::uint32_t count;
    std::string line;
    std::uint32_t probe;  // what a size probe gives afterwards
  } cases[] = {
      {"932", std::string("1.02\0", 5), 4, "\"V\"=\"1.02\"", 5},
      {"932", std::string(kGame) + '\0', 6, "\"V\"=\"\\x30b2\\x30fc\\x30e0\"", 7},
      {"932", std::string("\0", 1), 0, "\"V\"=hex(1):", 0},
      {"932", "1.02X", 4, "\"V\"=hex(1):31,00,2e,00,30,00,32,00", 4},
      {"932", std::string("1.02\0", 5), 5, "\"V\"=\"1.02\"", 5},
      {"932", std::string("C:\\a=b\0", 7), 6, "\"V\"=\"C:\\\\a=b\"", 7},
      {"1252", std::string("caf\xe9\0", 5), 4, "\"V\"=\"caf\\xe9\"", 5},
      {"1252", std::string("\x83\x80\0", 3), 2, "\"V\"=\"\\x192\\x20ac\"", 3},
  };
  for (const Case& c : cases) {
    ScopedCodePage codePage(c.codePage);
    HostRegistry registry(prefix.Directory());
    RegKey key = 0;
    ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_ALL_ACCESS, &key));
    ASSERT_TRUE(registry.SetValue(key, "V", REG_SZ, reinterpret_cast<const std::uint8_t*>(c.buffer.data()),
                                  c.count));
    registry.CloseKey(key);
    EXPECT_EQ(StoredLine(ReadHostFile(SystemReg())), c.line) << c.codePage << " " << c.count;
    HostRegistry again(prefix.Directory());
    ASSERT_TRUE(again.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_READ, &key));
    std::uint32_t size = 0, type = 0;
    ASSERT_TRUE(again.QueryValue(key, "V", &type, nullptr, &size));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, c.probe) << c.line;
  }
}

TEST_F(RegistryTest, QueryValueAnswersAsNtDoes) {
  WriteHostFile(SystemReg(), "WINE REGISTRY Version 2\n\n#arch=win32\n"
                             "\n[Software\\\\Game] 1714564800\n"
                             "\"Zero\"=\"1.02\"\n"
                             "\"NoZero\"=hex(1):31,00,2e,00,30,00,32,00\n"
                             "\"Japanese\"=\"\\x30b2\\x30fc\\x30e0\"\n"
                             "\"Empty\"=hex(1):\n"
                             "\"Odd\"=hex(1):31,00,32\n"
                             "\"Number\"=dword:00000102\n"
                             "\"Blob\"=hex:01,02,03\n");
  struct Case {
    const char* codePage;
    const char* name;
    std::uint32_t bufferSize;
    bool result;
    std::uint32_t type;
    std::uint32_t size;
    std::string buffer;  // the first bytes of the buffer afterwards (filled with 0xEE before)
  } cases[] = {
      {"932", "Zero", 512, true, REG_SZ, 5, std::string("1.02\0\xEE", 6)},
      {"932", "NoZero", 512, true, REG_SZ, 4, std::string("1.02\0\xEE", 6)},  // a zero added, not counted
      {"932", "NoZero", 4, true, REG_SZ, 4, "1.02\xEE"},                      // no room for it
      {"932", "Japanese", 512, true, REG_SZ, 7, std::string(kGame) + std::string("\0\xEE", 2)},
      {"932", "Japanese", 6, false, REG_SZ, 7, "\xEE\xEE"},  // too small: untouched
      {"932", "Empty", 512, true, REG_SZ, 0, "\xEE"},
      {"932", "Odd", 512, true, REG_SZ, 1, std::string("1\0\xEE", 3)},
      {"932", "Number", 512, true, REG_DWORD, 4, std::string("\x02\x01\0\0\xEE", 5)},
      {"932", "Blob", 2, false, REG_BINARY, 3, "\xEE"},
      {"932", "Blob", 3, true, REG_BINARY, 3, "\x01\x02\x03\xEE"},
      {"932", "blob", 512, true, REG_BINARY, 3, "\x01\x02\x03\xEE"},  // no zero after binary data
      {"932", "Missing", 512, false, 0xFFFF, 512, "\xEE"},
      {"1252", "Japanese", 512, true, REG_SZ, 4, std::string("???\0\xEE", 5)},
      {"1252", "Zero", 512, true, REG_SZ, 5, std::string("1.02\0", 5)},
  };
  for (const Case& c : cases) {
    ScopedCodePage codePage(c.codePage);
    HostRegistry registry(prefix.Directory());
    RegKey key = 0;
    ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Game", KEY_ALL_ACCESS, &key));
    std::uint32_t type = 0xFFFF, probe = 12345;
    EXPECT_EQ(registry.QueryValue(key, c.name, &type, nullptr, &probe), c.name != std::string("Missing"));
    if (c.result || c.size != c.bufferSize) {
      EXPECT_EQ(probe, c.size) << c.name;  // the probe gives the size the read needs
    }
    std::uint8_t buffer[600];
    std::memset(buffer, 0xEE, sizeof buffer);
    std::uint32_t size = c.bufferSize;
    type = 0xFFFF;
    EXPECT_EQ(registry.QueryValue(key, c.name, &type, buffer, &size), c.result) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(size, c.size) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), c.buffer.size()), c.buffer) << c.name;
  }
}

TEST_F(RegistryTest, ValueNamesGoThroughTheCodePage) {
  HostRegistry registry(prefix.Directory());
  RegKey key = 0;
  ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", KEY_ALL_ACCESS, &key));
  ASSERT_TRUE(registry.SetValue(key, kGame, REG_SZ, reinterpret_cast<const std::uint8_t*>("x"), 1));
  EXPECT_NE(ReadHostFile(SystemReg()).find("\n\"\\x30b2\\x30fc\\x30e0\"=\"x\"\n"), std::string::npos);
  std::uint32_t size = 0;
  EXPECT_TRUE(registry.QueryValue(key, kGame, nullptr, nullptr, &size));
  EXPECT_EQ(size, 2u);
}

}  // namespace
}  // namespace pache::host
