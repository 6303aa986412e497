#include "platform/ui/gtk/gtk_window_system.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "platform/host/codepage.h"
#include "platform/ui/gtk/gtk_widgets.h"
#include "res/dialog_layout.h"

namespace pache::gtk {

namespace {

// Events taken by one PeekMessage, so that a flood of them cannot hold off
// the frame loop for long.
constexpr int kEventsPerPeek = 64;

// Resources are compiled from code page 932, whatever the ANSI code page.
constexpr int kResourceCodePage = 932;

std::string Utf8(const char* ansi, int codePage = host::AnsiCodePage()) {
  std::string utf8;
  if (ansi != nullptr) host::AnsiToUtf8(ansi, utf8, codePage);
  return utf8;
}

}  // namespace

struct GtkWindowSystem::Window {
  Kind kind = Kind::Main;
  GtkWidget* widget = nullptr;     // the top-level window, or the control
  GtkWidget* headerBar = nullptr;  // shows the caption of dialogs and boxes
  WindowHandle owner = 0;          // dialogs, boxes: owner; controls: their dialog
  int controlId = 0;
  std::string className;  // main window
  WindowProc procedure = nullptr;
  DialogProc dialogProcedure = nullptr;
  void* context = nullptr;
  int disabled = 0;  // modal dialogs and boxes open over it
  bool ended = false;
  std::intptr_t result = 0;
  std::shared_ptr<BoxWait> wait;  // boxes
};

// How a box ended, for the thread that waits for it.
struct GtkWindowSystem::BoxWait {
  std::mutex mutex;
  std::condition_variable confirmed;
  bool done = false;
  int result = 0;

  void Finish(int answer) {
    std::lock_guard lock(mutex);
    done = true;
    result = answer;
    confirmed.notify_all();
  }
};

struct GtkWindowSystem::Signal {
  GtkWindowSystem* system;
  WindowHandle window;
  int value;
};

std::unique_ptr<GtkWindowSystem> GtkWindowSystem::Open() {
  g_set_prgname("pache");
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  return std::unique_ptr<GtkWindowSystem>(new GtkWindowSystem());
}

GtkWindowSystem::GtkWindowSystem() {
  InstallStyles();
  // Another thread queued a call: have the GTK loop, wherever it waits on
  // this thread, run it.
  queue_.SetWakeup([this] {
    if (wakeQueued_.exchange(true)) return;
    g_idle_add(
        [](gpointer data) -> gboolean {
          auto* system = static_cast<GtkWindowSystem*>(data);
          system->wakeQueued_ = false;
          system->queue_.RunCalls();
          return G_SOURCE_REMOVE;
        },
        this);
  });
}

GtkWindowSystem::~GtkWindowSystem() {
  queue_.SetWakeup(nullptr);
  while (g_idle_remove_by_data(this)) {
  }
  queue_.Shutdown();
  for (auto& [handle, window] : windows_) {
    if (window->wait) window->wait->Finish(0);
  }
  std::vector<GtkWidget*> toplevels;
  for (auto& [handle, window] : windows_) {
    if (window->kind != Kind::Control) toplevels.push_back(window->widget);
  }
  windows_.clear();
  for (GtkWidget* widget : toplevels) gtk_widget_destroy(widget);
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

WindowHandle GtkWindowSystem::Add(std::unique_ptr<Window> window) {
  WindowHandle handle = nextHandle_++;
  windows_[handle] = std::move(window);
  return handle;
}

GtkWindowSystem::Window* GtkWindowSystem::Find(WindowHandle handle) const {
  auto found = windows_.find(handle);
  return found == windows_.end() ? nullptr : found->second.get();
}

GtkWidget* GtkWindowSystem::Widget(WindowHandle handle) const {
  Window* window = Find(handle);
  return window != nullptr ? window->widget : nullptr;
}

bool GtkWindowSystem::IsEnabled(WindowHandle handle) const {
  Window* window = Find(handle);
  return window != nullptr && window->disabled == 0;
}

void GtkWindowSystem::Connect(GtkWidget* widget, const char* signal, void* callback,
                              WindowHandle handle, int value) {
  g_signal_connect_data(widget, signal, G_CALLBACK(callback), new Signal{this, handle, value},
                        [](gpointer data, GClosure*) { delete static_cast<Signal*>(data); },
                        GConnectFlags(0));
}

// ------------------------------------------------------------ the main window

bool GtkWindowSystem::RegisterWindowClass(const char* className, WindowProc procedure,
                                          void* context) {
  if (className == nullptr || procedure == nullptr || classes_.count(className) != 0) return false;
  classes_[className] = {procedure, context};
  return true;
}

WindowHandle GtkWindowSystem::CreateMainWindow(const char* className, const char* title) {
  if (!queue_.IsOwnerThread() || className == nullptr) return 0;
  auto found = classes_.find(className);
  if (found == classes_.end()) return 0;
  auto window = std::make_unique<Window>();
  window->kind = Kind::Main;
  window->className = className;
  window->procedure = found->second.first;
  window->context = found->second.second;
  window->widget = NewMainWindow();
  Window& added = *window;
  WindowHandle handle = Add(std::move(window));
  SetTitle(added, Utf8(title));
  Connect(added.widget, "delete-event", reinterpret_cast<void*>(&OnDelete), handle);
  Connect(added.widget, "key-press-event", reinterpret_cast<void*>(&OnKey), handle);
  mainWindow_ = handle;
  added.procedure(added.context, handle, WM_CREATE, 0, 0);
  return handle;
}

void GtkWindowSystem::ShowWindow(WindowHandle handle, int command) {
  Window* window = Find(handle);
  if (window == nullptr) return;
  if (command == SW_HIDE) {
    gtk_widget_hide(window->widget);
    return;
  }
  if (command == SW_RESTORE && window->kind != Kind::Control) {
    gtk_window_deiconify(GTK_WINDOW(window->widget));
  }
  gtk_widget_show(window->widget);
}

// Drawing happens when the loop runs; there is nothing to force.
void GtkWindowSystem::UpdateWindow(WindowHandle) {}

void GtkWindowSystem::SetTitle(Window& window, const std::string& utf8) {
  if (window.kind == Kind::Control) {
    if (GTK_IS_BUTTON(window.widget)) gtk_button_set_label(GTK_BUTTON(window.widget), utf8.c_str());
    return;
  }
  gtk_window_set_title(GTK_WINDOW(window.widget), utf8.c_str());
  if (window.headerBar != nullptr) {
    gtk_header_bar_set_title(GTK_HEADER_BAR(window.headerBar), utf8.c_str());
  }
}

bool GtkWindowSystem::SetWindowText(WindowHandle handle, const char* text) {
  if (text == nullptr) return false;
  std::string utf8 = Utf8(text);
  bool set = false;
  queue_.Call(handle, [&] {
    if (Window* window = Find(handle)) {
      SetTitle(*window, utf8);
      set = true;
    }
  });
  return set;
}

void GtkWindowSystem::CloseRequest(WindowHandle handle) {
  Window* window = Find(handle);
  if (window == nullptr || window->disabled > 0) return;
  window->procedure(window->context, handle, WM_CLOSE, 0, 0);
}

std::intptr_t GtkWindowSystem::DefWindowProc(WindowHandle handle, std::uint32_t message,
                                             std::uintptr_t, std::intptr_t) {
  if (message == WM_CLOSE && queue_.IsOwnerThread()) Destroy(handle);
  return 0;
}

void GtkWindowSystem::Destroy(WindowHandle handle) {
  Window* window = Find(handle);
  if (window == nullptr) return;
  if (window->kind == Kind::Main) {
    WindowProc procedure = window->procedure;
    void* context = window->context;
    procedure(context, handle, WM_DESTROY, 0, 0);
    if (mainWindow_ == handle) mainWindow_ = 0;
  }
  // Its controls go with it.
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (it->second->kind == Kind::Control && it->second->owner == handle) {
      queue_.ForgetWindow(it->first);
      it = windows_.erase(it);
    } else {
      ++it;
    }
  }
  window = Find(handle);
  if (window == nullptr) return;
  GtkWidget* widget = window->widget;
  popups_.erase(std::remove(popups_.begin(), popups_.end(), handle), popups_.end());
  queue_.ForgetWindow(handle);
  windows_.erase(handle);
  gtk_widget_destroy(widget);
}

// --------------------------------------------------------- the message pump

bool GtkWindowSystem::PeekMessage(Message* message) {
  if (!queue_.IsOwnerThread()) return false;
  for (int i = 0; i < kEventsPerPeek && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
  return queue_.Peek(message);
}

// Keys reach the windows through GTK; there is no character message.
void GtkWindowSystem::TranslateMessage(const Message&) {}

std::intptr_t GtkWindowSystem::DispatchMessage(const Message& message) {
  Window* window = Find(message.window);
  if (window == nullptr || window->kind != Kind::Main) return 0;
  return window->procedure(window->context, message.window, message.message, message.wParam,
                           message.lParam);
}

void GtkWindowSystem::PostQuitMessage(int exitCode) { queue_.PostQuit(exitCode); }

// ------------------------------------------------------------ popups

GtkWidget* GtkWindowSystem::OwnerWidget(WindowHandle owner) const {
  Window* window = Find(owner);
  return window != nullptr && window->kind != Kind::Control ? window->widget : nullptr;
}

void GtkWindowSystem::Disable(WindowHandle owner, int change) {
  if (Window* window = Find(owner)) window->disabled += change;
}

void GtkWindowSystem::Activated(WindowHandle popup) {
  auto found = std::find(popups_.begin(), popups_.end(), popup);
  if (found == popups_.end()) return;
  popups_.erase(found);
  popups_.push_back(popup);
}

WindowHandle GtkWindowSystem::OpenBox(WindowHandle owner, const std::string& text,
                                      const std::string& caption, std::uint32_t flags,
                                      std::shared_ptr<BoxWait> wait) {
  if (owner != 0 && OwnerWidget(owner) == nullptr) return 0;
  auto window = std::make_unique<Window>();
  window->kind = Kind::Box;
  window->owner = owner;
  window->wait = std::move(wait);
  GtkWidget* okButton = nullptr;
  window->widget = NewMessageBox(text, OwnerWidget(owner), (flags & MB_SYSTEMMODAL) != 0,
                                 &window->headerBar, &okButton);
  Window& added = *window;
  WindowHandle handle = Add(std::move(window));
  SetTitle(added, caption);
  Connect(added.widget, "delete-event", reinterpret_cast<void*>(&OnDelete), handle);
  Connect(added.widget, "key-press-event", reinterpret_cast<void*>(&OnKey), handle);
  Connect(added.widget, "notify::is-active", reinterpret_cast<void*>(&OnActive), handle);
  Connect(okButton, "clicked", reinterpret_cast<void*>(&OnClicked), handle, IDOK);
  Disable(owner, +1);
  popups_.push_back(handle);
  gtk_widget_show_all(added.widget);
  Present(added.widget);
  return handle;
}

void GtkWindowSystem::ConfirmBox(WindowHandle handle) {
  Window* window = Find(handle);
  if (window == nullptr || window->kind != Kind::Box) return;
  Disable(window->owner, -1);
  std::shared_ptr<BoxWait> wait = window->wait;
  Destroy(handle);
  wait->Finish(IDOK);
}

int GtkWindowSystem::MessageBox(WindowHandle owner, const char* text, const char* caption,
                                std::uint32_t flags) {
  const std::string utf8Text = Utf8(text);
  const std::string utf8Caption = Utf8(caption);
  auto wait = std::make_shared<BoxWait>();
  WindowHandle box = 0;
  // The box belongs to the window thread; a caller on another thread waits
  // for its answer while the window thread goes on.
  bool opened = queue_.Call(owner, [&] { box = OpenBox(owner, utf8Text, utf8Caption, flags, wait); });
  if (!opened || box == 0) return 0;
  if (queue_.IsOwnerThread()) {
    while (!wait->done) gtk_main_iteration();
    return wait->result;
  }
  std::unique_lock lock(wait->mutex);
  wait->confirmed.wait(lock, [&] { return wait->done; });
  return wait->result;
}

// ------------------------------------------------------------ dialogs

WindowHandle GtkWindowSystem::BuildDialog(const DialogTemplate& dialog, WindowHandle owner,
                                          DialogProc procedure, void* context) {
  auto window = std::make_unique<Window>();
  window->kind = Kind::Dialog;
  window->owner = owner;
  window->dialogProcedure = procedure;
  window->context = context;
  const std::string fontName = Utf8(dialog.fontName, kResourceCodePage);
  window->widget = NewDialogWindow(dialog, fontName, OwnerWidget(owner), &window->headerBar);
  Window& added = *window;
  WindowHandle handle = Add(std::move(window));
  SetTitle(added, Utf8(dialog.caption, kResourceCodePage));
  Connect(added.widget, "delete-event", reinterpret_cast<void*>(&OnDelete), handle);
  Connect(added.widget, "key-press-event", reinterpret_cast<void*>(&OnKey), handle);
  Connect(added.widget, "notify::is-active", reinterpret_cast<void*>(&OnActive), handle);

  DialogLayout layout = LayoutDialog(dialog, DialogFontBaseUnits(added.widget, fontName,
                                                                 dialog.fontPointSize));
  GtkWidget* client = NewDialogClient(added.widget, layout.clientWidth, layout.clientHeight);
  for (int i = 0; i < dialog.controlCount; ++i) {
    const DialogControl& control = dialog.controls[i];
    PixelRect rect = layout.controls[i];
    auto item = std::make_unique<Window>();
    item->kind = Kind::Control;
    item->owner = handle;
    item->controlId = control.id;
    if (control.controlClass == ControlClass::Button) {
      item->widget = NewPushButton(Utf8(control.text, kResourceCodePage), rect);
    } else {
      // A static control shows its bitmap; the client area clips it.
      rect.width = std::min(rect.width, layout.clientWidth - rect.x);
      rect.height = std::min(rect.height, layout.clientHeight - rect.y);
      item->widget = NewBitmapView(control.imageId, rect);
    }
    gtk_fixed_put(GTK_FIXED(client), item->widget, rect.x, rect.y);
    if (control.style & WS_VISIBLE) gtk_widget_show(item->widget);
    GtkWidget* widget = item->widget;
    WindowHandle itemHandle = Add(std::move(item));
    if (control.controlClass == ControlClass::Button) {
      Connect(widget, "clicked", reinterpret_cast<void*>(&OnClicked), itemHandle, control.id);
    }
  }
  return handle;
}

std::intptr_t GtkWindowSystem::DialogBox(int dialogId, WindowHandle owner, DialogProc procedure,
                                         void* context) {
  const DialogTemplate& menu = PatchMenuTemplate();
  if (!queue_.IsOwnerThread() || procedure == nullptr || dialogId != menu.id) return -1;
  if (owner != 0 && OwnerWidget(owner) == nullptr) return -1;
  WindowHandle dialog = BuildDialog(menu, owner, procedure, context);

  // The first control that takes the keyboard: the focus when the
  // procedure asks for the default one.
  WindowHandle firstStop = 0;
  for (int i = 0; i < menu.controlCount && firstStop == 0; ++i) {
    if (menu.controls[i].style & WS_TABSTOP) firstStop = GetDialogItem(dialog, menu.controls[i].id);
  }
  if (procedure(context, dialog, WM_INITDIALOG, firstStop, 0) && firstStop != 0) {
    gtk_widget_grab_focus(Widget(firstStop));
  }
  Disable(owner, +1);
  popups_.push_back(dialog);
  if (Window* window = Find(dialog); window != nullptr && !window->ended) {
    gtk_widget_show(window->widget);
    Present(window->widget);
  }
  for (Window* window = Find(dialog); window != nullptr && !window->ended; window = Find(dialog)) {
    gtk_main_iteration();
  }
  Disable(owner, -1);
  Window* window = Find(dialog);
  std::intptr_t result = window != nullptr ? window->result : -1;
  Destroy(dialog);
  return result;
}

void GtkWindowSystem::EndDialog(WindowHandle handle, std::intptr_t result) {
  Window* window = Find(handle);
  if (window == nullptr || window->kind != Kind::Dialog) return;
  window->ended = true;
  window->result = result;
  gtk_widget_hide(window->widget);
}

WindowHandle GtkWindowSystem::GetDialogItem(WindowHandle dialog, int id) {
  for (const auto& [handle, window] : windows_) {
    if (window->kind == Kind::Control && window->owner == dialog && window->controlId == id) {
      return handle;
    }
  }
  return 0;
}

void GtkWindowSystem::SendCommand(WindowHandle handle, int id, WindowHandle control) {
  Window* window = Find(handle);
  if (window == nullptr || window->kind != Kind::Dialog || window->ended) return;
  window->dialogProcedure(window->context, handle, WM_COMMAND, static_cast<std::uintptr_t>(id),
                          static_cast<std::intptr_t>(control));
}

// ------------------------------------------------------------ another copy

bool GtkWindowSystem::BringOwnWindowToFront(const char* className) {
  const WindowHandle main = mainWindow_;
  if (main == 0 || className == nullptr) return false;
  const std::string wanted = className;
  bool brought = false;
  queue_.Call(main, [&] {
    Window* window = Find(main);
    if (window == nullptr || window->className != wanted) return;
    gtk_window_deiconify(GTK_WINDOW(window->widget));
    WindowHandle front = popups_.empty() ? main : popups_.back();
    Present(Widget(front));
    brought = true;
  });
  return brought;
}

// ------------------------------------------------------------ signals

int GtkWindowSystem::OnDelete(GtkWidget*, void*, Signal* signal) {
  GtkWindowSystem& system = *signal->system;
  Window* window = system.Find(signal->window);
  if (window == nullptr) return TRUE;
  switch (window->kind) {
    case Kind::Main: system.CloseRequest(signal->window); break;
    // A close request is the dialog manager's Cancel.
    case Kind::Dialog: system.SendCommand(signal->window, IDCANCEL, 0); break;
    case Kind::Box: system.ConfirmBox(signal->window); break;
    case Kind::Control: break;
  }
  return TRUE;  // the window goes only the way the procedure says
}

int GtkWindowSystem::OnKey(GtkWidget*, void* event, Signal* signal) {
  auto* key = static_cast<GdkEventKey*>(event);
  const bool altF4 = key->keyval == GDK_KEY_F4 && (key->state & GDK_MOD1_MASK) != 0;
  const bool enter = key->keyval == GDK_KEY_Return || key->keyval == GDK_KEY_KP_Enter ||
                     key->keyval == GDK_KEY_ISO_Enter;
  const bool escape = key->keyval == GDK_KEY_Escape;
  GtkWindowSystem& system = *signal->system;
  Window* window = system.Find(signal->window);
  if (window == nullptr) return FALSE;
  switch (window->kind) {
    case Kind::Main:
      if (!altF4) return FALSE;
      system.CloseRequest(signal->window);
      return TRUE;
    case Kind::Dialog:
      // The dialog manager's keys: Enter is OK (no button is the default),
      // Escape and Alt+F4 are Cancel; the procedure decides what they do.
      if (!enter && !escape && !altF4) return FALSE;
      system.SendCommand(signal->window, enter ? IDOK : IDCANCEL, 0);
      return TRUE;
    case Kind::Box:
      if (!enter && !escape && !altF4) return FALSE;
      system.ConfirmBox(signal->window);
      return TRUE;
    case Kind::Control: return FALSE;
  }
  return FALSE;
}

void GtkWindowSystem::OnClicked(GtkWidget*, Signal* signal) {
  GtkWindowSystem& system = *signal->system;
  Window* window = system.Find(signal->window);
  if (window == nullptr) return;
  if (window->kind == Kind::Box) {
    system.ConfirmBox(signal->window);
  } else if (window->kind == Kind::Control) {
    system.SendCommand(window->owner, signal->value, signal->window);
  }
}

void GtkWindowSystem::OnActive(GtkWidget* widget, void*, Signal* signal) {
  if (gtk_window_is_active(GTK_WINDOW(widget))) signal->system->Activated(signal->window);
}

}  // namespace pache::gtk
