#include "tests/fake/fake_window_system.h"

#include <algorithm>

#include "res/dialog_template.h"
#include "res/resource.h"
#include "tests/fake/dos_path.h"
#include "tests/fake/fake_desktop.h"
#include "tests/fake/fake_process.h"

namespace pache {

namespace {

const DialogTemplate* FindTemplate(int dialogId) {
  const DialogTemplate& menu = PatchMenuTemplate();
  return menu.id == dialogId ? &menu : nullptr;
}

}  // namespace

template <typename Record>
std::vector<Record> FakeWindowSystem::Snapshot(const std::vector<Record>& records) const {
  std::lock_guard lock(mutex_);
  return records;
}

// ----------------------------------------------------------- DialogScript

DialogScript& DialogScript::Start() { return Command(IDC_START); }

DialogScript& DialogScript::Quit() { return Command(IDC_QUIT); }

DialogScript DialogScript::CannotShow() {
  DialogScript script;
  script.cannotShow = true;
  return script;
}

DialogScript& DialogScript::Send(std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  steps.push_back(Step{Message{0, message, wParam, lParam}, nullptr});
  return *this;
}

DialogScript& DialogScript::Command(int id) {
  return Send(WM_COMMAND, static_cast<std::uintptr_t>(id) & 0xFFFF);
}

DialogScript& DialogScript::Run(std::function<void()> action) {
  steps.push_back(Step{Message{}, std::move(action)});
  return *this;
}

// ------------------------------------------------------- FakeWindowSystem

FakeWindowSystem::FakeWindowSystem(FakeProcess& process, FakeDesktop& desktop)
    : process_(process), desktop_(desktop) {}

FakeWindowSystem::~FakeWindowSystem() {
  desktop_.RemoveWindowsOf(this);
  queue_.Shutdown();
}

void FakeWindowSystem::Gate() const { process_.Gate(); }

void FakeWindowSystem::Shutdown() { queue_.Shutdown(); }

void FakeWindowSystem::ScriptDialog(DialogScript script) {
  std::lock_guard lock(mutex_);
  scripts_.push_back(std::move(script));
}

void FakeWindowSystem::OnMessageBox(std::function<void(const MessageBoxRecord&)> hook) {
  std::lock_guard lock(mutex_);
  messageBoxHook_ = std::move(hook);
}

void FakeWindowSystem::RequestClose() {
  WindowHandle window = mainWindow();
  if (window != 0) queue_.Post(Message{window, WM_CLOSE, 0, 0});
}

void FakeWindowSystem::CloseAtTick(std::uint32_t tick) {
  std::lock_guard lock(mutex_);
  closeTick_ = tick;
}

void FakeWindowSystem::CloseAfterTitleChanges(int count) {
  std::lock_guard lock(mutex_);
  closeAfterTitles_ = count;
}

void FakeWindowSystem::SetMinimised(bool minimised) {
  std::lock_guard lock(mutex_);
  minimised_ = minimised;
}

// ---------------------------------------------------------------- records

WindowHandle FakeWindowSystem::mainWindow() const {
  std::lock_guard lock(mutex_);
  return mainWindow_;
}

bool FakeWindowSystem::IsMinimised() const {
  std::lock_guard lock(mutex_);
  return minimised_;
}

bool FakeWindowSystem::IsWindow(WindowHandle window) const {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  return it != windows_.end() && it->second.alive;
}

std::vector<std::string> FakeWindowSystem::titles() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> result;
  for (const TitleChange& change : titleChanges_) {
    if (change.window == mainWindow_) result.push_back(change.text);
  }
  return result;
}

std::vector<TitleChange> FakeWindowSystem::titleChanges() const { return Snapshot(titleChanges_); }
std::vector<MessageBoxRecord> FakeWindowSystem::messageBoxes() const { return Snapshot(messageBoxes_); }
std::vector<DialogRecord> FakeWindowSystem::dialogs() const { return Snapshot(dialogs_); }
std::vector<ShowWindowCall> FakeWindowSystem::showCalls() const { return Snapshot(showCalls_); }
std::vector<WindowHandle> FakeWindowSystem::updateCalls() const { return Snapshot(updateCalls_); }
std::vector<Message> FakeWindowSystem::dispatched() const { return Snapshot(dispatched_); }
std::vector<Message> FakeWindowSystem::defaultProcessed() const { return Snapshot(defaultProcessed_); }
std::vector<int> FakeWindowSystem::quitCodes() const { return Snapshot(quitCodes_); }
std::vector<FrontRequest> FakeWindowSystem::frontRequests() const { return Snapshot(frontRequests_); }
std::vector<bool> FakeWindowSystem::bringToFrontResults() const { return Snapshot(bringToFrontResults_); }

// ---------------------------------------------------------------- windows

std::intptr_t FakeWindowSystem::Send(WindowHandle window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam) {
  WindowClass target{};
  {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end() || !found->second.alive) return 0;
    target = classes_.at(found->second.classKey);
  }
  return target.procedure(target.context, window, message, wParam, lParam);
}

bool FakeWindowSystem::RegisterWindowClass(const char* className, WindowProc procedure,
                                           void* context) {
  Gate();
  if (faults_.ShouldFail(WindowCall::RegisterWindowClass) || className == nullptr ||
      procedure == nullptr) {
    return false;
  }
  std::lock_guard lock(mutex_);
  return classes_.emplace(FoldCase(className), WindowClass{procedure, context}).second;
}

WindowHandle FakeWindowSystem::CreateMainWindow(const char* className, const char* title) {
  Gate();
  if (faults_.ShouldFail(WindowCall::CreateMainWindow) || className == nullptr) return 0;
  std::string classKey = FoldCase(className);
  WindowHandle window = desktop_.NewWindowHandle();
  {
    std::lock_guard lock(mutex_);
    if (classes_.count(classKey) == 0) return 0;
    windows_[window] = Window{classKey, true};
    if (mainWindow_ == 0) mainWindow_ = window;
    titleChanges_.push_back(TitleChange{window, title != nullptr ? title : "", false});
  }
  if (Send(window, WM_CREATE, 0, 0) == -1) {
    std::lock_guard lock(mutex_);
    windows_[window].alive = false;
    if (mainWindow_ == window) mainWindow_ = 0;
    return 0;
  }
  desktop_.AddMainWindow(this, window, className);
  return window;
}

void FakeWindowSystem::ShowWindow(WindowHandle window, int command) {
  Gate();
  std::lock_guard lock(mutex_);
  int itemId = 0;
  for (const OpenDialog& dialog : openDialogs_) {
    for (const auto& [id, item] : dialog.items) {
      if (item == window) itemId = id;
    }
  }
  if (window == mainWindow_ && command == SW_RESTORE) minimised_ = false;
  showCalls_.push_back(ShowWindowCall{window, command, itemId});
}

void FakeWindowSystem::UpdateWindow(WindowHandle window) {
  Gate();
  std::lock_guard lock(mutex_);
  updateCalls_.push_back(window);
}

bool FakeWindowSystem::SetWindowText(WindowHandle window, const char* text) {
  Gate();
  if (text == nullptr || !IsWindow(window)) return false;
  if (queue_.IsOwnerThread()) {
    return Send(window, WM_SETTEXT, 0, reinterpret_cast<std::intptr_t>(text)) != 0;
  }
  std::string copy = text;
  bool changed = false;
  bool hold = false;
  bool ran = queue_.Call(window, [&] {
    applyingForOtherThread_ = true;
    holdOtherThread_ = false;
    changed = Send(window, WM_SETTEXT, 0, reinterpret_cast<std::intptr_t>(copy.c_str())) != 0;
    hold = holdOtherThread_;
    applyingForOtherThread_ = false;
  });
  if (hold) process_.HoldUntilEnd();
  Gate();
  return ran && changed;
}

void FakeWindowSystem::ApplyTitle(WindowHandle window, const char* text) {
  bool close = false;
  {
    std::lock_guard lock(mutex_);
    titleChanges_.push_back(TitleChange{window, text, applyingForOtherThread_});
    if (window == mainWindow_ && closeAfterTitles_ > 0 && --closeAfterTitles_ == 0) {
      close = true;
      holdOtherThread_ = applyingForOtherThread_;
    }
  }
  if (close) RequestClose();
}

int FakeWindowSystem::MessageBox(WindowHandle owner, const char* text, const char* caption,
                                 std::uint32_t flags) {
  Gate();
  MessageBoxRecord record{owner, text != nullptr ? text : "", caption != nullptr ? caption : "",
                          flags, process_.OnMainThread()};
  WindowHandle box = desktop_.NewWindowHandle();
  std::function<void(const MessageBoxRecord&)> hook;
  {
    std::lock_guard lock(mutex_);
    messageBoxes_.push_back(record);
    popups_.push_back(Popup{PopupKind::MessageBox, box});
    hook = messageBoxHook_;
  }
  if (hook) hook(record);
  {
    std::lock_guard lock(mutex_);
    std::erase_if(popups_, [&](const Popup& popup) { return popup.window == box; });
  }
  Gate();
  return IDOK;
}

// ---------------------------------------------------------------- dialogs

FakeWindowSystem::OpenDialog* FakeWindowSystem::FindOpenDialog(WindowHandle dialog) {
  for (OpenDialog& open : openDialogs_) {
    if (dialogs_[open.record].dialog == dialog) return &open;
  }
  return nullptr;
}

std::intptr_t FakeWindowSystem::DialogBox(int dialogId, WindowHandle owner, DialogProc procedure,
                                          void* context) {
  Gate();
  DialogScript script;
  script.Start();
  WindowHandle dialog = 0;
  std::size_t record = 0;
  const DialogTemplate* resource = FindTemplate(dialogId);
  {
    std::lock_guard lock(mutex_);
    if (!scripts_.empty()) {
      script = std::move(scripts_.front());
      scripts_.erase(scripts_.begin());
    }
    record = dialogs_.size();
    dialogs_.push_back(DialogRecord{dialogId, owner, 0, {}, false, -1});
  }
  if (faults_.ShouldFail(WindowCall::DialogBox) || script.cannotShow || resource == nullptr ||
      procedure == nullptr) {
    return -1;
  }
  dialog = desktop_.NewWindowHandle();
  WindowHandle firstTabStop = 0;
  {
    std::lock_guard lock(mutex_);
    dialogs_[record].dialog = dialog;
    OpenDialog open{record, {}};
    for (int index = 0; index < resource->controlCount; ++index) {
      const DialogControl& control = resource->controls[index];
      WindowHandle item = desktop_.NewWindowHandle();
      open.items[control.id] = item;
      if (firstTabStop == 0 && (control.style & WS_TABSTOP) != 0) firstTabStop = item;
    }
    openDialogs_.push_back(std::move(open));
    popups_.push_back(Popup{PopupKind::Dialog, dialog});
  }
  auto deliver = [&](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    bool handled = procedure(context, dialog, message, wParam, lParam);
    std::lock_guard lock(mutex_);
    dialogs_[record].messages.push_back(DialogMessage{message, wParam, lParam, handled});
    return dialogs_[record].ended;
  };
  bool ended = deliver(WM_INITDIALOG, firstTabStop, 0);
  for (const DialogScript::Step& step : script.steps) {
    if (ended) break;
    if (step.action) {
      step.action();
      std::lock_guard lock(mutex_);
      ended = dialogs_[record].ended;
    } else {
      ended = deliver(step.message.message, step.message.wParam, step.message.lParam);
    }
  }
  std::lock_guard lock(mutex_);
  std::erase_if(popups_, [&](const Popup& popup) { return popup.window == dialog; });
  std::erase_if(openDialogs_, [&](const OpenDialog& open) { return open.record == record; });
  // A script that runs out before EndDialog leaves the dialog abandoned.
  return ended ? dialogs_[record].result : 0;
}

void FakeWindowSystem::EndDialog(WindowHandle dialog, std::intptr_t result) {
  Gate();
  std::lock_guard lock(mutex_);
  OpenDialog* open = FindOpenDialog(dialog);
  if (open == nullptr || dialogs_[open->record].ended) return;
  dialogs_[open->record].ended = true;
  dialogs_[open->record].result = result;
}

WindowHandle FakeWindowSystem::GetDialogItem(WindowHandle dialog, int id) {
  Gate();
  std::lock_guard lock(mutex_);
  OpenDialog* open = FindOpenDialog(dialog);
  if (open == nullptr) return 0;
  auto item = open->items.find(id);
  return item == open->items.end() ? 0 : item->second;
}

// ----------------------------------------------------------- message loop

bool FakeWindowSystem::PeekMessage(Message* message) {
  Gate();
  if (!queue_.IsOwnerThread() || message == nullptr) return false;
  bool close = false;
  {
    std::lock_guard lock(mutex_);
    if (closeTick_ && static_cast<std::int32_t>(process_.Tick() - *closeTick_) >= 0) {
      closeTick_.reset();
      close = true;
    }
  }
  if (close) RequestClose();
  return queue_.Peek(message);
}

void FakeWindowSystem::TranslateMessage(const Message&) { Gate(); }

std::intptr_t FakeWindowSystem::DispatchMessage(const Message& message) {
  Gate();
  {
    std::lock_guard lock(mutex_);
    dispatched_.push_back(message);
  }
  if (message.message == WM_QUIT) return 0;
  return Send(message.window, message.message, message.wParam, message.lParam);
}

void FakeWindowSystem::PostQuitMessage(int exitCode) {
  Gate();
  {
    std::lock_guard lock(mutex_);
    quitCodes_.push_back(exitCode);
  }
  queue_.PostQuit(exitCode);
}

std::intptr_t FakeWindowSystem::DefWindowProc(WindowHandle window, std::uint32_t message,
                                              std::uintptr_t wParam, std::intptr_t lParam) {
  Gate();
  {
    std::lock_guard lock(mutex_);
    defaultProcessed_.push_back(Message{window, message, wParam, lParam});
  }
  if (!IsWindow(window)) return 0;
  switch (message) {
    case WM_CLOSE:
      DestroyMainWindow(window);
      return 0;
    case WM_SETTEXT:
      ApplyTitle(window, reinterpret_cast<const char*>(lParam));
      return 1;
    default:
      return 0;
  }
}

void FakeWindowSystem::DestroyMainWindow(WindowHandle window) {
  // Calls waiting for the window fail from here on; the procedure still
  // gets WM_DESTROY while the window exists.
  queue_.ForgetWindow(window);
  desktop_.RemoveMainWindow(window);
  Send(window, WM_DESTROY, 0, 0);
  std::lock_guard lock(mutex_);
  windows_[window].alive = false;
}

// ---------------------------------------------------------- other copies

bool FakeWindowSystem::BringOtherInstanceToFront(const char* className) {
  Gate();
  bool found = className != nullptr && desktop_.BringToFront(className);
  std::lock_guard lock(mutex_);
  bringToFrontResults_.push_back(found);
  return found;
}

void FakeWindowSystem::ComeToFront(WindowHandle window) {
  std::lock_guard lock(mutex_);
  FrontRequest request{minimised_ && window == mainWindow_, PopupKind::Window, window};
  if (request.restored) minimised_ = false;
  if (!popups_.empty()) {
    request.popup = popups_.back().kind;
    request.foreground = popups_.back().window;
  }
  frontRequests_.push_back(request);
}

}  // namespace pache
