#include "data/registry_ref.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace pache
