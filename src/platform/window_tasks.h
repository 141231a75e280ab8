// WindowTasks: work that other threads hand to a window thread and wait for.
#pragma once

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

namespace melvox::platform {

// A queue of tasks for one window thread. A caller on another thread queues a task, wakes the window
// thread and waits until it ran there; an exception the task throws reaches the caller.
//
// Threading: Hand from any thread but the window thread; RunPending on the window thread; Close once,
// when the window thread has ended (tasks handed afterwards run on their caller's thread, since no
// window thread is left to run them). One mutex guards the queue; no task runs under it.
class WindowTasks {
 public:
  // Queues task, calls wake (which makes the window thread call RunPending) and waits for the task.
  void Hand(const std::function<void()>& task, const std::function<void()>& wake);
  // Queues task and calls wake without waiting; what the task throws is dropped.
  void Post(std::function<void()> task, const std::function<void()>& wake);
  // Runs the tasks queued so far, in order; true when there were any.
  bool RunPending();
  // No window thread any more: runs what is queued here and every later task on its caller's thread.
  void Close();
  bool HasPending() const;

 private:
  struct Task {
    std::function<void()> body;
    std::shared_ptr<std::promise<void>> done;  // null for a posted task
  };

  mutable std::mutex mutex_;
  std::deque<Task> queue_;
  bool closed_ = false;
};

}  // namespace melvox::platform
