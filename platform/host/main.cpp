// The program on Linux: the host platform over the Wine prefix, then the
// patch run.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/state.h"
#include "app/texts.h"
#include "app/win_main.h"
#include "platform/host/host_file_system.h"
#include "platform/host/host_registry.h"
#include "platform/host/host_system.h"
#include "platform/host/prefix.h"
#include "platform/host/replacement_file.h"
#include "platform/host/window_system_choice.h"

int main() {
  using namespace pache;
  // Output that nobody reads any more must not end a run halfway.
  signal(SIGPIPE, SIG_IGN);
  const std::string prefix = host::PrefixDirectory();
  std::unique_ptr<host::HostWindowSystem> windows = host::ChooseWindowSystem();

  int code = 0;
  if (host::WineServerRunning(prefix)) {
    // Its registry lives in the server while it runs: say so and change
    // nothing.
    windows->MessageBox(0, kWineRunningText, kWarningCaption, MB_OK | MB_SYSTEMMODAL);
  } else {
    host::HostFileSystem files(prefix);
    host::HostRegistry registry(prefix);
    host::HostWindowSystem& window = *windows;
    host::HostSystem system(
        [&window](const char* className) { return window.BringOwnWindowToFront(className); });
    auto session = std::make_unique<PatchSession>(Platform{files, registry, *windows, system});
    code = WinMain(*session, SW_SHOWNORMAL);
    // A copy that a close request cut short leaves no temporary file.
    host::DiscardPendingReplacements();
  }
  std::fflush(stdout);
  std::fflush(stderr);
  // The copy worker may still run: end without tearing down what it uses.
  _exit(code);
}
