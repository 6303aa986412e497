// FakeDesktop: what several running copies of the program share on one
// machine: named instance locks (the single-instance mutex) and the
// top-level windows that a copy can find by class name.
//
// Each FakePlatform makes its own desktop unless it is given one; a test
// that runs a second copy next to the first gives both the same desktop.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace pache {

class FakeWindowSystem;

class FakeDesktop {
 public:
  // CreateMutexA(NULL, TRUE, name): the first holder of a name acquires it,
  // every later request (by anyone) finds it existing. Names compare byte
  // for byte.
  InstanceLockResult AcquireInstanceLock(const std::string& name, const void* holder);
  // The holder's process ended: its names are free again.
  void ReleaseInstanceLocks(const void* holder);
  bool IsLockHeld(const std::string& name) const;

  // Window handles, unique on the desktop.
  WindowHandle NewWindowHandle();

  // Top-level windows that FindWindow sees, and their owners.
  void AddMainWindow(FakeWindowSystem* owner, WindowHandle window, const std::string& className);
  void RemoveMainWindow(WindowHandle window);
  void RemoveWindowsOf(const FakeWindowSystem* owner);

  // FindWindowA(className, NULL), then the owner restores it when
  // minimised and brings its last active popup to the front. False when no
  // window of the class exists.
  bool BringToFront(const std::string& className);

 private:
  struct TopLevel {
    FakeWindowSystem* owner;
    WindowHandle window;
    std::string classKey;
  };

  mutable std::mutex mutex_;
  std::map<std::string, const void*> locks_;
  std::vector<TopLevel> windows_;
  std::atomic<WindowHandle> nextHandle_{0x10010};
};

}  // namespace pache
