#include "tests/fake/fake_process.h"

#include <system_error>

namespace pache {

namespace {
// The process whose StartThread started the calling thread, if any: only
// those threads count in WaitForThreads.
thread_local const FakeProcess* startedBy = nullptr;
}  // namespace

FakeProcess::FakeProcess() : mainThread_(std::this_thread::get_id()) {}

bool FakeProcess::OnMainThread() const { return std::this_thread::get_id() == mainThread_; }

std::uint32_t FakeProcess::Tick() const { return tick_.load(); }

void FakeProcess::SetTick(std::uint32_t tick) { tick_.store(tick); }

void FakeProcess::AdvanceTick(std::uint32_t milliseconds) { tick_.fetch_add(milliseconds); }

bool FakeProcess::StartThread(void (*body)(void*), void* argument) {
  {
    std::lock_guard lock(mutex_);
    ++running_;
  }
  try {
    std::thread([this, body, argument] {
      startedBy = this;
      body(argument);
      ThreadFinished();
    }).detach();
    return true;
  } catch (const std::system_error&) {
    ThreadFinished();
    return false;
  }
}

void FakeProcess::ThreadFinished() {
  std::lock_guard lock(mutex_);
  --running_;
  changed_.notify_all();
}

void FakeProcess::WaitForThreads() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return running_ == stopped_ + held_; });
}

bool FakeProcess::WaitForThreadsFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return running_ == stopped_ + held_; });
}

int FakeProcess::RunningThreads() const {
  std::lock_guard lock(mutex_);
  return running_;
}

void FakeProcess::End() {
  std::lock_guard lock(mutex_);
  ended_.store(true);
  changed_.notify_all();
}

bool FakeProcess::Ended() const { return ended_.load(); }

void FakeProcess::Gate() {
  if (!ended_.load() || OnMainThread()) return;
  std::unique_lock lock(mutex_);
  Stop(lock);
}

void FakeProcess::HoldUntilEnd() {
  if (OnMainThread()) return;
  const bool counted = startedBy == this;
  std::unique_lock lock(mutex_);
  if (counted) ++held_;
  changed_.notify_all();
  changed_.wait(lock, [this] { return ended_.load(); });
  if (counted) --held_;
  Stop(lock);
}

void FakeProcess::Stop(std::unique_lock<std::mutex>& lock) {
  if (startedBy == this) ++stopped_;
  changed_.notify_all();
  lock.unlock();
  // From here on nothing of this object is touched: it may be freed while
  // the thread waits. The parking place is never freed.
  struct ParkingPlace {
    std::mutex mutex;
    std::condition_variable never;
  };
  static ParkingPlace* const place = new ParkingPlace;
  std::unique_lock parked(place->mutex);
  for (;;) place->never.wait(parked);
}

}  // namespace pache
