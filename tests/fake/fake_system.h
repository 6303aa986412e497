// FakeSystem: instance lock, virtual clock, threads and memory behind
// System.
//
// The tick count is the process's virtual clock: it only moves when a test
// moves it or when any thread sleeps (Sleep(n) advances it by n and returns
// at once), so 30 ms frames and 100 ms pauses cost no real time. A sleep of
// the main thread also yields the processor, so a worker that the frame
// loop waits for makes progress in a few frames. Since the worker's sleeps
// move the same clock, a frame measured while a worker runs may look
// longer: pacing is best checked on frames without a worker.
//
// Threads are real detached threads. Memory is counted so tests can see
// every block released exactly once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/platform.h"
#include "tests/fake/fault_plan.h"

namespace pache {

class FakeDesktop;
class FakeProcess;

enum class SystemCall { AcquireInstanceLock, StartThread, Allocate };

struct SleepRecord {
  std::uint32_t milliseconds;
  bool mainThread;
};

class FakeSystem : public System {
 public:
  FakeSystem(FakeProcess& process, FakeDesktop& desktop);
  // The process ends: its instance locks are free again.
  ~FakeSystem() override;

  // ------------------------------------------------------------ clock ----
  std::uint32_t Tick() const;
  void SetTick(std::uint32_t tick);
  void AdvanceTick(std::uint32_t milliseconds);
  // The next GetTickCount calls of the main thread each first advance the
  // clock by the next of these increments, in order: {0, 45} makes a frame
  // that reads the clock before and after its work last 45 ms.
  void AdvanceOnTickReads(std::vector<std::uint32_t> increments);
  // Called at every GetTickCount (before the clock is read) and after every
  // Sleep, on the calling thread.
  void OnGetTickCount(std::function<void()> hook);
  void OnSleep(std::function<void(const SleepRecord&)> hook);

  // ----------------------------------------------------------- records ----
  std::vector<SleepRecord> sleeps() const;
  // The durations of the main thread's sleeps, in order.
  std::vector<std::uint32_t> mainThreadSleeps() const;
  // Blocks allocated and not released, and releases of blocks that were
  // not allocated here or were released already (they are not freed).
  int liveBlocks() const;
  int badReleases() const;
  // The sizes of all allocations, failed ones included, in order.
  std::vector<std::size_t> allocations() const;
  std::vector<std::string> lockRequests() const;

  FaultPlan<SystemCall>& faults() { return faults_; }

  // ---------------------------------------------------------- System ----
  InstanceLockResult AcquireInstanceLock(const char* name) override;
  std::uint32_t GetTickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
  bool StartThread(void (*body)(void*), void* argument) override;
  void* Allocate(std::size_t size) override;
  void Release(void* block) override;

 private:
  FakeProcess& process_;
  FakeDesktop& desktop_;
  mutable std::mutex mutex_;
  std::deque<std::uint32_t> tickIncrements_;
  std::function<void()> tickHook_;
  std::function<void(const SleepRecord&)> sleepHook_;
  std::vector<SleepRecord> sleeps_;
  std::map<void*, std::size_t> blocks_;
  std::vector<std::size_t> allocations_;
  std::vector<std::string> lockRequests_;
  int badReleases_ = 0;
  FaultPlan<SystemCall> faults_;
};

}  // namespace pache
