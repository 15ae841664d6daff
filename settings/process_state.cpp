#include "settings/process_state.h"

namespace nusk {

void CancelEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    set_ = true;
  }
  cv_.notify_all();
}

bool CancelEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(mu_);
  return set_;
}

bool CancelEvent::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mu_);
  return cv_.wait_for(lock, timeout, [this] { return set_; });
}

ProcessState& Process() {
  static ProcessState state;
  return state;
}

namespace {

// Guards the event pointer and the hook, which different threads replace and read.
struct Shared {
  std::mutex mu;
  std::shared_ptr<CancelEvent> event;
  std::function<void()> hook;
  std::mutex index_mu;
};

Shared& State() {
  static Shared* shared = new Shared;  // never destroyed: the handler thread may outlive main
  return *shared;
}

}  // namespace

std::shared_ptr<CancelEvent> NewCancelEvent() {
  auto event = std::make_shared<CancelEvent>();
  std::lock_guard<std::mutex> lock(State().mu);
  State().event = event;
  return event;
}

std::shared_ptr<CancelEvent> CurrentCancelEvent() {
  std::lock_guard<std::mutex> lock(State().mu);
  return State().event;
}

void SignalCancelEvent() {
  if (auto event = CurrentCancelEvent()) event->Set();
}

void SetCancelCommitHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(State().mu);
  State().hook = std::move(hook);
}

std::mutex& IndexMutex() { return State().index_mu; }

bool RunCancelCommitHook() {
  std::lock_guard<std::mutex> index_lock(IndexMutex());
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(State().mu);
    hook = State().hook;
  }
  if (!hook) return false;
  hook();
  return true;
}

}  // namespace nusk
