#include "apply/copy_worker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/texts.h"
#include "app/win_main.h"
#include "tests/unit/patch_machine.h"

namespace pache {
namespace {

using namespace machine;

// One whole run of the sample product with `copyLines` as its <COPY>
// section.
class CopyRun : public ::testing::Test {
 protected:
  void TearDown() override { fake.EndProcess(); }

  void Run(std::vector<std::string> copyLines, bool hasCopySection = true) {
    Definition definition;
    definition.copyLines = std::move(copyLines);
    definition.hasCopySection = hasCopySection;
    InstallSample(fake, definition);
    EXPECT_EQ(WinMain(session, SW_SHOWNORMAL), 0);
  }

  // What the run added to the decoded install log.
  std::string LogAdditions() const {
    std::string log = DecodedLog(fake);
    return log.substr(std::string(kOldLogEntries).size());
  }

  FakePlatform fake;
  PatchSession session{fake.platform()};
};

std::string CopyFailure(const std::string& source, const std::string& target) {
  return source + " \x82\xF0\n" + target + " \x82\xC9\x83R\x83s\x81[\x8Fo\x97\x88\x82\xDC\x82\xB9\x82\xF1";
}

std::string Padded(const std::string& text, std::size_t size) {
  return text + std::string(size - text.size(), '\0');
}

TEST(SplitAtEquals, LeftBeforeTheFirstRightUpToTheSecond) {
  struct Case {
    const char* line;
    const char* left;
    const char* right;
    std::int32_t equals;
  } cases[] = {
      {"voice01.dat=data\\voice\\voice01.dat", "voice01.dat", "data\\voice\\voice01.dat", 1},
      {"a=b=c", "a", "b", 2},
      {"save", "save", "", 0},
      {"save=", "save", "", 1},
      {"=b", "", "b", 1},
      {"=", "", "", 1},
      {"", "", "", 0},
      {"a==b", "a", "", 2},
  };
  for (const Case& c : cases) {
    Text left = {};
    Text right = {};
    EXPECT_EQ(SplitAtEquals(c.line, left, right), c.equals) << c.line;
    EXPECT_STREQ(left, c.left) << c.line;
    EXPECT_STREQ(right, c.right) << c.line;
  }
}


TEST_F(CopyRun, FailedCopiesAreReportedAndTheRunGoesOn) {
  fake.files.AddFile("C:\\patch\\locked.dat", "new");
  fake.files.AddFile("C:\\Game\\locked.dat", "old", FILE_ATTRIBUTE_READONLY);
  fake.files.AddFile("C:\\patch\\secret.dat", "new");
  fake.files.AddFile("C:\\Game\\secret.dat", "old", FILE_ATTRIBUTE_HIDDEN);
  fake.files.AddFile("C:\\patch\\a", "a file");
  // A line of 515 bytes, cut to 511 when read; and a whole line whose
  // target joined to C:\Game\ needs 512 bytes.
  std::string cutTarget(505, 't');
  std::string longTarget(504, 'u');
  Run({"missing.dat=missing.dat", "locked.dat=locked.dat", "secret.dat=secret.dat", "=b",
       "story.exe=" + cutTarget, "a=" + longTarget});

  std::vector<std::string> expected = {
      CopyFailure("C:\\patch\\missing.dat", "C:\\Game\\missing.dat"),
      CopyFailure("C:\\patch\\locked.dat", "C:\\Game\\locked.dat"),
      CopyFailure("C:\\patch\\secret.dat", "C:\\Game\\secret.dat"),
      CopyFailure("C:\\patch\\", "C:\\Game\\b"),
      // Messages too long for their text are cut.
      CopyFailure("C:\\patch\\story.exe", "C:\\Game\\" + cutTarget.substr(0, 501)).substr(0, 511),
      CopyFailure("C:\\patch\\a", longTarget).substr(0, 511),
  };
  std::vector<MessageBoxRecord> boxes = fake.windows.messageBoxes();
  ASSERT_EQ(boxes.size(), expected.size() + 1);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(boxes[i].text, expected[i]) << i;
    EXPECT_EQ(boxes[i].caption, kCopyFailedCaption);
    EXPECT_EQ(boxes[i].flags, MB_OK);
    EXPECT_EQ(boxes[i].owner, fake.windows.mainWindow());
    EXPECT_FALSE(boxes[i].mainThread);
  }
  EXPECT_EQ(boxes.back().caption, kCompletionCaption);

  EXPECT_EQ(fake.files.Content("C:\\Game\\locked.dat"), "old");
  EXPECT_EQ(fake.files.Content("C:\\Game\\secret.dat"), "old");
  EXPECT_EQ(fake.files.Content("C:\\Game\\story.exe"), "story 1.02");
  EXPECT_FALSE(fake.files.Exists("C:\\Game\\missing.dat"));
  // A failed copy still shows its target.
  std::vector<std::string> titles = fake.windows.titles();
  EXPECT_EQ(std::vector<std::string>(titles.begin() + 2, titles.end() - 1),
            (std::vector<std::string>{"missing.dat", "locked.dat", "secret.dat", "b",
                                      cutTarget.substr(0, 501), longTarget}));
  EXPECT_EQ(LogAdditions(), Padded("<END>\n\n", 6 * 256));
  // The registry is updated all the same.
  EXPECT_EQ(RegistryText(fake, "Version"), std::string("1.03", 5));
}

TEST_F(CopyRun, EachKindOfLineDoesItsPart) {
  fake.files.AddFile("C:\\patch\\a", "a file", FILE_ATTRIBUTE_READONLY);
  Run({"a=b=c", "save", "save2=", "", "=", "data", "nope\\deeper", " <COPY>"});

  EXPECT_EQ(fake.files.Content("C:\\Game\\b"), "a file");
  EXPECT_EQ(fake.files.Attributes("C:\\Game\\b"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(fake.files.Exists("C:\\Game\\c"));
  EXPECT_TRUE(fake.files.IsFolder("C:\\Game\\save"));
  EXPECT_TRUE(fake.files.IsFolder("C:\\Game\\save2"));
  EXPECT_FALSE(fake.files.Exists("C:\\Game\\nope"));
  // An existing folder and a missing parent fail in silence; a marker that
  // does not start its line closes nothing.
  std::vector<std::string> folderCalls;
  for (const FileCallRecord& call : fake.files.calls()) {
    if (call.call == FileCall::CreateDirectory) folderCalls.push_back(call.path);
  }
  EXPECT_EQ(folderCalls,
            (std::vector<std::string>{"C:\\Game\\save", "C:\\Game\\save2", "C:\\Game\\data",
                                      "C:\\Game\\nope\\deeper", "C:\\Game\\ <COPY>"}));
  // Only the copy reports and only it is listed; every line counts.
  EXPECT_EQ(fake.windows.messageBoxes().size(), 1u);
  EXPECT_EQ(LogAdditions(), Padded("C:\\Game\\b\n\n<END>\n\n", 8 * 256));
  EXPECT_EQ(fake.system.sleeps().size() - fake.system.mainThreadSleeps().size(), 9u);
}

TEST_F(CopyRun, WorkingDirectoryTooLongForItsTextCopiesNothing) {
  Definition definition;
  definition.copyLines = {"story.exe=story.exe"};
  InstallSample(fake, definition);
  std::string patchDir = "C:\\" + std::string(520, 'p');
  fake.files.SetCurrentDirectory(patchDir);
  fake.files.AddFile(patchDir + "\\PACH.suk", *fake.files.Content("C:\\patch\\PACH.suk"));
  fake.files.AddFile(patchDir + "\\story.exe", "story 1.03");
  EXPECT_EQ(WinMain(session, SW_SHOWNORMAL), 0);

  EXPECT_EQ(fake.files.Content("C:\\Game\\story.exe"), "story 1.02");
  std::vector<MessageBoxRecord> boxes = fake.windows.messageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, CopyFailure("story.exe", "C:\\Game\\story.exe"));
}

TEST(CopyRunBlock, HoldsTheTerminatorHoweverShortTheSection) {
  struct Case {
    const char* name;
    bool hasCopySection;
    std::vector<std::string> lines;
    std::string additions;
  } cases[] = {
      {"no section", false, {}, Padded("<END>\n\n", 256)},
      {"empty section", true, {}, Padded("<END>\n\n", 256)},
      // 8 + 250 bytes of path, two LF, the terminator and its zero need
      // more than the line's 256 bytes: the block grows by one step.
      {"long entry", true, {"voice01.dat=" + std::string(250, 'v')},
       Padded("C:\\Game\\" + std::string(250, 'v') + "\n\n<END>\n\n", 512)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    Definition definition;
    definition.hasCopySection = c.hasCopySection;
    definition.copyLines = c.lines;
    InstallSample(fake, definition);
    PatchSession session(fake.platform());
    EXPECT_EQ(WinMain(session, SW_SHOWNORMAL), 0);
    fake.EndProcess();
    EXPECT_EQ(DecodedLog(fake), kOldLogEntries + c.additions);
    EXPECT_EQ(fake.system.liveBlocks(), 1);
  }
}

}  // namespace
}  // namespace pache
