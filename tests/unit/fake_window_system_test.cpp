// The fake window system's behaviour across threads and its scripts: the
// core's tests of the frame loop, the menu and the copy worker stand on it.
#include "tests/fake/fake_platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace pache {
namespace {

using namespace std::chrono_literals;

// A window procedure as a program writes it: WM_DESTROY ends the loop,
// everything else goes to the default processing.
std::intptr_t Procedure(void* context, WindowHandle window, std::uint32_t message,
                        std::uintptr_t wParam, std::intptr_t lParam) {
  auto& windows = *static_cast<FakeWindowSystem*>(context);
  if (message == WM_DESTROY) {
    windows.PostQuitMessage(0);
    return 0;
  }
  return windows.DefWindowProc(window, message, wParam, lParam);
}

WindowHandle MakeMainWindow(FakePlatform& fake) {
  EXPECT_TRUE(fake.windows.RegisterWindowClass("pache", Procedure, &fake.windows));
  return fake.windows.CreateMainWindow("pache", "menu");
}

// Takes and dispatches messages until WM_QUIT; returns its code.
int RunLoop(FakePlatform& fake) {
  Message message;
  for (;;) {
    if (!fake.windows.PeekMessage(&message)) {
      std::this_thread::sleep_for(1ms);
      continue;
    }
    if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
    fake.windows.TranslateMessage(message);
    fake.windows.DispatchMessage(message);
  }
}

struct Worker {
  FakePlatform* fake;
  WindowHandle window;
  std::atomic<bool> returned{false};
  bool result = false;
};

void SetTitleFromWorker(void* argument) {
  auto& worker = *static_cast<Worker*>(argument);
  worker.result = worker.fake->windows.SetWindowText(worker.window, "copy.dat");
  worker.returned = true;
}

TEST(FakeWindowSystemTest, TitleFromAnotherThreadWaitsForThePump) {
  FakePlatform fake;
  Worker worker{&fake, MakeMainWindow(fake)};
  ASSERT_TRUE(fake.system.StartThread(SetTitleFromWorker, &worker));
  while (fake.windows.queue().WaitingCalls() == 0) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(worker.returned);
  EXPECT_EQ(fake.windows.titles(), std::vector<std::string>{"menu"});

  Message message;
  EXPECT_FALSE(fake.windows.PeekMessage(&message)) << "the call is no message";
  fake.WaitForThreads();
  EXPECT_TRUE(worker.result);
  EXPECT_EQ(fake.windows.titles(), (std::vector<std::string>{"menu", "copy.dat"}));
  EXPECT_TRUE(fake.windows.titleChanges().back().fromOtherThread);
}

TEST(FakeWindowSystemTest, ClosedWindowFailsTheWorkersTitleAtOnce) {
  FakePlatform fake;
  Worker worker{&fake, MakeMainWindow(fake)};
  ASSERT_TRUE(fake.system.StartThread(SetTitleFromWorker, &worker));
  while (fake.windows.queue().WaitingCalls() == 0) std::this_thread::sleep_for(1ms);
  fake.windows.RequestClose();

  Message message;
  ASSERT_TRUE(fake.windows.PeekMessage(&message)) << "the call ran before the close";
  fake.windows.DispatchMessage(message);
  EXPECT_FALSE(fake.windows.IsWindow(worker.window));
  EXPECT_EQ(fake.windows.quitCodes(), std::vector<int>{0}) << "WM_DESTROY reached the procedure";

  fake.WaitForThreads();
  EXPECT_TRUE(worker.result) << "it was taken before the window went";
  worker.returned = false;
  ASSERT_TRUE(fake.system.StartThread(SetTitleFromWorker, &worker));
  fake.process.WaitForThreads();  // nobody pumps: it must not wait
  EXPECT_FALSE(worker.result);
}

struct Copier {
  FakePlatform* fake;
  WindowHandle window;
  std::atomic<int> copied{0};
};

void CopyThreeFiles(void* argument) {
  auto& copier = *static_cast<Copier*>(argument);
  for (const char* name : {"1", "2", "3"}) {
    copier.fake->system.Sleep(100);
    copier.fake->files.AddFile(std::string("C:\\") + name, name);
    copier.fake->files.CopyFile((std::string("C:\\") + name).c_str(),
                                (std::string("C:\\copy") + name).c_str(), false);
    ++copier.copied;
    copier.fake->windows.SetWindowText(copier.window, name);
  }
}

TEST(FakeWindowSystemTest, CloseAfterATitleStopsTheWorkerThere) {
  FakePlatform fake;
  Copier copier{&fake, MakeMainWindow(fake)};
  fake.windows.CloseAfterTitleChanges(2);
  ASSERT_TRUE(fake.system.StartThread(CopyThreeFiles, &copier));
  EXPECT_EQ(RunLoop(fake), 0);
  fake.EndProcess();

  EXPECT_EQ(copier.copied, 2);
  EXPECT_EQ(fake.windows.titles(), (std::vector<std::string>{"menu", "1", "2"}));
  EXPECT_TRUE(fake.files.Exists("C:\\copy2"));
  EXPECT_FALSE(fake.files.Exists("C:\\3"));
  EXPECT_EQ(fake.system.sleeps().size(), 2u);
  EXPECT_FALSE(fake.system.sleeps()[0].mainThread);
}

TEST(FakeWindowSystemTest, CloseAtATickComesWithTheFirstLookAfterIt) {
  FakePlatform fake;
  MakeMainWindow(fake);
  fake.system.SetTick(0xFFFFFFF0u);
  fake.windows.CloseAtTick(0x10);  // after the wrap
  Message message;
  EXPECT_FALSE(fake.windows.PeekMessage(&message));
  fake.system.Sleep(0x1F);
  EXPECT_FALSE(fake.windows.PeekMessage(&message));
  fake.system.Sleep(1);
  ASSERT_TRUE(fake.windows.PeekMessage(&message));
  EXPECT_EQ(message.message, WM_CLOSE);
  EXPECT_FALSE(fake.windows.PeekMessage(&message)) << "one close only";
}

struct Menu {
  FakeWindowSystem* windows;
  int choice = 0;
};

bool MenuProcedure(void* context, WindowHandle dialog, std::uint32_t message,
                   std::uintptr_t wParam, std::intptr_t) {
  auto& menu = *static_cast<Menu*>(context);
  if (message == WM_INITDIALOG) {
    menu.windows->ShowWindow(menu.windows->GetDialogItem(dialog, 1032), SW_SHOW);
    return true;
  }
  if (message == WM_COMMAND) {
    int id = static_cast<int>(wParam & 0xFFFF);
    if (id == 1009 || id == 1034) {
      menu.choice = id;
      menu.windows->EndDialog(dialog, id);
    }
    return true;
  }
  return false;
}

TEST(FakeWindowSystemTest, DialogsFollowTheirScript) {
  FakePlatform fake;
  WindowHandle owner = MakeMainWindow(fake);
  Menu menu{&fake.windows};
  fake.windows.ScriptDialog(
      DialogScript().Command(IDOK).Send(WM_TIMER, 1).Send(WM_KEYDOWN).Quit().Command(1009));
  fake.windows.ScriptDialog(DialogScript::CannotShow());

  EXPECT_EQ(fake.windows.DialogBox(101, owner, MenuProcedure, &menu), 1034);
  EXPECT_EQ(menu.choice, 1034);
  EXPECT_EQ(fake.windows.DialogBox(101, owner, MenuProcedure, &menu), -1);
  EXPECT_EQ(fake.windows.DialogBox(999, owner, MenuProcedure, &menu), -1) << "no such resource";
  EXPECT_EQ(fake.windows.DialogBox(101, owner, MenuProcedure, &menu), 1009) << "start by default";

  std::vector<DialogRecord> dialogs = fake.windows.dialogs();
  ASSERT_EQ(dialogs.size(), 4u);
  std::vector<std::uint32_t> messages;
  std::vector<bool> handled;
  for (const DialogMessage& message : dialogs[0].messages) {
    messages.push_back(message.message);
    handled.push_back(message.handled);
  }
  EXPECT_EQ(messages, (std::vector<std::uint32_t>{WM_INITDIALOG, WM_COMMAND, WM_TIMER,
                                                  WM_KEYDOWN, WM_COMMAND}))
      << "nothing reaches the procedure after EndDialog";
  EXPECT_EQ(handled, (std::vector<bool>{true, true, false, false, true}));
  EXPECT_EQ(dialogs[0].owner, owner);
  EXPECT_TRUE(dialogs[1].messages.empty());
  EXPECT_EQ(dialogs[1].dialog, 0u);

  std::vector<ShowWindowCall> shows = fake.windows.showCalls();
  ASSERT_EQ(shows.size(), 2u);
  EXPECT_EQ(shows[0].itemId, 1032);
  EXPECT_EQ(shows[0].command, SW_SHOW);
  EXPECT_EQ(fake.windows.GetDialogItem(dialogs[0].dialog, 1032), 0u) << "the dialog is gone";
}

TEST(FakeWindowSystemTest, SecondCopyFindsTheFirstAndItsOpenPopup) {
  FakeDesktop desktop;
  FakePlatform first(desktop);
  EXPECT_EQ(first.system.AcquireInstanceLock("pache"), InstanceLockResult::Acquired);

  FakePlatform early(desktop);
  EXPECT_EQ(early.system.AcquireInstanceLock("pache"), InstanceLockResult::AlreadyExists);
  EXPECT_FALSE(early.windows.BringOtherInstanceToFront("pache")) << "no window yet";

  WindowHandle owner = MakeMainWindow(first);
  first.windows.SetMinimised(true);
  Menu menu{&first.windows};
  first.windows.ScriptDialog(DialogScript()
                                 .Run([&] {
                                   FakePlatform second(desktop);
                                   EXPECT_EQ(second.system.AcquireInstanceLock("pache"),
                                             InstanceLockResult::AlreadyExists);
                                   EXPECT_TRUE(second.windows.BringOtherInstanceToFront("PACHE"));
                                 })
                                 .Start());
  first.windows.DialogBox(101, owner, MenuProcedure, &menu);
  EXPECT_TRUE(first.windows.BringOtherInstanceToFront("pache")) << "FindWindow sees any copy";

  std::vector<FrontRequest> requests = first.windows.frontRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[0].restored);
  EXPECT_EQ(requests[0].popup, PopupKind::Dialog);
  EXPECT_EQ(requests[0].foreground, first.windows.dialogs()[0].dialog);
  EXPECT_FALSE(requests[1].restored);
  EXPECT_EQ(requests[1].popup, PopupKind::Window);
  EXPECT_EQ(requests[1].foreground, owner);
}

TEST(FakeWindowSystemTest, InstanceLockIsFreeOnceTheProcessIsGone) {
  FakeDesktop desktop;
  {
    FakePlatform first(desktop);
    EXPECT_EQ(first.system.AcquireInstanceLock("pache"), InstanceLockResult::Acquired);
  }
  FakePlatform next(desktop);
  EXPECT_EQ(next.system.AcquireInstanceLock("pache"), InstanceLockResult::Acquired);
  next.system.faults().FailNth(SystemCall::AcquireInstanceLock, 1);
  EXPECT_EQ(next.system.AcquireInstanceLock("other"), InstanceLockResult::Failed);
}

TEST(FakeSystemTest, ClockMovesBySleepsAndScriptedReads) {
  FakePlatform fake;
  fake.system.SetTick(0xFFFFFFFFu);
  fake.system.AdvanceOnTickReads({0, 45});
  std::uint32_t t0 = fake.system.GetTickCount();
  std::uint32_t t1 = fake.system.GetTickCount();
  EXPECT_EQ(t1 - t0, 45u);
  EXPECT_EQ(t1, 44u) << "the count wraps at 2^32";
  fake.system.Sleep(30);
  EXPECT_EQ(fake.system.GetTickCount(), 74u);
  EXPECT_EQ(fake.system.mainThreadSleeps(), std::vector<std::uint32_t>{30});

  void* block = fake.system.Allocate(256);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(block)[255], 0) << "zero-filled";
  fake.system.faults().FailNth(SystemCall::Allocate, 1);
  EXPECT_EQ(fake.system.Allocate(16), nullptr);
  fake.system.Release(block);
  fake.system.Release(block);
  EXPECT_EQ(fake.system.liveBlocks(), 0);
  EXPECT_EQ(fake.system.badReleases(), 1);
}

}  // namespace
}  // namespace pache
