// The fake registry's NT rules for string values and its access checks.
#include "tests/fake/fake_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pache {
namespace {

const char* const kKey = "SOFTWARE\\Maker\\Game";

RegKey OpenGame(FakeRegistry& registry, std::uint32_t access = KEY_ALL_ACCESS) {
  RegKey key = 0;
  EXPECT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, kKey, access, &key));
  return key;
}

TEST(FakeRegistryTest, SetValueKeepsTheZeroAfterAStringAsNtDoes) {
  struct Case {
    const char* name;
    std::uint32_t type;
    std::string buffer;  // the caller's bytes, beyond `count` too
    std::uint32_t count;
    std::string stored;
  } cases[] = {
      {"length without zero", REG_SZ, std::string("1.02\0\0", 6), 4, std::string("1.02\0", 5)},
      {"length with zero", REG_SZ, std::string("1.02\0\0", 6), 5, std::string("1.02\0", 5)},
      {"double-byte text", REG_SZ, std::string("\x83\x51\x81\x5B\x83\x80\0", 7), 6,
       std::string("\x83\x51\x81\x5B\x83\x80\0", 7)},
      {"next byte not zero", REG_SZ, "1.02X", 4, "1.02"},
      {"empty", REG_SZ, std::string("\0", 1), 0, ""},
      {"expand string", REG_EXPAND_SZ, std::string("%a%\0", 4), 3, std::string("%a%\0", 4)},
      {"binary is never grown", REG_BINARY, std::string("ab\0", 3), 2, "ab"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    FakeRegistry registry;
    registry.AddKey(HKEY_LOCAL_MACHINE, kKey);
    RegKey key = OpenGame(registry);
    ASSERT_TRUE(registry.SetValue(key, "Version", test.type,
                                  reinterpret_cast<const std::uint8_t*>(test.buffer.data()),
                                  test.count));
    registry.CloseKey(key);
    auto value = registry.Value(HKEY_LOCAL_MACHINE, "software\\maker\\GAME", "VERSION");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, test.type);
    EXPECT_EQ(value->bytes, test.stored);
    ASSERT_EQ(registry.writes().size(), 1u);
    EXPECT_EQ(registry.writes()[0].value.bytes, test.stored);
    EXPECT_EQ(registry.OpenKeyCount(), 0);
  }
}

TEST(FakeRegistryTest, QueryValueFollowsNt) {
  constexpr std::uint8_t kUntouched = 0xAA;
  struct Case {
    const char* name;
    std::uint32_t type;
    std::string stored;
    std::uint32_t bufferSize;  // 0: the size probe (no buffer)
    bool ok;
    std::uint32_t size;
    std::string read;  // the buffer's first bytes afterwards
  } cases[] = {
      {"probe", REG_SZ, std::string("1.02\0", 5), 0, true, 5, ""},
      {"with its zero", REG_SZ, std::string("1.02\0", 5), 16, true, 5, std::string("1.02\0\xAA", 6)},
      {"without zero gets one", REG_SZ, "1.02", 16, true, 4, std::string("1.02\0\xAA", 6)},
      {"without zero, no room", REG_SZ, "1.02", 4, true, 4, "1.02"},
      {"too small", REG_SZ, std::string("1.02\0", 5), 4, false, 5, "\xAA\xAA\xAA\xAA"},
      {"empty leaves the buffer", REG_SZ, "", 16, true, 0, "\xAA"},
      {"binary gets no zero", REG_BINARY, "ab", 16, true, 2, "ab\xAA"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    FakeRegistry registry;
    registry.AddValue(HKEY_LOCAL_MACHINE, kKey, "Version", test.type, test.stored);
    RegKey key = OpenGame(registry, KEY_READ);
    std::uint8_t buffer[16];
    std::memset(buffer, kUntouched, sizeof buffer);
    std::uint32_t type = REG_NONE;
    std::uint32_t size = test.bufferSize;
    EXPECT_EQ(registry.QueryValue(key, "version", &type,
                                  test.bufferSize == 0 ? nullptr : buffer, &size),
              test.ok);
    EXPECT_EQ(size, test.size);
    if (test.ok) {
      EXPECT_EQ(type, test.type);
    }
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), test.read.size()), test.read);
    registry.CloseKey(key);
  }
}

TEST(FakeRegistryTest, AccessAndMissingKeys) {
  FakeRegistry registry;
  registry.AddString(HKEY_LOCAL_MACHINE, kKey, "Dir", "C:\\Game");
  registry.AddKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", true);
  RegKey key = 0;

  EXPECT_FALSE(registry.OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", KEY_ALL_ACCESS, &key));
  EXPECT_FALSE(registry.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", KEY_ALL_ACCESS, &key));
  EXPECT_FALSE(registry.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked\\Sub", KEY_READ, &key))
      << "no subkey is made under a key the user may only read";
  ASSERT_TRUE(registry.OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", KEY_READ, &key));
  std::uint8_t byte = 1;
  EXPECT_FALSE(registry.SetValue(key, "x", REG_BINARY, &byte, 1)) << "opened for reading only";
  registry.CloseKey(key);

  EXPECT_FALSE(registry.OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", KEY_READ, &key));
  EXPECT_FALSE(registry.OpenKey(HKEY_LOCAL_MACHINE, "\\SOFTWARE", KEY_READ, &key));
  for (RegKey empty : {HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA}) {
    EXPECT_FALSE(registry.OpenKey(empty, "", KEY_READ, &key));
    EXPECT_FALSE(registry.CreateKey(empty, "x", KEY_ALL_ACCESS, &key));
    EXPECT_FALSE(registry.AddKey(empty, "x"));
  }

  ASSERT_TRUE(registry.CreateKey(HKEY_CURRENT_USER, "A\\B\\C", KEY_ALL_ACCESS, &key));
  registry.CloseKey(key);
  EXPECT_TRUE(registry.HasKey(HKEY_CURRENT_USER, "a\\b"));
  EXPECT_EQ(registry.OpenKeyCount(), 0);
}

}  // namespace
}  // namespace pache
