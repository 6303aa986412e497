#include "data/paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pache {
namespace {

TEST(NeedsSeparator, LooksAtTheLastByteOnly) {
  struct Case {
    const char* text;
    bool needs;
  } cases[] = {
      {"", true},
      {"C:\\Game", true},
      {"C:\\Game\\", false},
      // "表" is 0x95 0x5C in code page 932: its trail byte is a backslash.
      {"C:\\\x95\x5C", false},
  };
  for (const Case& c : cases) EXPECT_EQ(NeedsSeparator(c.text), c.needs) << c.text;
}

TEST(JoinPath, AddsOneSeparatorAndNormalisesNothingElse) {
  struct Case {
    const char* directory;
    const char* name;
    const char* joined;
  } cases[] = {
      {"C:\\Game", "a.dat", "C:\\Game\\a.dat"},
      {"C:\\Game\\", "a.dat", "C:\\Game\\a.dat"},
      {"", "a.dat", "\\a.dat"},
      {"C:\\Game\\", "\\a.dat", "C:\\Game\\\\a.dat"},
      {"C:\\Game", "", "C:\\Game\\"},
  };
  for (const Case& c : cases) {
    Text out;
    ASSERT_TRUE(JoinPath(out, c.directory, c.name));
    EXPECT_STREQ(out, c.joined);
  }
}

TEST(JoinPath, RefusesAPathThatDoesNotFit) {
  std::string directory(500, 'd');
  Text out;
  EXPECT_TRUE(JoinPath(out, directory.c_str(), std::string(10, 'n').c_str()));
  EXPECT_EQ(std::strlen(out), 511u);
  EXPECT_FALSE(JoinPath(out, directory.c_str(), std::string(11, 'n').c_str()));
  EXPECT_STREQ(out, "");
}

TEST(FormatText, CutsAtACharacterBoundary) {
  char out[6];
  // "ab" then three double-byte characters: only "ab" and one fit whole.
  EXPECT_FALSE(FormatText(out, sizeof out, "%s", "ab\x82\xA0\x82\xA2\x82\xA4"));
  EXPECT_STREQ(out, "ab\x82\xA0");
  EXPECT_TRUE(FormatText(out, sizeof out, "%d-%s", 12, "ab"));
  EXPECT_STREQ(out, "12-ab");
}

}  // namespace
}  // namespace pache
