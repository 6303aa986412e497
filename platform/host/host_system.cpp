#include "platform/host/host_system.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "platform/host/user_runtime_dir.h"

namespace pache::host {

HostSystem::HostSystem(FrontRequestHandler frontRequests)
    : frontRequests_(std::move(frontRequests)) {}

InstanceLockResult HostSystem::AcquireInstanceLock(const char* name) {
  std::string directory;
  if (name == nullptr || *name == '\0' || std::strchr(name, '/') != nullptr ||
      !UserRuntimeDirectory(directory))
    return InstanceLockResult::Failed;
  std::string path = directory + "/" + name + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return InstanceLockResult::Failed;
  int locked;
  do {
    locked = flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    bool held = errno == EWOULDBLOCK;
    close(fd);
    return held ? InstanceLockResult::AlreadyExists : InstanceLockResult::Failed;
  }
  // The descriptor stays open, and the lock held, until the process ends.
  if (frontRequests_) ListenForFrontRequests(directory, frontRequests_);
  return InstanceLockResult::Acquired;
}

std::uint32_t HostSystem::GetTickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::uint64_t milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                               static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(milliseconds);
}

void HostSystem::Sleep(std::uint32_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec left = {static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

namespace {

struct ThreadStart {
  void (*body)(void*);
  void* argument;
};

void* RunThread(void* start) {
  ThreadStart copy = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  copy.body(copy.argument);
  return nullptr;
}

}  // namespace

bool HostSystem::StartThread(void (*body)(void*), void* argument) {
  if (body == nullptr) return false;
  auto* start = new (std::nothrow) ThreadStart{body, argument};
  if (start == nullptr) return false;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    delete start;
    return false;
  }
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  int started = pthread_create(&thread, &attributes, RunThread, start);
  pthread_attr_destroy(&attributes);
  if (started != 0) delete start;
  return started == 0;
}

void* HostSystem::Allocate(std::size_t size) { return std::calloc(1, size == 0 ? 1 : size); }

void HostSystem::Release(void* block) { std::free(block); }

}  // namespace pache::host
