// DOS paths over a prefix: normalisation, drives, case-insensitive lookup,
// ANSI names and the working directory as a DOS path.
#include "platform/host/dos_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/host/codepage.h"
#include "platform/host/host_file_system.h"
#include "tests/host/temp_prefix.h"

namespace pache::host {
namespace {

using test::MakeHostFolder;
using test::TempPrefix;
using test::WorkingDirectory;
using test::WriteHostFile;

std::u16string Joined(const std::vector<std::u16string>& components) {
  std::u16string joined;
  for (const auto& component : components) joined += u"|" + component;
  return joined;
}

TEST(NormaliseComponents, FollowsWindowsRules) {
  struct Case {
    std::u16string path;
    bool valid;
    std::u16string components;
  };
  const Case cases[] = {
      {u"\\Games\\Data", true, u"|Games|Data"},
      {u"/Games//Data/", true, u"|Games|Data"},
      {u"\\.\\Games\\.\\x", true, u"|Games|x"},
      {u"\\..\\a", true, u"|a"},
      {u"\\Games\\..\\..\\a", true, u"|a"},
      {u"\\..", true, u""},
      {u"\\dir.\\x", true, u"|dir|x"},
      {u"\\a\\b. . ", true, u"|a|b"},
      {u"\\a\\ ..", true, u"|a"},
      {u"\\a\\b*", false, u""},
      {u"\\a?\\b", false, u""},
      {u"\\a\\b<c", false, u""},
      {u"\\a\\b|c", false, u""},
      {u"\\a\\\"b\"", false, u""},
      {u"\\a\\b:c", false, u""},
      {u"\\a\\b\x01", false, u""},
  };
  for (const Case& c : cases) {
    std::vector<std::u16string> components;
    bool valid = NormaliseComponents(c.path, components);
    EXPECT_EQ(valid, c.valid) << Utf16ToUtf8(c.path);
    if (c.valid) {
      EXPECT_EQ(Joined(components), c.components) << Utf16ToUtf8(c.path);
    }
  }
}

TEST(NamesEqualIgnoringCase, CoversMoreThanAscii) {
  EXPECT_TRUE(NamesEqualIgnoringCase(u"data.DAT", u"DATA.dat"));
  EXPECT_TRUE(NamesEqualIgnoringCase(u"\u00e9t\u00e9", u"\u00c9T\u00c9"));
  EXPECT_TRUE(NamesEqualIgnoringCase(u"\uff41", u"\uff21"));  // full-width a and A
  EXPECT_FALSE(NamesEqualIgnoringCase(u"data", u"date"));
  EXPECT_FALSE(NamesEqualIgnoringCase(u"data", u"data1"));
}

// A host path outside every drive but Z:, spelled as a DOS path.
std::string DosSpelling(std::string host) {
  if (host.size() > 1 && host.back() == '/') host.pop_back();
  for (char& ch : host)
    if (ch == '/') ch = '\\';
  return "Z:" + host;
}

class DosPathsTest : public ::testing::Test {
 protected:
  TempPrefix prefix;
  DosPaths paths{prefix.Directory()};

  PathLookup Resolve(const std::string& dos, std::string* relative = nullptr,
                     std::string* name = nullptr) {
    HostPath out;
    PathLookup lookup = paths.Resolve(dos, out);
    std::string root = prefix.Directory() + "/dosdevices/c:/";
    if (relative != nullptr)
      *relative = out.host.rfind(root, 0) == 0 ? out.host.substr(root.size()) : out.host;
    if (name != nullptr) *name = out.name;
    return lookup;
  }
};

TEST_F(DosPathsTest, ResolvesThroughDriveLinksAndCase) {
  MakeHostFolder(prefix.OnC("Games/data"));
  WriteHostFile(prefix.OnC("Games/data/X.DAT"), "x");
  MakeHostFolder(prefix.OnC("Both"));
  WriteHostFile(prefix.OnC("Both/Same.txt"), "mixed");
  WriteHostFile(prefix.OnC("Both/SAME.TXT"), "upper");
  struct Case {
    const char* dos;
    PathLookup lookup;
    const char* relative;
  };
  const Case cases[] = {
      {"C:\\Games\\data\\X.DAT", PathLookup::Found, "Games/data/X.DAT"},
      {"c:\\GAMES\\Data\\x.dat", PathLookup::Found, "Games/data/X.DAT"},
      {"C:/Games/data/X.DAT", PathLookup::Found, "Games/data/X.DAT"},
      {"C:\\Games\\Foo\\..\\data\\X.DAT", PathLookup::Found, "Games/data/X.DAT"},
      {"C:\\..\\..\\Games\\data\\X.DAT", PathLookup::Found, "Games/data/X.DAT"},
      {"C:\\Games\\data\\X.DAT. ", PathLookup::Found, "Games/data/X.DAT"},
      // The exact spelling wins over a name that differs in case only.
      {"C:\\Both\\SAME.TXT", PathLookup::Found, "Both/SAME.TXT"},
      {"C:\\Both\\Same.txt", PathLookup::Found, "Both/Same.txt"},
      // A new name keeps the caller's spelling.
      {"C:\\games\\DATA\\New.Dat", PathLookup::LastMissing, "Games/data/New.Dat"},
      {"C:\\Games\\Missing\\x.dat", PathLookup::PathNotFound, ""},
      {"C:\\Games\\data\\X.DAT\\y", PathLookup::PathNotFound, ""},
      {"D:\\Games", PathLookup::PathNotFound, ""},
      {"\\\\server\\share\\x", PathLookup::PathNotFound, ""},
      {"C:\\Games\\x*.dat", PathLookup::InvalidName, ""},
      {"", PathLookup::InvalidName, ""},
  };
  for (const Case& c : cases) {
    std::string relative;
    EXPECT_EQ(Resolve(c.dos, &relative), c.lookup) << c.dos;
    if (c.lookup == PathLookup::Found || c.lookup == PathLookup::LastMissing) {
      EXPECT_EQ(relative, c.relative) << c.dos;
    }
  }
}

TEST_F(DosPathsTest, DriveRootIsNeverLeft) {
  std::string relative;
  EXPECT_EQ(Resolve("C:\\..", &relative), PathLookup::Found);
  EXPECT_EQ(relative, prefix.Directory() + "/dosdevices/c:");
}

TEST_F(DosPathsTest, DecodesAnsiNamesBeforeSplitting) {
  // ソフト\表.txt: both 0x83 0x5C and 0x95 0x5C end in a backslash byte.
  MakeHostFolder(prefix.OnC("\u30bd\u30d5\u30c8"));
  WriteHostFile(prefix.OnC("\u30bd\u30d5\u30c8/\u8868.txt"), "x");
  std::string relative, name;
  EXPECT_EQ(Resolve("C:\\\x83\x5C\x83t\x83g\\\x95\x5C.txt", &relative, &name), PathLookup::Found);
  EXPECT_EQ(relative, "\u30bd\u30d5\u30c8/\u8868.txt");
  EXPECT_EQ(name, "\u8868.txt");
  // A byte that the code page does not map names no file.
  EXPECT_EQ(Resolve("C:\\\x83"), PathLookup::InvalidName);
}

TEST_F(DosPathsTest, RelativePathsFollowTheWorkingDirectory) {
  MakeHostFolder(prefix.OnC("Patch/sub"));
  WriteHostFile(prefix.OnC("Patch/PACH.suk"), "x");
  WorkingDirectory cwd(prefix.OnC("Patch"));
  std::string relative;
  EXPECT_EQ(Resolve("PACH.suk", &relative), PathLookup::Found);
  EXPECT_EQ(relative, "Patch/PACH.suk");
  EXPECT_EQ(Resolve("sub\\..\\pach.SUK", &relative), PathLookup::Found);
  EXPECT_EQ(relative, "Patch/PACH.suk");
  EXPECT_EQ(Resolve("C:pach.suk", &relative), PathLookup::Found);
  EXPECT_EQ(relative, "Patch/PACH.suk");
  EXPECT_EQ(Resolve("\\Patch\\PACH.suk", &relative), PathLookup::Found);
  EXPECT_EQ(relative, "Patch/PACH.suk");
}

TEST_F(DosPathsTest, CurrentDirectoryIsOnTheClosestDrive) {
  MakeHostFolder(prefix.OnC("Games/Sample/sub"));
  MakeHostFolder(prefix.OnC("\u30b2\u30fc\u30e0"));
  prefix.LinkDrive('d', "../drive_c/Games/Sample");
  std::string outside = prefix.Directory() + "/elsewhere";
  MakeHostFolder(outside);
  std::string outsideDos = DosSpelling(outside);
  struct Case {
    std::string cwd;
    std::string dos;
  };
  const Case cases[] = {
      {prefix.OnC(""), "C:\\"},
      {prefix.OnC("Games"), "C:\\Games"},
      {prefix.OnC("Games/Sample/sub"), "D:\\sub"},
      {prefix.OnC("Games/Sample"), "D:\\"},
      {prefix.OnC("\u30b2\u30fc\u30e0"), "C:\\\x83Q\x81[\x83\x80"},
      {outside, outsideDos},
  };
  for (const Case& c : cases) {
    WorkingDirectory cwd(c.cwd);
    EXPECT_EQ(paths.CurrentDirectory(), c.dos) << c.cwd;
    // And back: the DOS path leads to the same folder.
    HostPath back;
    ASSERT_EQ(paths.Resolve(paths.CurrentDirectory(), back), PathLookup::Found) << c.cwd;
    struct stat a, b;
    ASSERT_EQ(stat(back.host.c_str(), &a), 0);
    ASSERT_EQ(stat(c.cwd.c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino) << c.cwd;
  }
}

TEST(DosPathsWithoutDrives, ZMapsTheHostRoot) {
  TempPrefix prefix(/*withDosDevices=*/false);
  DosPaths paths(prefix.Directory());
  MakeHostFolder(prefix.OnC("Patch"));
  WorkingDirectory cwd(prefix.OnC("Patch"));
  EXPECT_EQ(paths.CurrentDirectory(), DosSpelling(prefix.OnC("Patch")));
  HostPath out;
  EXPECT_EQ(paths.Resolve("Z:\\", out), PathLookup::Found);
  EXPECT_EQ(out.host, "/");
  EXPECT_EQ(paths.Resolve("C:\\x", out), PathLookup::PathNotFound);
}

TEST(GetCurrentDirectory, ReportsTheLengthOrZeroWhenTooSmall) {
  TempPrefix prefix;
  MakeHostFolder(prefix.OnC("Games"));
  WorkingDirectory cwd(prefix.OnC("Games"));
  HostFileSystem files(prefix.Directory());
  char buffer[16];
  EXPECT_EQ(files.GetCurrentDirectory(buffer, sizeof buffer), 8u);
  EXPECT_STREQ(buffer, "C:\\Games");
  EXPECT_EQ(files.GetCurrentDirectory(buffer, 8), 0u);
  EXPECT_EQ(files.GetCurrentDirectory(buffer, 9), 8u);
}

}  // namespace
}  // namespace pache::host
