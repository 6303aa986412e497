// Processes, threads and time on Linux: the single-instance lock as a
// per-user lock file, the tick count from the monotonic clock, detached
// threads and zero-filled memory.
#pragma once

#include "platform/host/instance_channel.h"
#include "platform/platform.h"

namespace pache::host {

class HostSystem : public System {
 public:
  // `frontRequests` answers later copies once this copy holds the lock.
  explicit HostSystem(FrontRequestHandler frontRequests);

  InstanceLockResult AcquireInstanceLock(const char* name) override;
  std::uint32_t GetTickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
  bool StartThread(void (*body)(void*), void* argument) override;
  void* Allocate(std::size_t size) override;
  void Release(void* block) override;

 private:
  FrontRequestHandler frontRequests_;
};

}  // namespace pache::host
