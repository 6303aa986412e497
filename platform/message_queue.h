// A thread's window message queue, shared by every window system.
//
// One queue belongs to the thread that runs a window system's message pump
// (the owner thread). It holds three things, taken by Peek in this order:
//
// - cross-thread calls: work that another thread wants done on one of the
//   owner's windows (SetWindowText from the copy worker). The caller blocks
//   until the owner's Peek has run it, as SendMessage does on Windows;
// - posted messages, first in first out;
// - the quit message: PostQuit only sets it pending, and Peek hands it out
//   as WM_QUIT once no posted message is left, as PostQuitMessage does.
//
// A window that is destroyed (ForgetWindow) or a queue that is shut down
// (Shutdown, when the pump will never run again) fails the calls waiting for
// it and every later call at once, so no caller blocks forever.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "platform/platform.h"

namespace pache {

class MessageQueue {
 public:
  // The constructing thread owns the queue.
  MessageQueue();
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  bool IsOwnerThread() const;

  // Any thread. Adds a message at the end of the queue.
  void Post(const Message& message);

  // Any thread. The next Peek that finds no posted message returns WM_QUIT
  // with wParam `exitCode`; a second PostQuit before that replaces the code.
  void PostQuit(int exitCode);

  // Owner thread only (false elsewhere). Runs every waiting cross-thread
  // call, then removes and returns the first posted message, else the
  // pending quit message. False when there is neither.
  bool Peek(Message* message);

  // Owner thread only. Runs the waiting cross-thread calls, as Peek does
  // first, without taking a message: for modal loops that must keep other
  // threads going. True when at least one call ran.
  bool RunCalls();

  // Any thread. Runs `work` on the owner thread for `window`: at once when
  // called there (unless the window was forgotten), else queued for the
  // owner's next Peek or RunCalls while the caller waits. True when `work`
  // ran; false, without running it, when the window was forgotten or the
  // queue shut down before the owner took the call.
  bool Call(WindowHandle window, std::function<void()> work);

  // The window is gone: calls for it that wait and every later one fail.
  void ForgetWindow(WindowHandle window);

  // The pump will not run again: waiting and later calls fail at once.
  // Posted messages stay readable by Peek.
  void Shutdown();

  // Calls queued and not yet taken by the owner.
  std::size_t WaitingCalls() const;

  // Called (from any thread, without the queue's lock held) whenever a
  // message or a call is queued, so a pump that blocks elsewhere (a GUI
  // main loop) can wake up and Peek.
  void SetWakeup(std::function<void()> wakeup);

 private:
  struct PendingCall;

  bool TakeCall(std::shared_ptr<PendingCall>& call);
  void FailCall(PendingCall& call);
  void Wake();

  const std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable callDone_;
  std::deque<std::shared_ptr<PendingCall>> calls_;
  std::deque<Message> posted_;
  std::set<WindowHandle> forgotten_;
  bool quitPending_ = false;
  int quitCode_ = 0;
  bool shutDown_ = false;
  std::function<void()> wakeup_;
};

}  // namespace pache
