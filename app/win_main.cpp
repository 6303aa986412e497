#include "app/win_main.h"

#include <atomic>

#include "app/sequencer.h"
#include "app/texts.h"
#include "check/install_check.h"
#include "check/patch_menu.h"
#include "data/scrambled.h"
#include "res/resource.h"

namespace pache {

namespace {

constexpr std::int32_t kFramePeriodMs = 30;

// The worker reads the definition text and fills the log block until it
// sets done; it runs from the sequencer's first step until then.
bool WorkerMayBeRunning(const PatchSession& session) {
  return session.sequencerState == WaitWorker &&
         session.worker.done.load(std::memory_order_acquire) != 1;
}

}  // namespace

bool EnsureSingleInstance(PatchSession& session, const char* name) {
  switch (session.platform.system.AcquireInstanceLock(name)) {
    case InstanceLockResult::Acquired:
      return true;
    case InstanceLockResult::AlreadyExists:
      session.platform.windows.BringOtherInstanceToFront(name);
      return false;
    case InstanceLockResult::Failed:
      break;
  }
  return false;
}

bool RegisterMainWindowClass(PatchSession& session, WindowProc procedure, const char* className) {
  return session.platform.windows.RegisterWindowClass(className, procedure, &session);
}

int WinMain(PatchSession& session, int showCommand) {
  if (!EnsureSingleInstance(session, kInstanceName)) return 0;
  if (!RegisterMainWindowClass(session, MainWindowProc, kInstanceName)) return 0;

  WindowSystem& windows = session.platform.windows;
  session.mainWindow = windows.CreateMainWindow(kInstanceName, kMainWindowTitle);
  windows.ShowWindow(session.mainWindow, showCommand);
  windows.UpdateWindow(session.mainWindow);
  session.platform.files.GetCurrentDirectory(session.sourceDir, sizeof session.sourceDir);

  if (!CheckInstallation(session)) {
    windows.PostQuitMessage(0);
  } else {
    ShowPatchMenu(session, session.mainWindow);
    if (session.menuChoice == IDC_QUIT) windows.PostQuitMessage(0);
  }
  return RunFrameLoop(session);
}

int RunFrameLoop(PatchSession& session) {
  WindowSystem& windows = session.platform.windows;
  System& system = session.platform.system;
  Message message;
  for (;;) {
    if (windows.PeekMessage(&message)) {
      if (message.message == WM_QUIT) break;
      windows.TranslateMessage(message);
      windows.DispatchMessage(message);
      continue;
    }
    std::uint32_t t0 = system.GetTickCount();
    PatchSequencerStep(session);
    std::uint32_t t1 = system.GetTickCount();
    // Unsigned differences stay right across the tick count's wrap; the
    // conversion to signed is modular.
    std::int32_t wait = static_cast<std::int32_t>(static_cast<std::uint32_t>(kFramePeriodMs) - (t1 - t0));
    system.Sleep(wait > 0 ? static_cast<std::uint32_t>(wait) : 0);
  }
  ReleaseResources(session);
  return static_cast<int>(message.wParam);
}

void ReleaseResources(PatchSession& session) {
  // A close request may end the run while the worker still copies; what it
  // uses then stays allocated until the process ends with it.
  if (WorkerMayBeRunning(session)) return;
  ReleaseText(session, session.definitionText);
  ReleaseText(session, session.logAdditions);
}

std::intptr_t MainWindowProc(void* context, WindowHandle window, std::uint32_t message,
                             std::uintptr_t wParam, std::intptr_t lParam) {
  WindowSystem& windows = static_cast<PatchSession*>(context)->platform.windows;
  switch (message) {
    case WM_DESTROY:
      windows.PostQuitMessage(0);
      return 0;
    case WM_CREATE:
    case WM_MOVE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ACTIVATEAPP:
    case WM_KEYDOWN:
    case WM_SYSKEYUP:
    case WM_COMMAND:
    case WM_TIMER:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      return 0;
    default:
      return windows.DefWindowProc(window, message, wParam, lParam);
  }
}

}  // namespace pache
