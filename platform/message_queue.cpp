#include "platform/message_queue.h"

#include <utility>

namespace pache {

struct MessageQueue::PendingCall {
  enum class State { Waiting, Running, Done, Failed };
  WindowHandle window = 0;
  std::function<void()> work;
  State state = State::Waiting;
};

MessageQueue::MessageQueue() : owner_(std::this_thread::get_id()) {}

MessageQueue::~MessageQueue() { Shutdown(); }

bool MessageQueue::IsOwnerThread() const { return std::this_thread::get_id() == owner_; }

void MessageQueue::Post(const Message& message) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(message);
  }
  Wake();
}

void MessageQueue::PostQuit(int exitCode) {
  {
    std::lock_guard lock(mutex_);
    quitPending_ = true;
    quitCode_ = exitCode;
  }
  Wake();
}

bool MessageQueue::RunCalls() {
  if (!IsOwnerThread()) return false;
  bool ran = false;
  std::shared_ptr<PendingCall> call;
  while (TakeCall(call)) {
    call->work();
    std::lock_guard lock(mutex_);
    call->state = PendingCall::State::Done;
    callDone_.notify_all();
    ran = true;
  }
  return ran;
}

bool MessageQueue::Peek(Message* message) {
  if (!IsOwnerThread()) return false;
  RunCalls();
  std::lock_guard lock(mutex_);
  if (!posted_.empty()) {
    *message = posted_.front();
    posted_.pop_front();
    return true;
  }
  if (quitPending_) {
    quitPending_ = false;
    *message = Message{0, WM_QUIT, static_cast<std::uintptr_t>(quitCode_), 0};
    return true;
  }
  return false;
}

// Takes the first waiting call that may still run, failing those whose
// window is gone on the way.
bool MessageQueue::TakeCall(std::shared_ptr<PendingCall>& call) {
  std::lock_guard lock(mutex_);
  while (!calls_.empty()) {
    call = std::move(calls_.front());
    calls_.pop_front();
    if (forgotten_.count(call->window) == 0) {
      call->state = PendingCall::State::Running;
      return true;
    }
    FailCall(*call);
  }
  return false;
}

bool MessageQueue::Call(WindowHandle window, std::function<void()> work) {
  if (IsOwnerThread()) {
    {
      std::lock_guard lock(mutex_);
      if (forgotten_.count(window) != 0) return false;
    }
    work();
    return true;
  }
  auto call = std::make_shared<PendingCall>();
  call->window = window;
  call->work = std::move(work);
  {
    std::lock_guard lock(mutex_);
    if (shutDown_ || forgotten_.count(window) != 0) return false;
    calls_.push_back(call);
  }
  Wake();
  std::unique_lock lock(mutex_);
  // A call the owner has taken always completes: the caller's `work` may
  // refer to its stack, so it never returns while the owner runs it.
  callDone_.wait(lock, [&] {
    return call->state == PendingCall::State::Done || call->state == PendingCall::State::Failed;
  });
  return call->state == PendingCall::State::Done;
}

void MessageQueue::FailCall(PendingCall& call) {
  call.state = PendingCall::State::Failed;
  callDone_.notify_all();
}

void MessageQueue::ForgetWindow(WindowHandle window) {
  std::lock_guard lock(mutex_);
  forgotten_.insert(window);
  for (auto it = calls_.begin(); it != calls_.end();) {
    if ((*it)->window == window) {
      FailCall(**it);
      it = calls_.erase(it);
    } else {
      ++it;
    }
  }
}

void MessageQueue::Shutdown() {
  std::lock_guard lock(mutex_);
  shutDown_ = true;
  for (auto& call : calls_) FailCall(*call);
  calls_.clear();
}

std::size_t MessageQueue::WaitingCalls() const {
  std::lock_guard lock(mutex_);
  return calls_.size();
}

void MessageQueue::SetWakeup(std::function<void()> wakeup) {
  std::lock_guard lock(mutex_);
  wakeup_ = std::move(wakeup);
}

void MessageQueue::Wake() {
  std::function<void()> wakeup;
  {
    std::lock_guard lock(mutex_);
    wakeup = wakeup_;
  }
  if (wakeup) wakeup();
}

}  // namespace pache
