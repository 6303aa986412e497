#include "tests/fake/fake_desktop.h"

#include <algorithm>

#include "tests/fake/dos_path.h"
#include "tests/fake/fake_window_system.h"

namespace pache {

InstanceLockResult FakeDesktop::AcquireInstanceLock(const std::string& name, const void* holder) {
  std::lock_guard lock(mutex_);
  return locks_.emplace(name, holder).second ? InstanceLockResult::Acquired
                                             : InstanceLockResult::AlreadyExists;
}

void FakeDesktop::ReleaseInstanceLocks(const void* holder) {
  std::lock_guard lock(mutex_);
  std::erase_if(locks_, [&](const auto& item) { return item.second == holder; });
}

bool FakeDesktop::IsLockHeld(const std::string& name) const {
  std::lock_guard lock(mutex_);
  return locks_.count(name) != 0;
}

WindowHandle FakeDesktop::NewWindowHandle() { return nextHandle_.fetch_add(4); }

void FakeDesktop::AddMainWindow(FakeWindowSystem* owner, WindowHandle window,
                                const std::string& className) {
  std::lock_guard lock(mutex_);
  windows_.push_back(TopLevel{owner, window, FoldCase(className)});
}

void FakeDesktop::RemoveMainWindow(WindowHandle window) {
  std::lock_guard lock(mutex_);
  std::erase_if(windows_, [&](const TopLevel& top) { return top.window == window; });
}

void FakeDesktop::RemoveWindowsOf(const FakeWindowSystem* owner) {
  std::lock_guard lock(mutex_);
  std::erase_if(windows_, [&](const TopLevel& top) { return top.owner == owner; });
}

bool FakeDesktop::BringToFront(const std::string& className) {
  // Held throughout, so the owner cannot go away meanwhile; owners never
  // call the desktop while they hold their own lock.
  std::lock_guard lock(mutex_);
  std::string key = FoldCase(className);
  auto found = std::find_if(windows_.begin(), windows_.end(),
                            [&](const TopLevel& top) { return top.classKey == key; });
  if (found == windows_.end()) return false;
  found->owner->ComeToFront(found->window);
  return true;
}

}  // namespace pache
