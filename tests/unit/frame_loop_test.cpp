// The frame loop's pacing and the main window's procedure.
#include <gtest/gtest.h>

#include <vector>

#include "app/win_main.h"
#include "tests/fake/fake_platform.h"

namespace pache {
namespace {

// Runs the loop over frames that do nothing (the sequencer waits for a
// worker that never finishes) and ends it after `frames` sleeps. Each pair
// of increments is one frame: the clock moves by the first before the frame
// reads it and by the second before it reads it again.
std::vector<std::uint32_t> FrameSleeps(std::uint32_t startTick, std::vector<std::uint32_t> increments) {
  FakePlatform fake;
  PatchSession session(fake.platform());
  session.sequencerState = WaitWorker;
  std::size_t frames = increments.size() / 2;
  fake.system.SetTick(startTick);
  fake.system.AdvanceOnTickReads(std::move(increments));
  std::size_t slept = 0;
  fake.system.OnSleep([&](const SleepRecord&) {
    if (++slept == frames) fake.windows.PostQuitMessage(0);
  });
  EXPECT_EQ(RunFrameLoop(session), 0);
  return fake.system.mainThreadSleeps();
}

TEST(RunFrameLoop, SleepsWhatIsLeftOfThirtyMilliseconds) {
  struct Case {
    const char* name;
    std::uint32_t startTick;
    std::vector<std::uint32_t> increments;
    std::vector<std::uint32_t> sleeps;
  } cases[] = {
      {"short, long, exact and almost full frames", 1000, {0, 10, 0, 45, 0, 30, 0, 29}, {20, 0, 0, 1}},
      {"instant frame", 0, {0, 0}, {30}},
      {"tick count wraps within the frame", 0xFFFFFFF0u, {0, 20}, {10}},
      {"long frame across the wrap", 0xFFFFFFFBu, {0, 40}, {0}},
      {"frame ends exactly at the wrap", 0xFFFFFFF6u, {0, 10}, {20}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FrameSleeps(c.startTick, c.increments), c.sleeps) << c.name;
  }
}

TEST(RunFrameLoop, TakesEveryWaitingMessageBeforeAFrame) {
  FakePlatform fake;
  PatchSession session(fake.platform());
  session.sequencerState = WaitWorker;
  fake.windows.queue().Post(Message{0, WM_TIMER, 0, 0});
  fake.windows.queue().Post(Message{0, WM_MOUSEMOVE, 0, 0});
  std::vector<std::size_t> dispatchedAtFrames;
  fake.system.OnGetTickCount([&] { dispatchedAtFrames.push_back(fake.windows.dispatched().size()); });
  fake.system.OnSleep([&](const SleepRecord&) { fake.windows.PostQuitMessage(0); });
  EXPECT_EQ(RunFrameLoop(session), 0);
  // One frame reads the clock twice, both after the two messages.
  EXPECT_EQ(dispatchedAtFrames, (std::vector<std::size_t>{2, 2}));
  EXPECT_EQ(fake.system.mainThreadSleeps(), std::vector<std::uint32_t>{30});
}

TEST(MainWindowProc, HandlesItsTableAndDefaultsTheRest) {
  FakePlatform fake;
  PatchSession session(fake.platform());
  const WindowHandle window = 0x1234;
  for (std::uint32_t message : {WM_CREATE, WM_MOVE, WM_SETFOCUS, WM_KILLFOCUS, WM_ACTIVATEAPP,
                                WM_KEYDOWN, WM_SYSKEYUP, WM_COMMAND, WM_TIMER, WM_MOUSEMOVE,
                                WM_LBUTTONDOWN, WM_LBUTTONUP}) {
    EXPECT_EQ(MainWindowProc(&session, window, message, 0, 0), 0) << message;
  }
  EXPECT_TRUE(fake.windows.defaultProcessed().empty());
  EXPECT_TRUE(fake.windows.quitCodes().empty());

  for (std::uint32_t message : {WM_PAINT, WM_CLOSE, WM_SYSCOMMAND}) {
    MainWindowProc(&session, window, message, 0, 0);
  }
  std::vector<std::uint32_t> defaulted;
  for (const Message& m : fake.windows.defaultProcessed()) defaulted.push_back(m.message);
  EXPECT_EQ(defaulted, (std::vector<std::uint32_t>{WM_PAINT, WM_CLOSE, WM_SYSCOMMAND}));

  EXPECT_EQ(MainWindowProc(&session, window, WM_DESTROY, 0, 0), 0);
  EXPECT_EQ(fake.windows.quitCodes(), std::vector<int>{0});
}

}  // namespace
}  // namespace pache
