// FakePlatform: one running copy of the program on the fake machine.
//
//   FakePlatform fake;
//   fake.files.SetCurrentDirectory("C:\\patch");
//   fake.files.AddFile("C:\\patch\\PACH.suk", bytes);
//   fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker", "Dir", "C:\\Game");
//   fake.windows.ScriptDialog(DialogScript().Start());
//   PatchSession session(fake.platform());
//   WinMain(session, SW_SHOWNORMAL);
//   fake.EndProcess();  // before the session goes, when a worker may run
//   EXPECT_EQ(fake.windows.titles(), ...);
//
// Build it on the thread that plays the program's main thread. Two copies
// of the program in one test share a FakeDesktop (the instance lock and
// FindWindow):
//
//   FakeDesktop desktop;
//   FakePlatform first(desktop), second(desktop);
#pragma once

#include <memory>

#include "platform/platform.h"
#include "tests/fake/fake_desktop.h"
#include "tests/fake/fake_file_system.h"
#include "tests/fake/fake_process.h"
#include "tests/fake/fake_registry.h"
#include "tests/fake/fake_system.h"
#include "tests/fake/fake_window_system.h"

namespace pache {

class FakePlatform {
 public:
  FakePlatform();
  explicit FakePlatform(FakeDesktop& desktop);
  // Ends the process first (EndProcess).
  ~FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  Platform platform() { return Platform{files, registry, windows, system}; }

  // The process ends, as when WinMain has returned: every other thread
  // stops at its next platform call (or in the call it waits in) and never
  // comes back. Returns once every thread that StartThread started has
  // finished or stopped, so the test may then free what they used.
  void EndProcess();

  // Waits until every thread that StartThread started has finished (or is
  // held or stopped), carrying out meanwhile the cross-thread calls they
  // make on the main thread's windows, as the main thread's pump would.
  void WaitForThreads();

 private:
  std::unique_ptr<FakeDesktop> ownDesktop_;

 public:
  FakeProcess process;
  FakeDesktop& desktop;
  FakeFileSystem files;
  FakeRegistry registry;
  FakeWindowSystem windows;
  FakeSystem system;
};

}  // namespace pache
