#include "data/registry_ref.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/fake/fake_platform.h"

namespace pache {
namespace {

TEST(ParseRegistryReference, SplitsAtTheFirstSeparator) {
  struct Case {
    const char* reference;
    std::int32_t rootIndex;
    const char* subkey;
    const char* valueName;
  } cases[] = {
      {"2SOFTWARE\\Maker\\Game-InstallDir", 2, "SOFTWARE\\Maker\\Game", "InstallDir"},
      {"2SOFTWARE\\Game-", 2, "SOFTWARE\\Game", ""},
      {"1-Path", 1, "", "Path"},
      {"2-", 2, "", ""},
      {"0A-B-C", 0, "A", "B-C"},
      // The first byte is the root digit even when it is the separator.
      {"--Name", '-' - '0', "", "Name"},
      // Parsing does not test the digit; the root key table does.
      {"9Key-Value", 9, "Key", "Value"},
      // "ソ" is 0x83 0x5C: its trail byte is a backslash, never a separator.
      {"1Soft\\\x83\x5C-\x83\x5C", 1, "Soft\\\x83\x5C", "\x83\x5C"},
  };
  for (const Case& c : cases) {
    RegistryRef out;
    ASSERT_TRUE(ParseRegistryReference('-', c.reference, out)) << c.reference;
    EXPECT_EQ(out.rootIndex, c.rootIndex) << c.reference;
    EXPECT_STREQ(out.subkey, c.subkey) << c.reference;
    EXPECT_STREQ(out.valueName, c.valueName) << c.reference;
  }
}

TEST(ParseRegistryReference, RefusesAReferenceWithoutSeparator) {
  for (const char* reference : {"", "2", "2SOFTWARE\\Game", "-"}) {
    RegistryRef out;
    out.rootIndex = 5;
    out.subkey[0] = 'x';
    out.valueName[0] = 'y';
    EXPECT_FALSE(ParseRegistryReference('-', reference, out)) << reference;
    EXPECT_EQ(out.rootIndex, 0) << reference;
    EXPECT_STREQ(out.subkey, "") << reference;
    EXPECT_STREQ(out.valueName, "") << reference;
  }
}

TEST(RootKeyForIndex, CoversTheDigitsZeroToSix) {
  const RegKey roots[] = {HKEY_CLASSES_ROOT,     HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE,
                          HKEY_USERS,            HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                          HKEY_DYN_DATA};
  for (std::int32_t index = 0; index < 7; ++index) {
    RegKey root = 0;
    EXPECT_TRUE(RootKeyForIndex(index, root));
    EXPECT_EQ(root, roots[index]);
  }
  for (std::int32_t index : {-1, 7, '9' - '0', 'A' - '0', -48}) {
    RegKey root = 0;
    EXPECT_FALSE(RootKeyForIndex(index, root)) << index;
  }
}


// QueryRegistryReference over a registry holding, under HKEY_LOCAL_MACHINE
// (2) and HKEY_CURRENT_USER (1), the values the cases name.
class QueryRegistryReferenceTest : public ::testing::Test {
 protected:
  QueryRegistryReferenceTest() {
    fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "InstallDir", "C:\\Game");
    fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "", "default");
    fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker", "Last-Path", "C:\\a=b");
    fake.registry.AddString(HKEY_CURRENT_USER, "", "Path", "root value");
    fake.registry.AddValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "NoZero", REG_SZ, "abc");
    fake.registry.AddValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "Number", REG_DWORD,
                           std::string("1234", 4));
    fake.registry.AddValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "Zero", REG_DWORD,
                           std::string(4, '\0'));
    fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "Fits",
                            std::string(511, 'f'));
    fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "TooLong",
                            std::string(512, 'l'));
    fake.registry.AddValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "Binary", REG_BINARY,
                           std::string(512, 'b'));
    fake.registry.AddKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", true);
    fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", "InstallDir", "C:\\Locked");
  }

  FakePlatform fake;
  PatchSession session{fake.platform()};
};

TEST_F(QueryRegistryReferenceTest, ReadsTheNamedValueIntoTheBuffer) {
  struct Case {
    const char* reference;
    std::string value;
  } cases[] = {
      {"2SOFTWARE\\Maker\\Game-InstallDir", "C:\\Game"},
      {"2SOFTWARE\\Maker\\Game-", "default"},
      {"2SOFTWARE\\Maker-Last-Path", "C:\\a=b"},
      {"1-Path", "root value"},
      // Ended right after its data, not by the rest of the reference.
      {"2SOFTWARE\\Maker\\Game-NoZero", "abc"},
      // Any type is copied as its bytes.
      {"2SOFTWARE\\Maker\\Game-Number", "1234"},
      {"2SOFTWARE\\Maker\\Game-Zero", ""},
      {"2SOFTWARE\\Maker\\Game-Fits", std::string(511, 'f')},
  };
  for (const Case& c : cases) {
    Text buffer = {};
    std::strcpy(buffer, c.reference);
    EXPECT_TRUE(QueryRegistryReference(session, buffer)) << c.reference;
    EXPECT_EQ(std::string(buffer), c.value) << c.reference;
    EXPECT_EQ(fake.registry.OpenKeyCount(), 0) << c.reference;
  }
}

TEST_F(QueryRegistryReferenceTest, RefusesWithAnEmptyText) {
  for (const char* reference : {
           "",                                  // no reference at all
           "2SOFTWARE\\Maker\\Game",            // no "-"
           "7SOFTWARE\\Maker\\Game-InstallDir",  // outside the root key table
           "/SOFTWARE\\Maker\\Game-InstallDir",  // below "0"
           "2SOFTWARE\\Missing-InstallDir",     // no such key
           "2SOFTWARE\\Maker\\Game-Missing",    // no such value
           "2SOFTWARE\\Locked-InstallDir",      // the key may only be read
           "2SOFTWARE\\Maker\\Game-TooLong",    // 513 bytes with its zero
           "2SOFTWARE\\Maker\\Game-Binary",     // 512 bytes, no zero
           "4-Counter",                         // a root with nothing to open
       }) {
    Text buffer = {};
    std::strcpy(buffer, reference);
    std::memset(buffer + std::strlen(reference) + 1, 'x', 20);
    EXPECT_FALSE(QueryRegistryReference(session, buffer)) << reference;
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '\0')) << reference;
    EXPECT_EQ(fake.registry.OpenKeyCount(), 0) << reference;
  }
}

TEST_F(QueryRegistryReferenceTest, AFailedReadIsNoValue) {
  Text buffer = {};
  std::strcpy(buffer, "2SOFTWARE\\Maker\\Game-InstallDir");
  fake.registry.faults().FailNth(RegistryCall::QueryValue, 2);
  EXPECT_FALSE(QueryRegistryReference(session, buffer));
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(fake.registry.OpenKeyCount(), 0);
}

}  // namespace
}  // namespace pache
