// Whole runs of the program on the fake machine: start-up, install check,
// menu, frames, copy worker, registry and install log, and every way a run
// ends.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/texts.h"
#include "app/win_main.h"
#include "tests/unit/patch_machine.h"

namespace pache {
namespace {

using namespace machine;

const std::string kCompletionText =
    "Sample Story \x81`Ver 1.03\x81` "
    "\x82\xD6\x82\xCC\x8DX\x90V\x82\xF0\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
    "B";

class PatchRun : public ::testing::Test {
 protected:
  // A worker left running by a closed main window stops with the process,
  // before the session goes.
  void TearDown() override { fake.EndProcess(); }

  int Run() { return WinMain(session, SW_SHOWNORMAL); }

  std::vector<std::uint32_t> WorkerSleeps() const {
    std::vector<std::uint32_t> sleeps;
    for (const SleepRecord& sleep : fake.system.sleeps()) {
      if (!sleep.mainThread) sleeps.push_back(sleep.milliseconds);
    }
    return sleeps;
  }

  FakePlatform fake;
  PatchSession session{fake.platform()};
};

TEST_F(PatchRun, UpdatesTheSampleProduct) {
  InstallSample(fake);
  EXPECT_EQ(Run(), 0);

  EXPECT_EQ(fake.windows.titles(),
            (std::vector<std::string>{kMainWindowTitle, kTitleWaiting, "data\\voice\\voice01.dat",
                                      "story.exe", kTitleFinished}));
  EXPECT_TRUE(fake.files.IsFolder("C:\\Game\\data\\voice"));
  EXPECT_EQ(fake.files.Content("C:\\Game\\data\\voice\\voice01.dat"), "voice 01");
  EXPECT_EQ(fake.files.Content("C:\\Game\\story.exe"), "story 1.03");
  EXPECT_EQ(fake.files.Attributes("C:\\Game\\story.exe"), FILE_ATTRIBUTE_NORMAL);

  auto version = fake.registry.Value(HKEY_LOCAL_MACHINE, kGameKey, "Version");
  ASSERT_TRUE(version);
  EXPECT_EQ(version->type, REG_SZ);
  EXPECT_EQ(version->bytes, std::string("1.03\0", 5));

  // Old entries, then the whole block of 3 lines x 256 bytes, scrambled.
  std::string added =
      "C:\\Game\\data\\voice\\voice01.dat\n\nC:\\Game\\story.exe\n\n<END>\n\n";
  std::string expected = kOldLogEntries + added + std::string(3 * 256 - added.size(), '\0');
  EXPECT_EQ(fake.files.Content(kLogPath), Scrambled(expected));
  EXPECT_EQ(fake.files.Attributes(kLogPath), FILE_ATTRIBUTE_HIDDEN);

  ASSERT_EQ(fake.windows.messageBoxes().size(), 1u);
  const MessageBoxRecord done = fake.windows.messageBoxes()[0];
  EXPECT_EQ(done.text, kCompletionText);
  EXPECT_EQ(done.caption, kCompletionCaption);
  EXPECT_EQ(done.flags, MB_OK | MB_SYSTEMMODAL);
  EXPECT_EQ(done.owner, fake.windows.mainWindow());

  // One pause per line of the section, the closing line included.
  EXPECT_EQ(WorkerSleeps(), (std::vector<std::uint32_t>{100, 100, 100, 100}));
  EXPECT_EQ(fake.windows.quitCodes(), std::vector<int>{0});
  // Only the version file's bytes are left to the process's end.
  EXPECT_EQ(fake.system.liveBlocks(), 1);
  EXPECT_EQ(fake.system.badReleases(), 0);
}

TEST(PatchRunRefusal, ShowsOneBoxAndTouchesNothing) {
  struct Case {
    const char* name;
    std::function<void(FakePlatform&)> change;
    std::string text;
    const char* caption;
  } cases[] = {
      {"no definition", [](FakePlatform& f) { f.files.Remove("C:\\patch\\PACH.suk"); },
       std::string("PACH.suk") + (kMissingFileFormat + 2), kWarningCaption},
      {"not registered",
       [](FakePlatform& f) {
         f.registry.AddKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other");
         f.files.AddFile("C:\\patch\\PACH.suk", Scrambled([] {
                           Definition d;
                           d.installDirRef = "2SOFTWARE\\Other-InstallDir";
                           return d.Text();
                         }()));
       },
       kNotInstalledText, kNotInstalledCaption},
      {"no version file", [](FakePlatform& f) { f.files.Remove("C:\\Game\\version.txt"); },
       std::string("C:\\Game\\version.txt") + (kVersionFileMissingFormat + 2), kWarningCaption},
      {"other title",
       [](FakePlatform& f) { f.files.AddFile("C:\\Game\\version.txt", "Other Story\r\n1.02\r\n"); },
       kWrongTitleText, kWarningCaption},
      {"same version",
       [](FakePlatform& f) { f.files.AddFile("C:\\Game\\version.txt", "Sample Story\r\n1.03\r\n"); },
       kSameVersionText, kThanksCaption},
      {"higher version",
       [](FakePlatform& f) { f.files.AddFile("C:\\Game\\version.txt", "Sample Story\r\n1.04\r\n"); },
       kHigherVersionText, kThanksCaption},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    InstallSample(fake);
    c.change(fake);
    PatchSession session(fake.platform());
    EXPECT_EQ(WinMain(session, SW_SHOWNORMAL), 0);

    ASSERT_EQ(fake.windows.messageBoxes().size(), 1u);
    const MessageBoxRecord box = fake.windows.messageBoxes()[0];
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.caption, c.caption);
    EXPECT_EQ(box.owner, 0u);
    EXPECT_EQ(box.flags, MB_SYSTEMMODAL);
    EXPECT_TRUE(fake.windows.dialogs().empty());
    EXPECT_TRUE(fake.system.mainThreadSleeps().empty()) << "no frame ran";
    EXPECT_EQ(ChangingCalls(fake), 0);
    EXPECT_EQ(fake.system.badReleases(), 0);
  }
}

TEST(PatchRunMenu, StartsOrQuitsTheUpdate) {
  struct Case {
    const char* name;
    DialogScript script;
    bool updates;
  } cases[] = {
      // Enter, Escape and Alt+F4 arrive as IDOK and IDCANCEL: the menu stays.
      {"start", DialogScript().Command(IDOK).Command(IDCANCEL).Start(), true},
      {"quit", DialogScript().Quit(), false},
      {"cannot be shown", DialogScript::CannotShow(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    InstallSample(fake);
    fake.windows.ScriptDialog(c.script);
    PatchSession session(fake.platform());
    EXPECT_EQ(WinMain(session, SW_SHOWNORMAL), 0);
    fake.EndProcess();

    EXPECT_EQ(fake.files.Content("C:\\Game\\story.exe"), c.updates ? "story 1.03" : "story 1.02");
    EXPECT_EQ(RegistryText(fake, "Version"), std::string(c.updates ? "1.03" : "1.02", 5));
    if (!c.updates) {
      EXPECT_EQ(ChangingCalls(fake), 0);
      // The menu's pauses for WM_INITDIALOG and the command; no frame.
      EXPECT_EQ(fake.system.mainThreadSleeps(), std::vector<std::uint32_t>(2, 5));
    }
  }
}

TEST(PatchRunMenu, ShowsTheArtworkAndConsumesOtherMessages) {
  FakePlatform fake;
  InstallSample(fake);
  fake.windows.ScriptDialog(DialogScript()
                                .Command(IDCANCEL)
                                .Send(WM_TIMER)
                                .Send(WM_PAINT)
                                .Command(1009));
  PatchSession session(fake.platform());
  WinMain(session, SW_SHOWNORMAL);
  fake.EndProcess();

  ASSERT_EQ(fake.windows.dialogs().size(), 1u);
  const DialogRecord menu = fake.windows.dialogs()[0];
  EXPECT_EQ(menu.dialogId, 101);
  EXPECT_EQ(menu.owner, fake.windows.mainWindow());
  EXPECT_EQ(menu.result, 1009);
  std::vector<std::pair<std::uint32_t, bool>> handled;
  for (const DialogMessage& m : menu.messages) handled.emplace_back(m.message, m.handled);
  EXPECT_EQ(handled, (std::vector<std::pair<std::uint32_t, bool>>{{WM_INITDIALOG, true},
                                                                   {WM_COMMAND, true},
                                                                   {WM_TIMER, true},
                                                                   {WM_PAINT, false},
                                                                   {WM_COMMAND, true}}));
  std::vector<std::pair<int, int>> shown;
  for (const ShowWindowCall& call : fake.windows.showCalls()) {
    if (call.itemId != 0) shown.emplace_back(call.itemId, call.command);
  }
  EXPECT_EQ(shown, (std::vector<std::pair<int, int>>{{1032, SW_SHOW}, {1009, SW_SHOW}}));
  // 5 ms for every message that reached the menu, before the first frame.
  std::vector<std::uint32_t> sleeps = fake.system.mainThreadSleeps();
  ASSERT_GE(sleeps.size(), 5u);
  EXPECT_EQ(std::vector<std::uint32_t>(sleeps.begin(), sleeps.begin() + 5),
            std::vector<std::uint32_t>(5, 5));
}

TEST_F(PatchRun, CloseWhileCopyingKeepsCopiedFilesAndChangesNothingElse) {
  InstallSample(fake);
  // Change 1 is "please wait"; change 2 is the worker's title after its
  // first copy, where the close request stops it.
  fake.windows.CloseAfterTitleChanges(2);
  EXPECT_EQ(Run(), 0);

  EXPECT_EQ(fake.files.Content("C:\\Game\\data\\voice\\voice01.dat"), "voice 01");
  EXPECT_EQ(fake.files.Content("C:\\Game\\story.exe"), "story 1.02");
  EXPECT_EQ(RegistryText(fake, "Version"), std::string("1.02", 5));
  EXPECT_EQ(DecodedLog(fake), OldLog());
  EXPECT_TRUE(fake.windows.messageBoxes().empty());
  EXPECT_EQ(fake.windows.quitCodes(), std::vector<int>{0});
  // The worker may still use the definition text and the log block.
  EXPECT_EQ(fake.system.liveBlocks(), 3);
  EXPECT_EQ(fake.system.badReleases(), 0);
}

TEST_F(PatchRun, WorkerThatCannotStartEndsTheRunUnchanged) {
  InstallSample(fake);
  fake.system.faults().FailAll(SystemCall::StartThread);
  EXPECT_EQ(Run(), 0);

  ASSERT_EQ(fake.windows.messageBoxes().size(), 1u);
  EXPECT_EQ(fake.windows.messageBoxes()[0].text, kWorkerStartFailedText);
  EXPECT_EQ(fake.windows.messageBoxes()[0].caption, kCopyFailedCaption);
  EXPECT_EQ(fake.windows.messageBoxes()[0].owner, fake.windows.mainWindow());
  EXPECT_EQ(ChangingCalls(fake), 0);
  EXPECT_EQ(fake.system.liveBlocks(), 1);
}

TEST(SecondInstance, BringsTheFirstToTheFrontAndEndsSilently) {
  for (bool minimised : {false, true}) {
    SCOPED_TRACE(minimised ? "minimised" : "open");
    FakeDesktop desktop;
    FakePlatform first(desktop);
    FakePlatform second(desktop);
    InstallSample(first);
    first.windows.SetMinimised(minimised);
    int secondCode = -1;
    first.windows.ScriptDialog(DialogScript()
                                   .Run([&] {
                                     PatchSession copy(second.platform());
                                     secondCode = WinMain(copy, SW_SHOWNORMAL);
                                   })
                                   .Quit());
    PatchSession session(first.platform());
    EXPECT_EQ(WinMain(session, SW_SHOWNORMAL), 0);

    EXPECT_EQ(secondCode, 0);
    EXPECT_EQ(second.windows.mainWindow(), 0u);
    EXPECT_TRUE(second.windows.messageBoxes().empty());
    ASSERT_EQ(first.windows.frontRequests().size(), 1u);
    EXPECT_EQ(first.windows.frontRequests()[0].popup, PopupKind::Dialog);
    EXPECT_EQ(first.windows.frontRequests()[0].restored, minimised);
  }
}

TEST(SecondInstance, EndsSilentlyBeforeTheFirstHasAWindow) {
  FakeDesktop desktop;
  FakePlatform first(desktop);
  FakePlatform second(desktop);
  PatchSession firstSession(first.platform());
  ASSERT_TRUE(EnsureSingleInstance(firstSession, kInstanceName));

  PatchSession session(second.platform());
  EXPECT_EQ(WinMain(session, SW_SHOWNORMAL), 0);
  EXPECT_EQ(second.windows.bringToFrontResults(), std::vector<bool>{false});
  EXPECT_EQ(second.windows.mainWindow(), 0u);
}

}  // namespace
}  // namespace pache
