#include "apply/registry_update.h"

#include <gtest/gtest.h>

namespace pache {
namespace {

TEST(ParseRegistryLine, SplitsAtTheFirstDashAndTheFirstEqualsAfterIt) {
  struct Case {
    const char* text;  // a line of the section with its LF appended
    bool whole;
    std::int32_t rootIndex;
    const char* subkey;
    const char* valueName;
    const char* data;
  } cases[] = {
      {"2SOFTWARE\\Sample\\Game-Version=1.02\n", true, 2, "SOFTWARE\\Sample\\Game", "Version", "1.02"},
      {"1Software\\Sample-Last-Path=C:\\a=b\n", true, 1, "Software\\Sample", "Last-Path", "C:\\a=b"},
      {"2SOFTWARE\\Sample-Maker\\Story-Version=1.03\n", true, 2, "SOFTWARE\\Sample",
       "Maker\\Story-Version", "1.03"},
      {"2Key-=default\n", true, 2, "Key", "", "default"},
      {"2Key-Empty=\n", true, 2, "Key", "Empty", ""},
      {"2K-V=a\nb\n", true, 2, "K", "V", "a\nb"},  // only the appended LF ends the data
      {"9Key-Name=x\n", true, 9, "Key", "Name", "x"},
      {"2Key-Name\n", false, 2, "Key", "Name", ""},
      {"2Key=Name\n", false, 2, "Key=Name", "", ""},
      {"\n", false, -1, "", "", ""},
  };
  for (const Case& c : cases) {
    std::int32_t rootIndex = -1;
    Text subkey, valueName, data;
    EXPECT_EQ(ParseRegistryLine('-', '=', c.text, rootIndex, subkey, valueName, data), c.whole)
        << c.text;
    EXPECT_EQ(rootIndex, c.rootIndex) << c.text;
    EXPECT_STREQ(subkey, c.subkey) << c.text;
    EXPECT_STREQ(valueName, c.valueName) << c.text;
    EXPECT_STREQ(data, c.data) << c.text;
  }
}

TEST(ExpandMacros, RemovesBothMacrosAndNothingElse) {
  struct Case {
    const char* data;
    const char* expanded;
  } cases[] = {
      {"%Dir%CD", ""},
      {"C:\\%Dir\\save%CD.dat", "C:\\\\save.dat"},
      {"a%Dirb", "ab"},
      {"%dir%cd", "%dir%cd"},
      {"x%Di", "x%Di"},
      {"%C", "%C"},
      {"", ""},
  };
  for (const Case& c : cases) {
    Text out;
    EXPECT_TRUE(ExpandMacros(c.data, out)) << c.data;
    EXPECT_STREQ(out, c.expanded) << c.data;
  }
}

}  // namespace
}  // namespace pache
