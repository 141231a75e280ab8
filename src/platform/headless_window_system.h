// The headless window backend: windows are in-memory pixels composed into their parent. Tests,
// `melvox graph` and graphs whose host gives no window of a display use it.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/window_system.h"
#include "platform/window_tasks.h"

namespace melvox::platform {

// Pixels are shown nowhere: read them back with ReadPixels or Compose. Pointer input comes from
// DeliverPointer, as a test or a host forwards it.
//
// Threading: made without a thread of its own, whoever calls DispatchMessages is the window thread (a
// test's thread, the command-line tool's) and RunOnWindowThread runs its task at once. Made with one,
// that thread waits for posts, invalidations and handed tasks and dispatches them; RunOnWindowThread
// from another thread hands the task over and waits. Its own mutex and condition variable guard only
// the wake-up flag; the thread ends when the system is destroyed.
class HeadlessWindowSystem : public WindowSystem {
 public:
  static std::shared_ptr<HeadlessWindowSystem> Make(bool own_thread = false);
  ~HeadlessWindowSystem() override;

  // A parent for the library's windows: a root of the given size, white, that handles no messages.
  HWND CreateParent(int32_t width, int32_t height);
  bool ResizeParent(HWND parent, int32_t width, int32_t height) { return ResizeRoot(parent, width, height); }

  void RunOnWindowThread(const std::function<void()>& task) override;
  bool IsWindowThread() const override;

 protected:
  HeadlessWindowSystem() = default;
  void OnPosted() override { Wake(); }
  // With a thread of its own: hands task to it without waiting (at once on the window thread).
  void PostToWindowThread(std::function<void()> task);
  // Runs on the window thread after each pass of handed tasks and dispatched messages.
  virtual void AfterDispatch() {}
  void Wake();
  // Starts the window thread (Make does so when asked for one); StopThread ends it (a derived class
  // calls it in its destructor, before its own part is gone).
  void StartThread();
  void StopThread();

 private:
  void Loop();

  std::mutex wake_mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  bool stopping_ = false;
  WindowTasks tasks_;
  std::thread thread_;  // not joinable without a thread of its own
};

}  // namespace melvox::platform
