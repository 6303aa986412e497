// The fake file system where it must match Windows closely: the core's
// tests rely on these refusals and on commit-on-close.
#include "tests/fake/fake_file_system.h"

#include <gtest/gtest.h>

#include <string>

namespace pache {
namespace {

constexpr std::uint32_t R = FILE_ATTRIBUTE_READONLY;
constexpr std::uint32_t H = FILE_ATTRIBUTE_HIDDEN;
constexpr std::uint32_t S = FILE_ATTRIBUTE_SYSTEM;

bool WriteWhole(FakeFileSystem& files, const char* path, std::uint32_t attributes,
                const std::string& content) {
  FileHandle file = files.CreateAlways(path, attributes);
  if (file == kNoFile) return false;
  bool written = files.Write(file, content.data(), static_cast<std::uint32_t>(content.size()));
  return files.Close(file) && written;
}

TEST(FakeFileSystemTest, PathsCompareWithoutCaseAndNormalise) {
  FakeFileSystem files;
  ASSERT_TRUE(files.AddFile("C:\\Game\\Data\\a.dat", "A"));
  ASSERT_TRUE(files.SetCurrentDirectory("C:\\Game"));
  // "\x83\x5C" is a double-byte character whose second byte is a backslash.
  ASSERT_TRUE(files.AddFile("C:\\Game\\\x83\x5C.txt", "SO"));

  for (const char* path : {"c:\\GAME\\data\\A.DAT", "C:/Game//Data/./a.dat", "Data\\a.dat",
                           "\\Game\\Data\\a.dat", "C:\\..\\Game\\x\\..\\Data\\a.dat",
                           "C:\\Game\\Data.\\a.dat "}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(files.Content(path), "A");
  }
  EXPECT_EQ(files.Content("C:\\Game\\\x83\x5C.txt"), "SO");
  EXPECT_FALSE(files.Exists("C:\\Game\\\x83")) << "a trail byte is never a separator";
  EXPECT_FALSE(files.Exists("C:\\Game\\\x83\x7C.txt")) << "trail bytes are not case-folded";
  EXPECT_FALSE(files.Exists("C:\\Game\\a?.dat"));

  char buffer[16];
  EXPECT_EQ(files.GetCurrentDirectory(buffer, sizeof buffer), 7u);
  EXPECT_STREQ(buffer, "C:\\Game");
  EXPECT_EQ(files.GetCurrentDirectory(buffer, 7), 0u) << "no room for the zero";
}

TEST(FakeFileSystemTest, OpenFilesAreNotShared) {
  FakeFileSystem files;
  files.AddFile("C:\\a.txt", "old");
  files.AddFile("C:\\b.txt", "b");
  FileHandle reader = files.OpenForReading("C:\\A.TXT");
  ASSERT_NE(reader, kNoFile);
  EXPECT_EQ(files.OpenForReading("C:\\a.txt"), kNoFile);
  EXPECT_EQ(files.CreateAlways("C:\\a.txt", FILE_ATTRIBUTE_NORMAL), kNoFile);
  EXPECT_FALSE(files.CopyFile("C:\\a.txt", "C:\\c.txt", false));
  EXPECT_FALSE(files.CopyFile("C:\\b.txt", "C:\\a.txt", false));
  EXPECT_TRUE(files.Close(reader));

  FileHandle writer = files.CreateAlways("C:\\a.txt", FILE_ATTRIBUTE_NORMAL);
  ASSERT_NE(writer, kNoFile);
  EXPECT_EQ(files.OpenForReading("C:\\a.txt"), kNoFile);
  EXPECT_TRUE(files.Close(writer));
  EXPECT_EQ(files.OpenHandleCount(), 0);
}

TEST(FakeFileSystemTest, CreatedFileReplacesTheOldOneOnlyWhenClosedAfterGoodWrites) {
  FakeFileSystem files;
  files.AddFile("C:\\log.suk", "old", H);

  FileHandle file = files.CreateAlways("C:\\log.suk", FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(file, kNoFile);
  EXPECT_TRUE(files.Write(file, "new", 3));
  EXPECT_EQ(files.Content("C:\\log.suk"), "old") << "nothing changes before the close";
  EXPECT_TRUE(files.Close(file));
  EXPECT_EQ(files.Content("C:\\log.suk"), "new");
  EXPECT_EQ(files.Attributes("C:\\log.suk"), H);

  files.FailWrites("C:\\log.suk");
  file = files.CreateAlways("C:\\log.suk", FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(files.Write(file, "x", 1));
  EXPECT_FALSE(files.Close(file));
  EXPECT_EQ(files.Content("C:\\log.suk"), "new") << "a failed write leaves the old file";

  FakeFileSystem fresh;
  file = fresh.CreateAlways("C:\\new.txt", FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(fresh.Exists("C:\\new.txt")) << "a new file appears at the close";
  fresh.faults().FailNth(FileCall::Close, 1);
  EXPECT_FALSE(fresh.Close(file));
  EXPECT_FALSE(fresh.Exists("C:\\new.txt"));
}

TEST(FakeFileSystemTest, CreateAlwaysRefusals) {
  struct Case {
    std::uint32_t existing;
    std::uint32_t requested;
    bool created;
  } cases[] = {
      {0, FILE_ATTRIBUTE_NORMAL, true},
      {R, FILE_ATTRIBUTE_NORMAL, false},
      {R | H, H, false},
      {H, FILE_ATTRIBUTE_NORMAL, false},
      {H, H, true},
      {S, H, false},
      {S | H, S | H, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(testing::Message() << "existing " << test.existing << " requested "
                                    << test.requested);
    FakeFileSystem files;
    files.AddFile("C:\\f", "old", test.existing);
    EXPECT_EQ(WriteWhole(files, "C:\\f", test.requested, "new"), test.created);
    EXPECT_EQ(files.Content("C:\\f"), test.created ? "new" : "old");
  }
  FakeFileSystem files;
  files.AddFolder("C:\\dir");
  EXPECT_FALSE(WriteWhole(files, "C:\\missing\\f", FILE_ATTRIBUTE_NORMAL, "x"));
  EXPECT_FALSE(WriteWhole(files, "C:\\dir", FILE_ATTRIBUTE_NORMAL, "x"));
}

TEST(FakeFileSystemTest, CopyFollowsWindows) {
  struct Case {
    const char* name;
    std::uint32_t targetAttributes;  // kNoAttributes: no target
    bool failIfExists;
    bool copied;
  } cases[] = {
      {"new target", kNoAttributes, false, true},
      {"plain target replaced", 0, false, true},
      {"fail if exists", 0, true, false},
      {"read-only target", R, false, false},
      {"hidden target", H, false, false},
      {"system target", S, false, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    FakeFileSystem files;
    files.AddFile("C:\\src\\a.dat", "patch", R | H);
    files.AddFolder("C:\\dst");
    if (test.targetAttributes != kNoAttributes) {
      files.AddFile("C:\\dst\\a.dat", "old", test.targetAttributes);
    }
    EXPECT_EQ(files.CopyFile("C:\\src\\a.dat", "C:\\dst\\a.dat", test.failIfExists), test.copied);
    if (test.copied) {
      EXPECT_EQ(files.Content("C:\\dst\\a.dat"), "patch");
      EXPECT_EQ(files.Attributes("C:\\dst\\a.dat"), R | H) << "the source's attributes follow";
      EXPECT_EQ(files.Time("C:\\dst\\a.dat"), files.Time("C:\\src\\a.dat"));
    } else {
      EXPECT_EQ(files.Content("C:\\dst\\a.dat"), "old");
      EXPECT_EQ(files.Attributes("C:\\dst\\a.dat"),
                test.targetAttributes == 0 ? FILE_ATTRIBUTE_NORMAL : test.targetAttributes);
    }
  }
  FakeFileSystem files;
  files.AddFile("C:\\src\\a.dat", "x");
  EXPECT_FALSE(files.CopyFile("C:\\src", "C:\\b.dat", false)) << "a folder is no source";
  EXPECT_FALSE(files.CopyFile("C:\\src\\missing", "C:\\b.dat", false));
  EXPECT_FALSE(files.CopyFile("C:\\src\\a.dat", "C:\\nowhere\\b.dat", false));
  EXPECT_FALSE(files.CopyFile("C:\\src\\a.dat", "C:\\SRC\\A.DAT", false));
  EXPECT_FALSE(files.CopyFile("C:\\src\\a.dat", "C:\\src", false)) << "a folder is no target";
  ASSERT_EQ(files.copies().size(), 5u);
  EXPECT_EQ(files.copies()[2].target, "C:\\nowhere\\b.dat");
}

TEST(FakeFileSystemTest, CreateDirectoryMakesOneLevel) {
  FakeFileSystem files;
  EXPECT_TRUE(files.CreateDirectory("C:\\Game"));
  EXPECT_FALSE(files.CreateDirectory("C:\\game")) << "exists";
  EXPECT_FALSE(files.CreateDirectory("C:\\Game\\a\\b")) << "parent missing";
  EXPECT_FALSE(files.CreateDirectory("C:\\")) << "a root exists";
  EXPECT_FALSE(files.CreateDirectory("D:\\x")) << "no such drive";
  EXPECT_TRUE(files.IsFolder("C:\\GAME"));
  EXPECT_EQ(files.foldersMade(), std::vector<std::string>{"C:\\Game"});
  EXPECT_EQ(files.Paths(), (std::vector<std::string>{"C:\\", "C:\\Game"}));
}

TEST(FakeFileSystemTest, FaultsHitTheNthCallOnceOrFromThen) {
  FakeFileSystem files;
  files.AddFile("C:\\a", "a");
  files.AddFile("C:\\b", "b");
  auto copies = [&] {
    std::string results;
    for (int index = 0; index < 4; ++index) {
      results += files.CopyFile("C:\\a", "C:\\b", false) ? 'y' : 'n';
    }
    return results;
  };
  files.faults().FailNth(FileCall::CopyFile, 2);
  EXPECT_EQ(copies(), "ynyy");
  files.faults().FailFromNth(FileCall::CopyFile, 3);
  EXPECT_EQ(copies(), "yynn");
  files.faults().Clear(FileCall::CopyFile);
  EXPECT_EQ(copies(), "yyyy");
  EXPECT_EQ(files.faults().CallCount(FileCall::CopyFile), 12);

  files.FailOpen("C:\\A");
  EXPECT_EQ(files.OpenForReading("C:\\a"), kNoFile);
  EXPECT_FALSE(files.CopyFile("C:\\a", "C:\\c", false));
  EXPECT_NE(files.OpenForReading("C:\\b"), kNoFile);
}

}  // namespace
}  // namespace pache
