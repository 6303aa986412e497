// The window system without a display, for scripts and CI: message boxes
// are printed to standard output as "[caption] text" in UTF-8 and confirmed
// at once; each change of the main window's title is printed to standard
// error as "title: text"; the patch menu prints its caption and two choices
// and takes its answer from PACHE_MENU or one line of standard input;
// SIGINT, SIGTERM and SIGHUP are close requests to the main window.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "platform/host/host_window_system.h"
#include "platform/message_queue.h"

namespace pache::headless {

struct HeadlessOptions {
  std::FILE* out = stdout;  // message boxes and the menu
  std::FILE* err = stderr;  // title changes
  int input = 0;            // the menu's answer, when `menuAnswer` is unset
  std::optional<std::string> menuAnswer;  // "start" or "quit"
  bool closeSignals = true;  // take SIGINT, SIGTERM and SIGHUP

  // Standard streams, PACHE_MENU and the close signals.
  static HeadlessOptions FromProcess();
};

class HeadlessWindowSystem : public host::HostWindowSystem {
 public:
  // The constructing thread is the window thread.
  explicit HeadlessWindowSystem(HeadlessOptions options);

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
  bool BringOwnWindowToFront(const char* className) override;

 private:
  // Prints one line (or several, for a text with line feeds), in UTF-8.
  void Print(std::FILE* stream, const std::string& ansiText);
  // The menu's answer: PACHE_MENU, else one line of input; true for start.
  bool AnswerStart();
  bool IsMainWindow(WindowHandle window) const;

  HeadlessOptions options_;
  MessageQueue queue_;
  std::mutex printMutex_;

  mutable std::mutex windowMutex_;  // the channel's thread looks at the window too
  std::string className_;
  WindowProc procedure_ = nullptr;
  void* context_ = nullptr;
  WindowHandle mainWindow_ = 0;

  // The dialog that runs, and how it ended.
  WindowHandle dialog_ = 0;
  bool dialogEnded_ = false;
  std::intptr_t dialogResult_ = 0;
};

}  // namespace pache::headless
