#include "platform/ui/headless/headless_window_system.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/host/codepage.h"
#include "platform/ui/headless/close_signals.h"
#include "res/dialog_template.h"
#include "res/resource.h"

namespace pache::headless {

namespace {

constexpr WindowHandle kMainWindow = 1;
constexpr WindowHandle kMenuDialog = 2;

const char* ControlText(const DialogTemplate& dialog, int id) {
  for (int i = 0; i < dialog.controlCount; ++i)
    if (dialog.controls[i].id == id && dialog.controls[i].text != nullptr)
      return dialog.controls[i].text;
  return "";
}

std::string Trimmed(std::string text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return text.substr(start);
}

}  // namespace

HeadlessOptions HeadlessOptions::FromProcess() {
  HeadlessOptions options;
  if (const char* menu = std::getenv("PACHE_MENU"); menu != nullptr) options.menuAnswer = menu;
  return options;
}

HeadlessWindowSystem::HeadlessWindowSystem(HeadlessOptions options)
    : options_(std::move(options)) {
  if (options_.closeSignals) InstallCloseSignals();
}

bool HeadlessWindowSystem::RegisterWindowClass(const char* className, WindowProc procedure,
                                               void* context) {
  std::lock_guard<std::mutex> lock(windowMutex_);
  if (className == nullptr || procedure == nullptr || !className_.empty()) return false;
  className_ = className;
  procedure_ = procedure;
  context_ = context;
  return true;
}

WindowHandle HeadlessWindowSystem::CreateMainWindow(const char* className, const char* /*title*/) {
  std::lock_guard<std::mutex> lock(windowMutex_);
  if (className == nullptr || className_ != className || mainWindow_ != 0) return 0;
  mainWindow_ = kMainWindow;
  return mainWindow_;
}

void HeadlessWindowSystem::ShowWindow(WindowHandle, int) {}
void HeadlessWindowSystem::UpdateWindow(WindowHandle) {}

bool HeadlessWindowSystem::IsMainWindow(WindowHandle window) const {
  std::lock_guard<std::mutex> lock(windowMutex_);
  return window != 0 && window == mainWindow_;
}

void HeadlessWindowSystem::Print(std::FILE* stream, const std::string& ansiText) {
  std::string utf8;
  host::AnsiToUtf8(ansiText, utf8);
  std::lock_guard<std::mutex> lock(printMutex_);
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

bool HeadlessWindowSystem::SetWindowText(WindowHandle window, const char* text) {
  if (text == nullptr || !IsMainWindow(window)) return false;
  std::string title = text;
  // From the worker, the window thread's pump carries it out.
  return queue_.Call(window, [this, title] { Print(options_.err, "title: " + title); });
}

int HeadlessWindowSystem::MessageBox(WindowHandle, const char* text, const char* caption,
                                     std::uint32_t) {
  Print(options_.out, std::string("[") + (caption ? caption : "") + "] " + (text ? text : ""));
  return IDOK;
}

bool HeadlessWindowSystem::AnswerStart() {
  if (options_.menuAnswer) return Trimmed(*options_.menuAnswer) == "start";
  // One line of input; a close signal while waiting counts as quit.
  std::string line;
  for (;;) {
    pollfd waits[2] = {{options_.input, POLLIN, 0}, {CloseSignalFd(), POLLIN, 0}};
    int ready = poll(waits, CloseSignalFd() >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (waits[1].revents & POLLIN)) return false;
    char c;
    ssize_t got = read(options_.input, &c, 1);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0 || c == '\n') break;
    line += c;
  }
  return Trimmed(line) == "start";
}

std::intptr_t HeadlessWindowSystem::DialogBox(int dialogId, WindowHandle, DialogProc procedure,
                                              void* context) {
  const DialogTemplate& menu = PatchMenuTemplate();
  if (dialogId != menu.id || procedure == nullptr) return -1;
  Print(options_.out, std::string("[") + menu.caption + "] " + ControlText(menu, IDC_START) +
                          " = start, " + ControlText(menu, IDC_QUIT) + " = quit");
  dialog_ = kMenuDialog;
  dialogEnded_ = false;
  dialogResult_ = 0;
  procedure(context, dialog_, WM_INITDIALOG, 0, 0);
  if (!dialogEnded_) {
    int choice = AnswerStart() ? IDC_START : IDC_QUIT;
    procedure(context, dialog_, WM_COMMAND, static_cast<std::uintptr_t>(choice), 0);
  }
  dialog_ = 0;
  return dialogEnded_ ? dialogResult_ : 0;
}

void HeadlessWindowSystem::EndDialog(WindowHandle dialog, std::intptr_t result) {
  if (dialog == 0 || dialog != dialog_) return;
  dialogEnded_ = true;
  dialogResult_ = result;
}

WindowHandle HeadlessWindowSystem::GetDialogItem(WindowHandle dialog, int id) {
  if (dialog == 0 || dialog != dialog_ || id <= 0) return 0;
  return (dialog << 16) | static_cast<WindowHandle>(id);
}

bool HeadlessWindowSystem::PeekMessage(Message* message) {
  if (message == nullptr) return false;
  if (TakeCloseSignals()) {
    std::lock_guard<std::mutex> lock(windowMutex_);
    if (mainWindow_ != 0) queue_.Post(Message{mainWindow_, WM_CLOSE, 0, 0});
  }
  return queue_.Peek(message);
}

void HeadlessWindowSystem::TranslateMessage(const Message&) {}

std::intptr_t HeadlessWindowSystem::DispatchMessage(const Message& message) {
  if (!IsMainWindow(message.window)) return 0;
  return procedure_(context_, message.window, message.message, message.wParam, message.lParam);
}

void HeadlessWindowSystem::PostQuitMessage(int exitCode) { queue_.PostQuit(exitCode); }

std::intptr_t HeadlessWindowSystem::DefWindowProc(WindowHandle window, std::uint32_t message,
                                                  std::uintptr_t, std::intptr_t) {
  if (message != WM_CLOSE || !IsMainWindow(window)) return 0;
  // Destroying the window: nothing more reaches it, and its procedure
  // hears WM_DESTROY.
  {
    std::lock_guard<std::mutex> lock(windowMutex_);
    mainWindow_ = 0;
  }
  queue_.ForgetWindow(window);
  procedure_(context_, window, WM_DESTROY, 0, 0);
  return 0;
}

bool HeadlessWindowSystem::BringOwnWindowToFront(const char* className) {
  // Nothing is drawn: the copy has its window, and so it answers yes.
  std::lock_guard<std::mutex> lock(windowMutex_);
  return className != nullptr && mainWindow_ != 0 && className_ == className;
}

}  // namespace pache::headless
