// The process that a fake platform stands for: its main thread, the threads
// it started, its virtual clock, and its end.
//
// The end of a real process stops every other thread wherever it is. A test
// models that with End(): from then on a thread other than the main thread
// that enters a fake platform call never comes back from it (it waits
// forever on an object that is deliberately never freed), so a copy worker
// left running by a closed main window cannot touch freed memory once the
// test's objects go.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace pache {

class FakeProcess {
 public:
  // The constructing thread is the process's main thread.
  FakeProcess();
  FakeProcess(const FakeProcess&) = delete;
  FakeProcess& operator=(const FakeProcess&) = delete;

  bool OnMainThread() const;

  // The virtual tick count (GetTickCount); wraps at 2^32.
  std::uint32_t Tick() const;
  void SetTick(std::uint32_t tick);
  void AdvanceTick(std::uint32_t milliseconds);

  // Starts a detached thread running body(argument). False when the thread
  // cannot be started.
  bool StartThread(void (*body)(void*), void* argument);

  // Returns once every thread that StartThread started has finished, or
  // stopped for good (End), or is held (HoldUntilEnd).
  void WaitForThreads();
  // As WaitForThreads, but gives up after `timeout`: true when done.
  bool WaitForThreadsFor(std::chrono::milliseconds timeout);

  // Threads started and not finished (stopped and held ones included).
  int RunningThreads() const;

  // Ends the process for every thread but the main one; see above. Threads
  // that are held go on to stop. Does not wait: see WaitForThreads.
  void End();
  bool Ended() const;

  // Called at the entry (and after any wait) of every fake platform call:
  // on a thread other than the main thread of an ended process it never
  // returns.
  void Gate();

  // On a thread other than the main thread: waits until the process ends,
  // then stops there for good. Models a thread that is still inside a call
  // when the process ends. Returns at once on the main thread.
  void HoldUntilEnd();

 private:
  [[noreturn]] void Stop(std::unique_lock<std::mutex>& lock);
  void ThreadFinished();

  const std::thread::id mainThread_;
  std::atomic<std::uint32_t> tick_{0};
  std::atomic<bool> ended_{false};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int running_ = 0;
  int stopped_ = 0;
  int held_ = 0;
};

}  // namespace pache
