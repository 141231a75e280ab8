#include "platform/headless_window_system.h"

namespace melvox::platform {

std::shared_ptr<HeadlessWindowSystem> HeadlessWindowSystem::Make(bool own_thread) {
  std::shared_ptr<HeadlessWindowSystem> system(new HeadlessWindowSystem);
  if (own_thread) system->StartThread();
  return system;
}

void HeadlessWindowSystem::StartThread() {
  thread_ = std::thread([this] { Loop(); });
}

void HeadlessWindowSystem::PostToWindowThread(std::function<void()> task) {
  if (IsWindowThread()) {
    task();
    return;
  }
  tasks_.Post(std::move(task), [this] { Wake(); });
}

HeadlessWindowSystem::~HeadlessWindowSystem() { StopThread(); }

void HeadlessWindowSystem::StopThread() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> guard(wake_mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // the last holder let go on the window thread itself: it ends on its own
  } else {
    thread_.join();
  }
  tasks_.Close();
}

HWND HeadlessWindowSystem::CreateParent(int32_t width, int32_t height) { return AddRoot(width, height); }

void HeadlessWindowSystem::Wake() {
  {
    const std::lock_guard<std::mutex> guard(wake_mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

void HeadlessWindowSystem::Loop() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(wake_mutex_);
      wake_.wait(lock, [this] { return woken_ || stopping_; });
      if (stopping_) return;
      woken_ = false;
    }
    tasks_.RunPending();
    DispatchMessages();
    AfterDispatch();
  }
}

void HeadlessWindowSystem::RunOnWindowThread(const std::function<void()>& task) {
  if (IsWindowThread()) {
    task();
    return;
  }
  tasks_.Hand(task, [this] { Wake(); });
}

bool HeadlessWindowSystem::IsWindowThread() const {
  return !thread_.joinable() || thread_.get_id() == std::this_thread::get_id();
}

}  // namespace melvox::platform
