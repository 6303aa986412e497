#include "platform/host/host_window_system.h"

#include "platform/host/instance_channel.h"

namespace pache::host {

bool HostWindowSystem::BringOtherInstanceToFront(const char* className) {
  return AskOtherInstanceToFront(className);
}

}  // namespace pache::host
