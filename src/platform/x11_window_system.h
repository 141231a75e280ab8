// The X11 window backend: the library's windows shown as X windows through its own XCB connection,
// inside a host's window (given by its X window id) or as top-level windows of their own.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/window_system.h"

struct xcb_connection_t;

namespace melvox::platform {

// One connection to the display and one window thread (the UI thread) for all the library's windows
// on it. The UI thread loops: it translates the X events (Expose, the left button, keys of top-level
// windows, host windows resized or destroyed, close requests), runs the tasks other threads hand over,
// dispatches the queued messages and paints, makes the X windows follow the window tree, puts changed
// pixels on screen (PutImage), flushes, and sleeps in poll() on the connection and an eventfd. Every
// X request is made by that thread, except those of the opening (atoms, keyboard mapping) in Shared.
//
// Threading:
//  - UI thread: every HandleMessage, the tree operations of WindowSystem, the tasks of
//    RunOnWindowThread, and all X requests.
//  - Any thread: Shared, AdoptHostWindow, CreateTopLevel, SetTitle and RunOnWindowThread (which hand
//    their work to the UI thread and wait for it, or run it at once on the UI thread); Post,
//    Invalidate, GetDC and drawing on it, which only record what changed and write the eventfd: they
//    never wait for the UI thread.
//  - lock_ guards the work handed to the UI thread (tasks_, tree_changes_, changed_) and the flags
//    stopping_ and ended_; it is never held while a task, a message handler or an X request runs. The
//    X-side state (ui_) belongs to the UI thread alone.
//  - Once the UI thread has ended (the server went away, or the process exits), its place is taken by
//    whichever thread holds after_end_mutex_: RunOnWindowThread runs its task at once under that
//    mutex, so window-thread work stays serialised, and nothing touches X any more.
class X11WindowSystem : public WindowSystem {
 public:
  // The process's one X11 system: connects on first use to the display libxcb picks (DISPLAY) and
  // starts the UI thread. Null when no display opens; a later call tries again (with no DISPLAY that
  // fails at once, without any I/O). A system whose connection was lost is replaced by a new one on
  // the next call. At process exit the UI thread is stopped and joined (a server that went away does
  // not hold it up).
  static std::shared_ptr<X11WindowSystem> Shared();
  ~X11WindowSystem() override;

  // Makes the host's window xid (a window of this display) a root for the library's windows, which
  // follows its size and goes away with it. False for an id that is no InputOutput window of this
  // display (BadWindow), for one of the library's own child windows, and once the connection is lost.
  // Adopting a root again is harmless (true). Any thread; waits for the UI thread.
  bool AdoptHostWindow(HWND xid);
  // False once the UI thread has ended: the server went away or the system was stopped.
  bool IsConnected() const;

  // At once when called on the UI thread; otherwise the task is handed to the UI thread and the caller
  // waits for it to finish, and gets the exception it threw. Once the UI thread has ended, the task
  // runs on the caller's thread, under after_end_mutex_.
  void RunOnWindowThread(const std::function<void()>& task) override;
  bool IsWindowThread() const override;
  // A top-level X window on the default screen with the title (UTF-8), of width x height pixels
  // (each 1 .. 16384), with a library handle; window receives its messages: WM_SIZE when the
  // user resizes it, WM_CHAR for each key typed (Latin-1), WM_CLOSE when the window manager's close
  // button is pressed (the window decides whether to go), WM_DESTROY when it is destroyed by anyone.
  // 0 once the connection is lost. Any thread; waits for the UI thread.
  HWND CreateTopLevel(const std::string& title, int32_t width, int32_t height, Window* window) override;
  bool SetTitle(HWND window, const std::string& title) override;

 protected:
  void OnPixelsChanged(HWND window, const RECT& rect) override;
  void OnPosted() override;
  void OnTreeChanged(HWND window) override;
  // A child's handle is the id of its X window, so a host maps, moves and resizes it with its own X
  // calls (the backend follows: see Ui::Translate).
  HWND NewChildHandle(HWND parent) override;

 private:
  class Ui;               // the UI thread's X-side state and event translation (x11_window_system.cpp)
  struct SharedInstance;  // holds the system Shared() returns and stops it at exit

  X11WindowSystem(xcb_connection_t* connection, int screen, int wake_fd);
  void Start();
  // Asks the UI thread to end and waits for it (not when called on it).
  void Stop();
  void Loop();
  void EndLoop(bool connection_lost);
  void Wake();
  void RunAfterEnd(const std::function<void()>& task);

  xcb_connection_t* const connection_;
  const int wake_fd_;  // eventfd: written by any thread, read by the UI thread
  std::unique_ptr<Ui> ui_;
  std::thread thread_;
  std::atomic<std::thread::id> ui_thread_{};

  mutable std::mutex lock_;
  std::deque<std::function<void()>> tasks_;
  std::vector<HWND> tree_changes_;
  std::map<HWND, RECT> changed_;  // pixels to put on screen, per window
  bool stopping_ = false;
  bool ended_ = false;

  std::mutex after_end_mutex_;
  std::atomic<std::thread::id> after_end_owner_{};
};

}  // namespace melvox::platform
