// Processes, threads and time on the host: the per-user instance lock, the
// channel through which a later copy reaches the first, the clock.
#include "platform/host/host_system.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/host/instance_channel.h"
#include "tests/host/temp_prefix.h"

namespace pache::host {
namespace {

// Each test gets a runtime folder of its own.
class HostSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* previous = std::getenv("XDG_RUNTIME_DIR");
    if (previous != nullptr) previous_ = previous;
    runtime_ = runtimePrefix_.Directory() + "/run";
    test::MakeHostFolder(runtime_);
    setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
  }
  void TearDown() override {
    if (previous_.empty()) {
      unsetenv("XDG_RUNTIME_DIR");
    } else {
      setenv("XDG_RUNTIME_DIR", previous_.c_str(), 1);
    }
  }

  test::TempPrefix runtimePrefix_;
  std::string runtime_;
  std::string previous_;
};

TEST_F(HostSystemTest, ASecondCopyFindsTheFirstAndAsksIt) {
  std::atomic<int> asked{0};
  HostSystem first([&asked](const char* className) {
    ++asked;
    return std::string(className) == "pache";
  });
  ASSERT_EQ(first.AcquireInstanceLock("pache"), InstanceLockResult::Acquired);
  // Another process: its own open of the lock file conflicts.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HostSystem second(nullptr);
    bool ok = second.AcquireInstanceLock("pache") == InstanceLockResult::AlreadyExists &&
              AskOtherInstanceToFront("pache") && !AskOtherInstanceToFront("other");
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(asked.load(), 2);
  // Another name is another lock.
  HostSystem third(nullptr);
  EXPECT_EQ(third.AcquireInstanceLock("other"), InstanceLockResult::Acquired);
}

TEST_F(HostSystemTest, NobodyListeningMeansNoWindow) {
  EXPECT_FALSE(AskOtherInstanceToFront("pache"));
  test::WriteHostFile(runtime_ + "/pache.socket", "stale");
  EXPECT_FALSE(AskOtherInstanceToFront("pache"));
  // The next holder of the lock takes the name over.
  HostSystem first([](const char*) { return true; });
  ASSERT_EQ(first.AcquireInstanceLock("pache"), InstanceLockResult::Acquired);
  EXPECT_TRUE(AskOtherInstanceToFront("pache"));
}

TEST_F(HostSystemTest, AnUnusableLockIsAFailure) {
  HostSystem system(nullptr);
  EXPECT_EQ(system.AcquireInstanceLock("a/b"), InstanceLockResult::Failed);
  EXPECT_EQ(system.AcquireInstanceLock(""), InstanceLockResult::Failed);
  test::MakeHostFolder(runtime_ + "/pache.lock");  // not a file
  EXPECT_EQ(system.AcquireInstanceLock("pache"), InstanceLockResult::Failed);
}

void SetFlag(void* argument) { static_cast<std::atomic<int>*>(argument)->store(1); }

TEST_F(HostSystemTest, ThreadsTimeAndMemory) {
  HostSystem system(nullptr);
  std::atomic<int> flag{0};
  ASSERT_TRUE(system.StartThread(SetFlag, &flag));
  while (flag.load() == 0) system.Sleep(1);

  std::uint32_t before = system.GetTickCount();
  system.Sleep(20);
  EXPECT_GE(static_cast<std::uint32_t>(system.GetTickCount() - before), 20u);

  auto* block = static_cast<unsigned char*>(system.Allocate(4096));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
  system.Release(block);
}

}  // namespace
}  // namespace pache::host
