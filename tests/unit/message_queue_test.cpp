#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace pache {
namespace {

using namespace std::chrono_literals;

constexpr WindowHandle kWindow = 0x100;
constexpr WindowHandle kOtherWindow = 0x200;

// Waits (in real time) until `queue` holds `count` calls from other threads.
void WaitForCalls(const MessageQueue& queue, std::size_t count) {
  while (queue.WaitingCalls() != count) std::this_thread::sleep_for(1ms);
}

TEST(MessageQueueTest, PostedMessagesComeInOrderAndQuitComesLast) {
  MessageQueue queue;
  queue.Post(Message{kWindow, WM_TIMER, 1, 0});
  queue.PostQuit(7);
  queue.Post(Message{kWindow, WM_TIMER, 2, 0});

  Message message;
  ASSERT_TRUE(queue.Peek(&message));
  EXPECT_EQ(message.wParam, 1u);
  ASSERT_TRUE(queue.Peek(&message));
  EXPECT_EQ(message.wParam, 2u);
  ASSERT_TRUE(queue.Peek(&message));
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wParam, 7u);
  EXPECT_FALSE(queue.Peek(&message)) << "the quit message is handed out once";
}

TEST(MessageQueueTest, OnlyTheOwnerThreadTakesMessages) {
  MessageQueue queue;
  queue.Post(Message{kWindow, WM_TIMER, 0, 0});
  bool tookElsewhere = std::async(std::launch::async, [&] {
                         Message message;
                         return queue.Peek(&message);
                       }).get();
  EXPECT_FALSE(tookElsewhere);
  Message message;
  EXPECT_TRUE(queue.Peek(&message));
}

TEST(MessageQueueTest, CrossThreadCallWaitsForThePumpAndRunsOnTheOwner) {
  MessageQueue queue;
  std::thread::id ranOn;
  std::atomic<bool> returned{false};
  auto caller = std::async(std::launch::async, [&] {
    bool ran = queue.Call(kWindow, [&] { ranOn = std::this_thread::get_id(); });
    returned = true;
    return ran;
  });
  WaitForCalls(queue, 1);
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(returned) << "the caller must wait until the owner pumps";

  queue.Post(Message{kWindow, WM_TIMER, 0, 0});
  Message message;
  ASSERT_TRUE(queue.Peek(&message)) << "the posted message still comes after the call ran";
  EXPECT_EQ(message.message, WM_TIMER);
  EXPECT_TRUE(caller.get());
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(MessageQueueTest, CallOnTheOwnerThreadRunsAtOnce) {
  MessageQueue queue;
  int runs = 0;
  EXPECT_TRUE(queue.Call(kWindow, [&] { ++runs; }));
  EXPECT_EQ(runs, 1);
  queue.ForgetWindow(kWindow);
  EXPECT_FALSE(queue.Call(kWindow, [&] { ++runs; }));
  EXPECT_EQ(runs, 1);
}

TEST(MessageQueueTest, ForgottenWindowFailsWaitingAndLaterCallsOnly) {
  MessageQueue queue;
  std::atomic<int> runs{0};
  auto waiting = std::async(std::launch::async,
                            [&] { return queue.Call(kWindow, [&] { ++runs; }); });
  auto other = std::async(std::launch::async,
                          [&] { return queue.Call(kOtherWindow, [&] { ++runs; }); });
  WaitForCalls(queue, 2);

  queue.ForgetWindow(kWindow);
  EXPECT_FALSE(waiting.get()) << "a call for a destroyed window returns without the pump";
  bool later = std::async(std::launch::async, [&] {
                 return queue.Call(kWindow, [&] { ++runs; });
               }).get();
  EXPECT_FALSE(later);
  EXPECT_EQ(runs, 0);

  Message message;
  EXPECT_FALSE(queue.Peek(&message));
  EXPECT_TRUE(other.get());
  EXPECT_EQ(runs, 1);
}

TEST(MessageQueueTest, ShutdownFailsWaitingAndLaterCalls) {
  MessageQueue queue;
  auto waiting = std::async(std::launch::async, [&] { return queue.Call(kWindow, [] {}); });
  WaitForCalls(queue, 1);
  queue.Shutdown();
  EXPECT_FALSE(waiting.get());
  EXPECT_FALSE(std::async(std::launch::async, [&] {
                 return queue.Call(kWindow, [] {});
               }).get());
  EXPECT_EQ(queue.WaitingCalls(), 0u);
}

TEST(MessageQueueTest, RunCallsTakesNoMessage) {
  MessageQueue queue;
  queue.Post(Message{kWindow, WM_TIMER, 0, 0});
  auto caller = std::async(std::launch::async, [&] { return queue.Call(kWindow, [] {}); });
  WaitForCalls(queue, 1);
  EXPECT_TRUE(queue.RunCalls());
  EXPECT_TRUE(caller.get());
  EXPECT_FALSE(queue.RunCalls());
  Message message;
  EXPECT_TRUE(queue.Peek(&message));
}

TEST(MessageQueueTest, WakeupIsCalledForMessagesAndCalls) {
  MessageQueue queue;
  std::atomic<int> wakeups{0};
  queue.SetWakeup([&] { ++wakeups; });
  queue.Post(Message{kWindow, WM_TIMER, 0, 0});
  queue.PostQuit(0);
  EXPECT_EQ(wakeups, 2);
  auto caller = std::async(std::launch::async, [&] { return queue.Call(kWindow, [] {}); });
  WaitForCalls(queue, 1);
  EXPECT_EQ(wakeups, 3);
  queue.RunCalls();
  EXPECT_TRUE(caller.get());
}

}  // namespace
}  // namespace pache
