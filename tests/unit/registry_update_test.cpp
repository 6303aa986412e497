#include "apply/registry_update.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/scrambled.h"
#include "tests/unit/patch_machine.h"

namespace pache {
namespace {

using machine::Scrambled;

// Loads `text` as the definition text of `session`.
void LoadDefinition(FakePlatform& fake, PatchSession& session, const std::string& text) {
  fake.files.AddFile("C:\\patch\\PACH.suk", Scrambled(text));
  ASSERT_TRUE(LoadScrambledText(session, "C:\\patch\\PACH.suk"));
}

std::string Stored(const FakePlatform& fake, RegKey root, const char* subkey, const char* name) {
  auto value = fake.registry.Value(root, subkey, name);
  return value ? value->bytes : "(missing)";
}

TEST(ApplyRegistrySection, RewritesOnlyValuesThatExist) {
  FakePlatform fake;
  PatchSession session(fake.platform());
  FakeRegistry& registry = fake.registry;
  const RegKey hklm = HKEY_LOCAL_MACHINE;
  registry.AddString(hklm, "SOFTWARE\\S", "Version", "1.02");
  registry.AddString(hklm, "SOFTWARE\\S", "", "old default");
  registry.AddValue(hklm, "SOFTWARE\\S", "Number", REG_DWORD, std::string("\x05\0\0\0", 4));
  for (const char* name : {"Twice", "Macro", "Marker", "Empty"}) registry.AddString(hklm, "SOFTWARE\\S", name, "old");
  registry.AddString(HKEY_CURRENT_USER, "Software\\S", "Last-Path", "old");
  registry.AddKey(hklm, "SOFTWARE\\RO", true);
  registry.AddString(hklm, "SOFTWARE\\RO", "Version", "ro");
  LoadDefinition(fake, session,
                 "<REG>\r\n"
                 "2SOFTWARE\\S-Version=1.03\r\n"
                 "2SOFTWARE\\S-Missing=x\r\n"
                 "2SOFTWARE\\Gone-Version=x\r\n"
                 "1Software\\S-Last-Path=C:\\a=b\r\n"
                 "2SOFTWARE\\S-=default%Dir%CD\r\n"
                 "2SOFTWARE\\S-Number=7\r\n"
                 "2SOFTWARE\\S-Twice=first\r\n"
                 "2SOFTWARE\\S-Twice=second\r\n"
                 "2SOFTWARE\\RO-Version=x\r\n"
                 "2SOFTWARE\\S-Macro=%dir%cd%Di\r\n"
                 "2SOFTWARE\\S-Marker=has <REG> inside\r\n"
                 "2SOFTWARE\\S-Empty=\r\n"
                 "\r\n"
                 "2SOFTWARE\\S Version=no dash\r\n"
                 "2SOFTWARE\\S-Version no equals\r\n"
                 "9SOFTWARE\\S-Version=bad root\r\n"
                 "2SOFTWARE\\S-Version=" + std::string(600, 'x') + "\r\n"
                 "<REG>\r\n"
                 "2SOFTWARE\\S-Version=after the section\r\n");

  EXPECT_TRUE(ApplyRegistrySection(session));

  std::vector<std::string> written;
  for (const RegistryWrite& write : registry.writes()) written.push_back(write.name);
  EXPECT_EQ(written, (std::vector<std::string>{"Version", "Last-Path", "", "Number", "Twice", "Twice",
                                               "Macro", "Marker", "Empty"}));
  // Written without their zero, stored with the one that follows.
  EXPECT_EQ(Stored(fake, hklm, "SOFTWARE\\S", "Version"), std::string("1.03", 5));
  EXPECT_EQ(Stored(fake, HKEY_CURRENT_USER, "Software\\S", "Last-Path"), std::string("C:\\a=b", 7));
  EXPECT_EQ(Stored(fake, hklm, "SOFTWARE\\S", ""), std::string("default", 8));
  EXPECT_EQ(registry.Value(hklm, "SOFTWARE\\S", "Number")->type, REG_SZ);
  EXPECT_EQ(Stored(fake, hklm, "SOFTWARE\\S", "Number"), std::string("7", 2));
  EXPECT_EQ(Stored(fake, hklm, "SOFTWARE\\S", "Twice"), std::string("second", 7));
  EXPECT_EQ(Stored(fake, hklm, "SOFTWARE\\S", "Macro"), std::string("%dir%cd%Di", 11));
  EXPECT_EQ(Stored(fake, hklm, "SOFTWARE\\S", "Marker"), std::string("has <REG> inside", 17));
  EXPECT_EQ(Stored(fake, hklm, "SOFTWARE\\S", "Empty"), "");
  EXPECT_EQ(Stored(fake, hklm, "SOFTWARE\\S", "Missing"), "(missing)");
  EXPECT_FALSE(registry.HasKey(hklm, "SOFTWARE\\Gone"));
  EXPECT_EQ(Stored(fake, hklm, "SOFTWARE\\RO", "Version"), std::string("ro", 3));
  EXPECT_EQ(registry.OpenKeyCount(), 0);
}

TEST(ApplyRegistrySection, EndsWithTheTextWhenTheSectionIsNotClosed) {
  struct Case {
    const char* name;
    std::string text;
    std::string version;
  } cases[] = {
      {"no section", "TITOL=x\r\n2SOFTWARE\\S-Version=1.03\r\n", std::string("1.02", 5)},
      {"no closing line", "<REG>\r\n2SOFTWARE\\S-Version=1.03\r\n", std::string("1.03", 5)},
      {"last line without CR LF", "<REG>\r\n2SOFTWARE\\S-Version=1.03", std::string("1.03", 5)},
      {"marker at the very end", "<REG>", std::string("1.02", 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    PatchSession session(fake.platform());
    fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\S", "Version", "1.02");
    LoadDefinition(fake, session, c.text);
    EXPECT_TRUE(ApplyRegistrySection(session));
    EXPECT_EQ(Stored(fake, HKEY_LOCAL_MACHINE, "SOFTWARE\\S", "Version"), c.version);
  }
}

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
