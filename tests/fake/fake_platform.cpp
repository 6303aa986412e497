#include "tests/fake/fake_platform.h"

#include <chrono>

namespace pache {

FakePlatform::FakePlatform()
    : ownDesktop_(std::make_unique<FakeDesktop>()),
      desktop(*ownDesktop_),
      files(&process),
      registry(&process),
      windows(process, desktop),
      system(process, desktop) {}

FakePlatform::FakePlatform(FakeDesktop& shared)
    : desktop(shared),
      files(&process),
      registry(&process),
      windows(process, desktop),
      system(process, desktop) {}

FakePlatform::~FakePlatform() { EndProcess(); }

void FakePlatform::EndProcess() {
  process.End();
  windows.Shutdown();
  process.WaitForThreads();
}

void FakePlatform::WaitForThreads() {
  using namespace std::chrono_literals;
  while (!process.WaitForThreadsFor(2ms)) windows.queue().RunCalls();
}

}  // namespace pache
