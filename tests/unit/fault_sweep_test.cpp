// Faults swept through whole patch runs on the fake machine: a clean run
// counts the calls of each kind, then every one of them fails in turn, in a
// fresh run each time. Whatever fails, nothing is lost: each target holds
// its old content or its new one, the install log is its old self byte for
// byte or the old entries followed by exactly the files that were copied,
// and the registry value is old or new.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/win_main.h"
#include "apply/install_log.h"
#include "tests/fake/fake_platform.h"

namespace pache {
namespace {

constexpr char kLog[] = "C:\\Game\\an\\CP_Data.suk";
constexpr char kKey[] = "SOFTWARE\\Maker\\Game";
const std::string kOldEntries = "C:\\Game\\a.dat\n\nC:\\Game\\b.dat\n\n";
const std::string kOldLog = kOldEntries + "<END>\n\n" + std::string(20, '\0');

std::string Scrambled(std::string text) {
  for (char& byte : text) byte = static_cast<char>(255 - static_cast<unsigned char>(byte));
  return text;
}

struct Target {
  const char* name;  // under C:\Game
  const char* oldContent;  // nullptr: the product has no such file yet
  const char* newContent;
};

const Target kTargets[] = {
    {"a.dat", "a 1.0", "a 1.1"},
    {"b.dat", "b 1.0", "b 1.1"},
    {"data\\c.dat", nullptr, "c 1.1"},
};

// The product 1.0 in C:\Game, the patch to 1.1 in C:\patch.
void Install(FakePlatform& fake) {
  std::string definition =
      "TITOL=Game\r\nVERSION=1.1\r\nVERSION_TXT=ver.txt\r\nDIR_REG=2SOFTWARE\\Maker\\Game-Dir\r\n"
      "<COPY>\r\ndata\r\n";
  for (const Target& target : kTargets) {
    definition += std::string(target.name) + "=" + target.name + "\r\n";
    fake.files.AddFile(std::string("C:\\patch\\") + target.name, target.newContent);
    if (target.oldContent != nullptr) {
      fake.files.AddFile(std::string("C:\\Game\\") + target.name, target.oldContent);
    }
  }
  definition += "<COPY>\r\n<REG>\r\n2SOFTWARE\\Maker\\Game-Version=1.1\r\n<REG>\r\n";
  fake.files.SetCurrentDirectory("C:\\patch");
  fake.files.AddFile("C:\\patch\\PACH.suk", Scrambled(definition));
  fake.files.AddFile("C:\\Game\\ver.txt", "Game\r\n1.0\r\n");
  fake.files.AddFile(kLog, Scrambled(kOldLog), FILE_ATTRIBUTE_HIDDEN);
  fake.registry.AddString(HKEY_LOCAL_MACHINE, kKey, "Dir", "C:\\Game");
  fake.registry.AddString(HKEY_LOCAL_MACHINE, kKey, "Version", "1.0");
  fake.windows.ScriptDialog(DialogScript().Start());
}

// What one run left behind; empty when nothing was lost or torn.
std::string Damage(const FakePlatform& fake) {
  std::string damage;
  std::string copied;  // the log entries the run may have added, in order
  for (const Target& target : kTargets) {
    std::string path = std::string("C:\\Game\\") + target.name;
    auto content = fake.files.Content(path);
    bool isNew = content == target.newContent;
    bool isOld = target.oldContent != nullptr ? content == target.oldContent : !content.has_value();
    if (!isNew && !isOld) damage += path + " is torn: " + content.value_or("(missing)") + "; ";
    if (isNew) copied += path + "\n\n";
  }
  std::string log = Scrambled(fake.files.Content(kLog).value_or("(missing)"));
  // The block holds one 256-byte step per line of the section.
  std::string newLog = kOldEntries + copied + "<END>\n\n";
  newLog += std::string(kOldEntries.size() + 4 * 256 - newLog.size(), '\0');
  if (log != kOldLog && log != newLog) damage += "log is neither old nor complete: " + log + "; ";
  if (fake.files.Attributes(kLog) != FILE_ATTRIBUTE_HIDDEN) damage += "log lost its hidden bit; ";
  auto version = fake.registry.Value(HKEY_LOCAL_MACHINE, kKey, "Version");
  std::string value = version ? version->bytes : "(missing)";
  if (value.find("1.0") != 0 && value.find("1.1") != 0) damage += "version reads " + value + "; ";
  return damage;
}

void RunPatch(FakePlatform& fake) {
  PatchSession session(fake.platform());
  WinMain(session, SW_SHOWNORMAL);
  fake.EndProcess();
}

TEST(FaultSweep, EveryFileCallFailingInTurnLosesNothing) {
  const FileCall kinds[] = {FileCall::OpenForReading, FileCall::CreateAlways, FileCall::GetSize,
                            FileCall::ReadFromStart,  FileCall::Write,        FileCall::Close,
                            FileCall::CopyFile,       FileCall::SetAttributes,
                            FileCall::CreateDirectory};
  FakePlatform clean;
  Install(clean);
  RunPatch(clean);
  ASSERT_EQ(Damage(clean), "");
  for (const Target& target : kTargets) {
    ASSERT_EQ(clean.files.Content(std::string("C:\\Game\\") + target.name), target.newContent);
  }
  ASSERT_NE(clean.files.Content(kLog), Scrambled(kOldLog));

  int faults = 0;
  for (FileCall kind : kinds) {
    int count = clean.files.faults().CallCount(kind);
    for (int nth = 1; nth <= count; ++nth) {
      SCOPED_TRACE(testing::Message() << "call kind " << static_cast<int>(kind) << ", nth " << nth);
      FakePlatform fake;
      Install(fake);
      fake.files.faults().FailNth(kind, nth);
      RunPatch(fake);
      EXPECT_EQ(Damage(fake), "");
      EXPECT_EQ(fake.files.OpenHandleCount(), 0);
      ++faults;
    }
  }
  EXPECT_GE(faults, 20);
  RecordProperty("faults", faults);
}

TEST(FaultSweep, EveryAllocationFailingInTurnLosesNothing) {
  FakePlatform clean;
  Install(clean);
  RunPatch(clean);
  int count = clean.system.faults().CallCount(SystemCall::Allocate);
  ASSERT_GT(count, 3);
  RecordProperty("faults", count);
  for (int nth = 1; nth <= count; ++nth) {
    SCOPED_TRACE(testing::Message() << "allocation " << nth);
    FakePlatform fake;
    Install(fake);
    fake.system.faults().FailNth(SystemCall::Allocate, nth);
    RunPatch(fake);
    EXPECT_EQ(Damage(fake), "");
  }
}

// The install log rewrite's own steps, each failing alone: the old log
// stays byte for byte, and the block is still released once.
TEST(FaultSweep, LogRewriteStepFailingKeepsTheOldLog) {
  struct Step {
    const char* name;
    FileCall call;
    int nth;  // counted from the start of the update: the load opens and closes first
  } steps[] = {
      {"create", FileCall::CreateAlways, 1},
      {"write of the old entries", FileCall::Write, 1},
      {"write of the block", FileCall::Write, 2},
      {"close", FileCall::Close, 2},
  };
  const std::string block = "C:\\Game\\z.dat\n\n<END>\n\n" + std::string(256 - 22, '\0');
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    FakePlatform fake;
    fake.files.AddFile(kLog, Scrambled(kOldEntries + "<END>\n\n"), FILE_ATTRIBUTE_HIDDEN);
    std::string before = *fake.files.Content(kLog);
    PatchSession session(fake.platform());
    std::strcpy(session.installDir, "C:\\Game\\");
    session.logAdditions.bytes = static_cast<std::uint8_t*>(fake.system.Allocate(block.size()));
    session.logAdditions.length = static_cast<std::int32_t>(block.size());
    std::memcpy(session.logAdditions.bytes, block.data(), block.size());
    fake.files.faults().FailNth(step.call, step.nth);

    UpdateInstallLog(session);

    EXPECT_EQ(fake.files.Content(kLog), before);
    EXPECT_EQ(fake.files.Attributes(kLog), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(fake.files.OpenHandleCount(), 0);
    EXPECT_EQ(session.logAdditions.bytes, nullptr);
    EXPECT_EQ(fake.system.badReleases(), 0);
  }
}

}  // namespace
}  // namespace pache
