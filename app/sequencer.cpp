#include "app/sequencer.h"

#include <atomic>

#include "app/texts.h"
#include "apply/copy_worker.h"
#include "apply/install_log.h"
#include "apply/registry_update.h"
#include "data/paths.h"

namespace pache {

namespace {

void RunCopyWorker(void* argument) {
  PatchSession& session = *static_cast<PatchSession*>(argument);
  CopyWorkerMain(session, session.worker);
}

void StartCopyWorker(PatchSession& session) {
  WindowSystem& windows = session.platform.windows;
  windows.SetWindowText(session.mainWindow, kTitleWaiting);
  if (session.platform.system.StartThread(RunCopyWorker, &session)) {
    session.sequencerState = WaitWorker;
    return;
  }
  // Without a worker no done flag ever comes: say so and end the run;
  // nothing has been changed yet.
  windows.MessageBox(session.mainWindow, kWorkerStartFailedText, kCopyFailedCaption,
                     MB_OK | MB_SYSTEMMODAL);
  session.sequencerState = Quit;
}

void ReportCompletion(PatchSession& session) {
  WindowSystem& windows = session.platform.windows;
  windows.SetWindowText(session.mainWindow, kTitleFinished);
  Text message = {};
  FormatText(message, sizeof message, kCompletionFormat, session.title, session.version);
  windows.MessageBox(session.mainWindow, message, kCompletionCaption, MB_OK | MB_SYSTEMMODAL);
}

}  // namespace

void PatchSequencerStep(PatchSession& session) {
  switch (session.sequencerState) {
    case StartWorker:
      StartCopyWorker(session);
      break;
    case WaitWorker:
      if (session.worker.done.load(std::memory_order_acquire) == 1) {
        ApplyRegistrySection(session);
        UpdateInstallLog(session);
        session.sequencerState = Report;
      }
      break;
    case Report:
      ReportCompletion(session);
      session.sequencerState = Quit;
      break;
    case Quit:
      session.platform.windows.PostQuitMessage(0);
      break;
    default:
      break;
  }
}

}  // namespace pache
