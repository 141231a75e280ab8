#include "platform/window_tasks.h"

#include <exception>

namespace melvox::platform {

void WindowTasks::Hand(const std::function<void()>& task, const std::function<void()>& wake) {
  std::future<void> done;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (!closed_) {
      queue_.push_back(Task{task, std::make_shared<std::promise<void>>()});
      done = queue_.back().done->get_future();
    }
  }
  if (!done.valid()) {  // the window thread has ended
    task();
    return;
  }
  wake();
  done.get();
}

void WindowTasks::Post(std::function<void()> task, const std::function<void()>& wake) {
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (closed_) return;  // no window thread any more: nothing to do it for
    queue_.push_back(Task{std::move(task), nullptr});
  }
  wake();
}

bool WindowTasks::RunPending() {
  bool ran = false;
  for (;;) {
    Task task;
    {
      const std::lock_guard<std::mutex> guard(mutex_);
      if (queue_.empty()) return ran;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    try {
      task.body();
      if (task.done) task.done->set_value();
    } catch (...) {
      if (task.done) task.done->set_exception(std::current_exception());
    }
    ran = true;
  }
}

void WindowTasks::Close() {
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    closed_ = true;
  }
  RunPending();
}

bool WindowTasks::HasPending() const {
  const std::lock_guard<std::mutex> guard(mutex_);
  return !queue_.empty();
}

}  // namespace melvox::platform
