#include "tests/fake/fake_system.h"

#include <cstdlib>
#include <thread>

#include "tests/fake/fake_desktop.h"
#include "tests/fake/fake_process.h"

namespace pache {

FakeSystem::FakeSystem(FakeProcess& process, FakeDesktop& desktop)
    : process_(process), desktop_(desktop) {}

FakeSystem::~FakeSystem() {
  desktop_.ReleaseInstanceLocks(this);
  // Blocks still held end with the process.
  for (auto& [block, size] : blocks_) std::free(block);
}

// ------------------------------------------------------------------ clock

std::uint32_t FakeSystem::Tick() const { return process_.Tick(); }

void FakeSystem::SetTick(std::uint32_t tick) { process_.SetTick(tick); }

void FakeSystem::AdvanceTick(std::uint32_t milliseconds) { process_.AdvanceTick(milliseconds); }

void FakeSystem::AdvanceOnTickReads(std::vector<std::uint32_t> increments) {
  std::lock_guard lock(mutex_);
  tickIncrements_.assign(increments.begin(), increments.end());
}

void FakeSystem::OnGetTickCount(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  tickHook_ = std::move(hook);
}

void FakeSystem::OnSleep(std::function<void(const SleepRecord&)> hook) {
  std::lock_guard lock(mutex_);
  sleepHook_ = std::move(hook);
}

// ---------------------------------------------------------------- records

std::vector<SleepRecord> FakeSystem::sleeps() const {
  std::lock_guard lock(mutex_);
  return sleeps_;
}

std::vector<std::uint32_t> FakeSystem::mainThreadSleeps() const {
  std::vector<std::uint32_t> result;
  for (const SleepRecord& record : sleeps()) {
    if (record.mainThread) result.push_back(record.milliseconds);
  }
  return result;
}

int FakeSystem::liveBlocks() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(blocks_.size());
}

int FakeSystem::badReleases() const {
  std::lock_guard lock(mutex_);
  return badReleases_;
}

std::vector<std::size_t> FakeSystem::allocations() const {
  std::lock_guard lock(mutex_);
  return allocations_;
}

std::vector<std::string> FakeSystem::lockRequests() const {
  std::lock_guard lock(mutex_);
  return lockRequests_;
}

// ----------------------------------------------------------------- System

InstanceLockResult FakeSystem::AcquireInstanceLock(const char* name) {
  process_.Gate();
  {
    std::lock_guard lock(mutex_);
    lockRequests_.push_back(name != nullptr ? name : "");
  }
  if (faults_.ShouldFail(SystemCall::AcquireInstanceLock) || name == nullptr) {
    return InstanceLockResult::Failed;
  }
  return desktop_.AcquireInstanceLock(name, this);
}

std::uint32_t FakeSystem::GetTickCount() {
  process_.Gate();
  std::function<void()> hook;
  {
    std::lock_guard lock(mutex_);
    if (process_.OnMainThread() && !tickIncrements_.empty()) {
      process_.AdvanceTick(tickIncrements_.front());
      tickIncrements_.pop_front();
    }
    hook = tickHook_;
  }
  if (hook) hook();
  return process_.Tick();
}

void FakeSystem::Sleep(std::uint32_t milliseconds) {
  process_.Gate();
  SleepRecord record{milliseconds, process_.OnMainThread()};
  std::function<void(const SleepRecord&)> hook;
  {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(record);
    hook = sleepHook_;
  }
  process_.AdvanceTick(milliseconds);
  if (hook) hook(record);
  // The time passes at once, but a thread that the main thread waits for
  // gets the processor meanwhile, as it would during a real sleep.
  if (record.mainThread) std::this_thread::yield();
  process_.Gate();
}

bool FakeSystem::StartThread(void (*body)(void*), void* argument) {
  process_.Gate();
  if (faults_.ShouldFail(SystemCall::StartThread) || body == nullptr) return false;
  return process_.StartThread(body, argument);
}

void* FakeSystem::Allocate(std::size_t size) {
  process_.Gate();
  std::lock_guard lock(mutex_);
  allocations_.push_back(size);
  if (faults_.ShouldFail(SystemCall::Allocate)) return nullptr;
  void* block = std::calloc(size == 0 ? 1 : size, 1);
  if (block != nullptr) blocks_[block] = size;
  return block;
}

void FakeSystem::Release(void* block) {
  process_.Gate();
  if (block == nullptr) return;
  std::lock_guard lock(mutex_);
  auto found = blocks_.find(block);
  if (found == blocks_.end()) {
    ++badReleases_;
    return;
  }
  blocks_.erase(found);
  std::free(block);
}

}  // namespace pache
