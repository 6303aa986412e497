// The desktop window system on GTK 3: the main window is a tiny undecorated
// top-level whose title is the progress display in the taskbar; dialogs are
// built from the program's dialog templates; message boxes are small modal
// windows with one OK button.
//
// Every GTK call happens on the thread that opened the window system (the
// window thread). Other threads reach it through the message queue: their
// SetWindowText waits until the window thread's pump has set the title, and
// their MessageBox opens the box on the window thread and waits until it is
// confirmed while the window thread goes on.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/host_window_system.h"
#include "platform/message_queue.h"
#include "res/dialog_template.h"

typedef struct _GtkWidget GtkWidget;

namespace pache::gtk {

class GtkWindowSystem : public host::HostWindowSystem {
 public:
  // Connects to the display. Null when there is none or GTK cannot start.
  static std::unique_ptr<GtkWindowSystem> Open();
  ~GtkWindowSystem() override;

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

  // What a person sees and does, for the tests: the top-level GTK window of
  // `window` (null when there is none), and whether a close request would
  // reach it now.
  GtkWidget* Widget(WindowHandle window) const;
  bool IsEnabled(WindowHandle window) const;

 private:
  enum class Kind { Main, Dialog, Control, Box };
  struct Window;
  struct BoxWait;
  struct Signal;

  GtkWindowSystem();

  WindowHandle Add(std::unique_ptr<Window> window);
  Window* Find(WindowHandle handle) const;
  void Destroy(WindowHandle handle);
  void SetTitle(Window& window, const std::string& utf8);
  void Connect(GtkWidget* widget, const char* signal, void* callback, WindowHandle handle,
               int value = 0);
  GtkWidget* OwnerWidget(WindowHandle owner) const;
  void Disable(WindowHandle owner, int change);

  // Window thread: the box and the dialog, built and shown.
  WindowHandle OpenBox(WindowHandle owner, const std::string& text, const std::string& caption,
                       std::uint32_t flags, std::shared_ptr<BoxWait> wait);
  void ConfirmBox(WindowHandle box);
  WindowHandle BuildDialog(const DialogTemplate& dialog, WindowHandle owner,
                           DialogProc procedure, void* context);
  void SendCommand(WindowHandle dialog, int id, WindowHandle control);
  void CloseRequest(WindowHandle window);
  void Activated(WindowHandle popup);

  // GTK signal handlers; `signal` names the system and the window.
  static int OnDelete(GtkWidget* widget, void* event, Signal* signal);
  static int OnKey(GtkWidget* widget, void* event, Signal* signal);
  static void OnClicked(GtkWidget* widget, Signal* signal);
  static void OnActive(GtkWidget* widget, void* property, Signal* signal);

  MessageQueue queue_;
  std::map<std::string, std::pair<WindowProc, void*>> classes_;
  std::map<WindowHandle, std::unique_ptr<Window>> windows_;
  WindowHandle nextHandle_ = 0x10;
  // The main window, for the instance channel's thread; 0 when none.
  std::atomic<WindowHandle> mainWindow_{0};
  // Open dialogs and boxes, the most recently active last.
  std::vector<WindowHandle> popups_;
  // Pending idle wake-up of the GTK loop (window thread only).
  std::atomic<bool> wakeQueued_{false};
};

}  // namespace pache::gtk
