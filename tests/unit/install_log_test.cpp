#include "apply/install_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/unit/patch_machine.h"

namespace pache {
namespace {

using machine::kLogPath;
using machine::Scrambled;

// The block of a run whose <COPY> section had two lines, one of them a
// successful copy of Z.
const std::string kBlockText = "C:\\Game\\Z\n\n<END>\n\n";
const std::string kBlock = kBlockText + std::string(512 - kBlockText.size(), '\0');

void GiveBlock(FakePlatform& fake, PatchSession& session) {
  session.copyLineCount = 2;
  session.logAdditions.bytes = static_cast<std::uint8_t*>(fake.system.Allocate(kBlock.size()));
  session.logAdditions.length = static_cast<std::int32_t>(kBlock.size());
  std::memcpy(session.logAdditions.bytes, kBlock.data(), kBlock.size());
}

TEST(UpdateInstallLog, KeepsTheEntriesBeforeTheFirstEndAndAppendsTheBlock) {
  struct Case {
    const char* name;
    std::string oldLog;  // decoded
    std::string kept;
  } cases[] = {
      {"two entries", "X\n\nY\n\n<END>\n\n" + std::string(30, '\0'), "X\n\nY\n\n"},
      {"empty list", "<END>\n\n" + std::string(30, '\0'), ""},
      {"two end markers", "X\n\n<END>\n\nY\n\n<END>\n\n", "X\n\n"},
      {"no end marker", "X\n\nY\n\n" + std::string(3, '\0'), "X\n\nY\n\n"},
      {"empty file", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    PatchSession session(fake.platform());
    std::strcpy(session.installDir, "C:\\Game\\");
    fake.files.AddFile(kLogPath, Scrambled(c.oldLog), FILE_ATTRIBUTE_HIDDEN);
    GiveBlock(fake, session);

    UpdateInstallLog(session);

    EXPECT_EQ(fake.files.Content(kLogPath), Scrambled(c.kept + kBlock));
    EXPECT_EQ(fake.files.Attributes(kLogPath), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_STREQ(session.fileName, kLogPath);
    EXPECT_EQ(session.logAdditions.bytes, nullptr);
    EXPECT_EQ(session.definitionText.length, static_cast<std::int32_t>(c.oldLog.size()));
    EXPECT_EQ(fake.system.liveBlocks(), c.oldLog.empty() ? 0 : 1) << "only the loaded log";
    EXPECT_EQ(fake.system.badReleases(), 0);
  }
}

TEST(UpdateInstallLog, LeavesTheOldLogWhenItCannotBeRewritten) {
  const std::string oldLog = Scrambled("X\n\n<END>\n\n");
  const std::string longDir = "C:\\" + std::string(242, 'g') + "\\";  // 246 bytes
  struct Case {
    const char* name;
    std::string installDir;
    std::function<void(FakePlatform&)> fault;
    bool blockReleased;
  } cases[] = {
      {"no log", "C:\\Game\\", [](FakePlatform& f) { f.files.Remove(kLogPath); }, false},
      {"path longer than a file name", longDir,
       [&](FakePlatform& f) { f.files.AddFile(longDir + "an\\CP_Data.suk", oldLog); }, false},
      {"create fails", "C:\\Game\\",
       [](FakePlatform& f) { f.files.faults().FailAll(FileCall::CreateAlways); }, true},
      {"write fails", "C:\\Game\\", [](FakePlatform& f) { f.files.FailWrites(kLogPath); }, true},
      {"no memory for the old entries", "C:\\Game\\",
       [](FakePlatform& f) { f.system.faults().FailFromNth(SystemCall::Allocate, 2); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    PatchSession session(fake.platform());
    std::strcpy(session.installDir, c.installDir.c_str());
    fake.files.AddFile(kLogPath, oldLog, FILE_ATTRIBUTE_HIDDEN);
    GiveBlock(fake, session);
    c.fault(fake);
    std::string before = fake.files.Content(c.installDir + "an\\CP_Data.suk").value_or("(none)");

    UpdateInstallLog(session);

    EXPECT_EQ(fake.files.Content(c.installDir + "an\\CP_Data.suk").value_or("(none)"), before);
    EXPECT_EQ(session.logAdditions.bytes == nullptr, c.blockReleased);
    EXPECT_EQ(fake.system.badReleases(), 0);
  }
}

}  // namespace
}  // namespace pache
