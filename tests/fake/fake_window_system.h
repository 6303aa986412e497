// FakeWindowSystem: a scripted window system behind WindowSystem.
//
// Its message loop is a MessageQueue owned by the process's main thread, so
// it behaves as the real ones do across threads: SetWindowText from another
// thread waits until the main thread's PeekMessage carries it out, and
// fails at once once the window is destroyed or the process has ended.
//
// What it does, for tests:
// - records every title the main window takes (its creation title first),
//   every message box (confirmed at once with IDOK, whichever thread shows
//   it), every dialog with the messages its procedure was given, every
//   ShowWindow, dispatched message and default-processed message;
// - answers each DialogBox from a script (DialogScript): the procedure gets
//   WM_INITDIALOG, then the script's messages until it calls EndDialog (a
//   script that runs out first leaves the dialog abandoned: DialogBox
//   returns 0). With no script queued, "start" is pressed (command 1009);
//   a dialog that is not in the program's resources cannot be shown (-1);
// - delivers close requests (WM_CLOSE posted to the main window) when a
//   test asks: now, at a tick, or after the Nth title change;
// - lets another copy find its main window through the shared FakeDesktop
//   and records what that copy brought to the front.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_queue.h"
#include "platform/platform.h"
#include "tests/fake/fault_plan.h"

namespace pache {

class FakeDesktop;
class FakeProcess;

enum class WindowCall { RegisterWindowClass, CreateMainWindow, DialogBox };

// What a DialogBox call does once its procedure has had WM_INITDIALOG.
class DialogScript {
 public:
  // The dialog cannot be shown: DialogBox returns -1, the procedure is
  // never called.
  static DialogScript CannotShow();

  // Presses "start" (command 1009) / "quit" (command 1034):
  // DialogScript().Command(IDCANCEL).Quit().
  DialogScript& Start();
  DialogScript& Quit();

  // Sends a message to the dialog procedure.
  DialogScript& Send(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  // WM_COMMAND with the ID in the low 16 bits of wParam.
  DialogScript& Command(int id);
  // Runs `action` while the dialog is open (it is then the last active
  // popup of its program), for instance a second copy of the program.
  DialogScript& Run(std::function<void()> action);

  struct Step {
    Message message;              // window is ignored
    std::function<void()> action;  // when set, the step runs it instead
  };
  bool cannotShow = false;
  std::vector<Step> steps;
};

struct TitleChange {
  WindowHandle window;
  std::string text;
  bool fromOtherThread;  // asked by another thread, applied by the pump
};

struct MessageBoxRecord {
  WindowHandle owner;
  std::string text;
  std::string caption;
  std::uint32_t flags;
  bool mainThread;  // shown by the process's main thread
};

struct DialogMessage {
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  bool handled;  // the procedure's result
};

struct DialogRecord {
  int dialogId;
  WindowHandle owner;
  WindowHandle dialog;  // 0 when it could not be shown
  std::vector<DialogMessage> messages;
  bool ended = false;  // EndDialog was called
  std::intptr_t result = -1;
};

struct ShowWindowCall {
  WindowHandle window;
  int command;
  int itemId;  // the control's ID when the window is a dialog item, else 0
};

enum class PopupKind { Window, Dialog, MessageBox };

// What another copy brought to the front in this one.
struct FrontRequest {
  bool restored;  // the main window was minimised and got SW_RESTORE
  PopupKind popup;
  WindowHandle foreground;  // the window made the foreground window
};

class FakeWindowSystem : public WindowSystem {
 public:
  // Built on the process's main thread, which owns the message queue.
  FakeWindowSystem(FakeProcess& process, FakeDesktop& desktop);
  ~FakeWindowSystem() override;

  // ----------------------------------------------------------- scripts ----
  // Queues the script for the next DialogBox call (first queued, first used).
  void ScriptDialog(DialogScript script);
  // Called while each message box is open (after it is recorded).
  void OnMessageBox(std::function<void(const MessageBoxRecord&)> hook);
  // Close requests: WM_CLOSE posted to the main window now; at the main
  // thread's first PeekMessage at or after `tick`; or right after the nth
  // title change made by SetWindowText from now (1 = the next). When that
  // change came from another thread, that thread stays inside its
  // SetWindowText until the process ends, as a copy worker would be stopped
  // there by the end of the process: what it did before stays, nothing
  // after happens.
  void RequestClose();
  void CloseAtTick(std::uint32_t tick);
  void CloseAfterTitleChanges(int count);
  // Marks the main window minimised (IsIconic).
  void SetMinimised(bool minimised);
  FaultPlan<WindowCall>& faults() { return faults_; }

  // ----------------------------------------------------------- records ----
  WindowHandle mainWindow() const;
  bool IsMinimised() const;
  // True while the window exists (created and not destroyed).
  bool IsWindow(WindowHandle window) const;
  // The main window's titles in order, its creation title first.
  std::vector<std::string> titles() const;
  std::vector<TitleChange> titleChanges() const;
  std::vector<MessageBoxRecord> messageBoxes() const;
  std::vector<DialogRecord> dialogs() const;
  std::vector<ShowWindowCall> showCalls() const;
  std::vector<WindowHandle> updateCalls() const;
  std::vector<Message> dispatched() const;
  std::vector<Message> defaultProcessed() const;
  std::vector<int> quitCodes() const;
  // Requests that another copy made of this one.
  std::vector<FrontRequest> frontRequests() const;
  // The results of this copy's own BringOtherInstanceToFront calls.
  std::vector<bool> bringToFrontResults() const;
  MessageQueue& queue() { return queue_; }

  // Called by the desktop when another copy brings this one to the front.
  void ComeToFront(WindowHandle window);

  // The process ends: cross-thread calls waiting for the pump fail.
  void Shutdown();

  // ---------------------------------------------------- WindowSystem ----
  bool RegisterWindowClass(const char* className, WindowProc procedure, void* context) override;
  WindowHandle CreateMainWindow(const char* className, const char* title) override;
  void ShowWindow(WindowHandle window, int command) override;
  void UpdateWindow(WindowHandle window) override;
  bool SetWindowText(WindowHandle window, const char* text) override;
  int MessageBox(WindowHandle owner, const char* text, const char* caption,
                 std::uint32_t flags) override;
  std::intptr_t DialogBox(int dialogId, WindowHandle owner, DialogProc procedure,
                          void* context) override;
  void EndDialog(WindowHandle dialog, std::intptr_t result) override;
  WindowHandle GetDialogItem(WindowHandle dialog, int id) override;
  bool PeekMessage(Message* message) override;
  void TranslateMessage(const Message& message) override;
  std::intptr_t DispatchMessage(const Message& message) override;
  void PostQuitMessage(int exitCode) override;
  std::intptr_t DefWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
  bool BringOtherInstanceToFront(const char* className) override;

 private:
  struct WindowClass {
    WindowProc procedure;
    void* context;
  };
  struct Window {
    std::string classKey;
    bool alive = true;
  };
  struct Popup {
    PopupKind kind;
    WindowHandle window;
  };
  struct OpenDialog {
    std::size_t record;  // index into dialogs_
    std::map<int, WindowHandle> items;
  };

  // Sends a message to a window's procedure; 0 when it has none.
  std::intptr_t Send(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam);
  void DestroyMainWindow(WindowHandle window);
  void ApplyTitle(WindowHandle window, const char* text);
  OpenDialog* FindOpenDialog(WindowHandle dialog);
  // A copy of a record list, taken under the lock.
  template <typename Record>
  std::vector<Record> Snapshot(const std::vector<Record>& records) const;
  void Gate() const;

  FakeProcess& process_;
  FakeDesktop& desktop_;
  MessageQueue queue_;
  mutable std::mutex mutex_;
  std::map<std::string, WindowClass> classes_;
  std::map<WindowHandle, Window> windows_;
  WindowHandle mainWindow_ = 0;
  bool minimised_ = false;
  std::vector<Popup> popups_;
  std::vector<OpenDialog> openDialogs_;
  std::vector<DialogScript> scripts_;
  std::function<void(const MessageBoxRecord&)> messageBoxHook_;
  std::optional<std::uint32_t> closeTick_;
  int closeAfterTitles_ = 0;
  // Main thread only: the title being applied was asked by another thread,
  // and whether that thread is to be held there.
  bool applyingForOtherThread_ = false;
  bool holdOtherThread_ = false;
  std::vector<TitleChange> titleChanges_;
  std::vector<MessageBoxRecord> messageBoxes_;
  std::vector<DialogRecord> dialogs_;
  std::vector<ShowWindowCall> showCalls_;
  std::vector<WindowHandle> updateCalls_;
  std::vector<Message> dispatched_;
  std::vector<Message> defaultProcessed_;
  std::vector<int> quitCodes_;
  std::vector<FrontRequest> frontRequests_;
  std::vector<bool> bringToFrontResults_;
  FaultPlan<WindowCall> faults_;
};

}  // namespace pache
