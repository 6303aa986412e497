#include "platform/ui/headless/close_signals.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <mutex>

namespace pache::headless {

namespace {

int pipeRead = -1;
int pipeWrite = -1;

void OnCloseSignal(int) {
  int saved = errno;
  char byte = 1;
  // A full pipe already holds a request; the byte may be dropped.
  (void)!write(pipeWrite, &byte, 1);
  errno = saved;
}

}  // namespace

bool InstallCloseSignals() {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    pipeRead = fds[0];
    pipeWrite = fds[1];
    struct sigaction action = {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed = sigaction(SIGINT, &action, nullptr) == 0 &&
                sigaction(SIGTERM, &action, nullptr) == 0 &&
                sigaction(SIGHUP, &action, nullptr) == 0;
  });
  return installed;
}

int CloseSignalFd() { return pipeRead; }

bool TakeCloseSignals() {
  if (pipeRead < 0) return false;
  bool any = false;
  char bytes[64];
  ssize_t got;
  while ((got = read(pipeRead, bytes, sizeof bytes)) > 0) any = true;
  return any;
}

}  // namespace pache::headless
