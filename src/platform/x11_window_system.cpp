#include "platform/x11_window_system.h"

#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <sys/eventfd.h>
#include <system_error>
#include <utility>

#include "platform/x11_window_ui.h"

namespace melvox::platform {
namespace {

// Runs one step of the UI thread's loop; false when it threw. An exception a message handler throws
// would end the process if it left the thread; it is dropped there, and the loop goes on.
template <typename Step>
bool Guarded(Step step) {
  try {
    step();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

// Any thread calls Shared(); mutex guards system. Destroyed at process exit by the exiting thread.
struct X11WindowSystem::SharedInstance {
  std::mutex mutex;
  std::shared_ptr<X11WindowSystem> system;
  // At process exit: the UI thread ends and is joined. The system itself lives on while windows still
  // hold it, with no thread and no X calls.
  ~SharedInstance() {
    if (system != nullptr) system->Stop();
  }
};

std::shared_ptr<X11WindowSystem> X11WindowSystem::Shared() {
  static SharedInstance instance;
  const std::lock_guard<std::mutex> guard(instance.mutex);
  if (instance.system != nullptr && instance.system->IsConnected()) return instance.system;
  const ScopedNoSigpipe no_sigpipe;
  int screen = 0;
  xcb_connection_t* connection = ConnectToDisplay(&screen);
  if (connection == nullptr) return nullptr;
  const int wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd < 0 || ScreenOf(connection, screen) == nullptr) {
    if (wake_fd >= 0) close(wake_fd);
    xcb_disconnect(connection);
    return nullptr;
  }
  std::shared_ptr<X11WindowSystem> system(new X11WindowSystem(connection, screen, wake_fd));
  try {
    system->Start();
  } catch (const std::system_error&) {
    return nullptr;  // no thread: the system is destroyed here, with its connection
  }
  // A system whose connection was lost is let go; whoever still holds it finds it ended.
  instance.system = system;
  return system;
}

X11WindowSystem::X11WindowSystem(xcb_connection_t* connection, int screen, int wake_fd)
    : connection_(connection), wake_fd_(wake_fd), ui_(std::make_unique<Ui>(*this, connection, screen)) {}

X11WindowSystem::~X11WindowSystem() {
  Stop();
  // The last holder may be the UI thread itself, letting go as it ends: it cannot join itself.
  if (thread_.joinable()) thread_.detach();
  ui_.reset();
  xcb_disconnect(connection_);
  close(wake_fd_);
}

void X11WindowSystem::Start() {
  auto self = std::static_pointer_cast<X11WindowSystem>(shared_from_this());
  // The thread holds the system while it runs, so the system cannot be destroyed under it.
  thread_ = std::thread([self]() mutable {
    self->Loop();
    self.reset();
  });
}

void X11WindowSystem::Stop() {
  {
    const std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  Wake();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool X11WindowSystem::IsConnected() const {
  const std::lock_guard<std::mutex> guard(lock_);
  return !ended_;
}

void X11WindowSystem::Wake() {
  const uint64_t one = 1;
  // Never blocks (non-blocking eventfd); a full counter already means "wake up".
  if (write(wake_fd_, &one, sizeof one) < 0) return;
}

void X11WindowSystem::Loop() {
  const ScopedNoSigpipe no_sigpipe;
  ui_thread_.store(std::this_thread::get_id());
  bool lost = false;
  std::vector<std::pair<HWND, RECT>> uploads;
  std::vector<HWND> follow;
  std::vector<HWND> gone;
  for (;;) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      Guarded([&] { ui_->Translate(*event); });
      std::free(event);
    }
    if (xcb_connection_has_error(connection_) != 0) {
      lost = true;
      break;
    }
    uint64_t wakes = 0;
    if (read(wake_fd_, &wakes, sizeof wakes) < 0) wakes = 0;
    std::deque<std::function<void()>> tasks;
    {
      const std::lock_guard<std::mutex> guard(lock_);
      if (stopping_) break;
      tasks.swap(tasks_);
    }
    for (auto& task : tasks) task();  // packaged: what a task throws goes to its caller
    // Messages after the one whose handler threw are still queued: another pass takes them.
    if (!Guarded([&] { DispatchMessages(); })) Wake();
    {
      const std::lock_guard<std::mutex> guard(lock_);
      follow.swap(tree_changes_);
    }
    for (const HWND window : follow) Guarded([&] { ui_->Follow(window); });
    follow.clear();
    {
      // Entries stay in changed_ (emptied), so that recording a change from a drawing thread does not
      // allocate once a window has been drawn on.
      const std::lock_guard<std::mutex> guard(lock_);
      for (auto& [window, rect] : changed_) {
        if (IsRectEmpty(rect)) continue;
        uploads.emplace_back(window, rect);
        rect = RECT{0, 0, 0, 0};
      }
    }
    // Named variables, not a structured binding: C++17 lambdas cannot capture those (clang refuses).
    for (const auto& upload : uploads) {
      const HWND window = upload.first;
      const RECT& rect = upload.second;
      Guarded([&] {
        if (!ui_->Upload(window, rect) && !IsWindow(window)) gone.push_back(window);
      });
    }
    uploads.clear();
    if (!gone.empty()) {
      const std::lock_guard<std::mutex> guard(lock_);
      for (const HWND window : gone) changed_.erase(window);
      gone.clear();
    }
    xcb_flush(connection_);
    // A reply awaited above may have read events into XCB's queue, where poll() cannot see them.
    if (xcb_generic_event_t* queued = xcb_poll_for_queued_event(connection_)) {
      Guarded([&] { ui_->Translate(*queued); });
      std::free(queued);
      continue;
    }
    pollfd fds[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    poll(fds, 2, -1);
  }
  EndLoop(lost);
}

void X11WindowSystem::EndLoop(bool connection_lost) {
  // From here on the window thread is whoever holds after_end_mutex_; this thread holds it while it
  // runs the tasks still queued (they find the system ended and make no X call).
  const std::lock_guard<std::mutex> serial(after_end_mutex_);
  after_end_owner_.store(std::this_thread::get_id());
  std::deque<std::function<void()>> tasks;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    ended_ = true;
    tasks.swap(tasks_);
    tree_changes_.clear();
    changed_.clear();
  }
  for (auto& task : tasks) task();
  // The server went away with the host's windows and ours: their roots go, and every library window
  // gets WM_DESTROY. At a normal stop (process exit) nothing is sent: windows may be half gone.
  if (connection_lost) {
    for (const HWND root : ui_->Roots()) Guarded([&] { RemoveRoot(root); });
  }
  ui_thread_.store(std::thread::id());
  after_end_owner_.store(std::thread::id());
}

bool X11WindowSystem::IsWindowThread() const {
  const std::thread::id me = std::this_thread::get_id();
  return ui_thread_.load() == me || after_end_owner_.load() == me;
}

void X11WindowSystem::RunAfterEnd(const std::function<void()>& task) {
  const std::lock_guard<std::mutex> serial(after_end_mutex_);
  after_end_owner_.store(std::this_thread::get_id());
  struct Release {
    std::atomic<std::thread::id>& owner;
    ~Release() { owner.store(std::thread::id()); }
  } release{after_end_owner_};
  task();
}

void X11WindowSystem::RunOnWindowThread(const std::function<void()>& task) {
  if (IsWindowThread()) {
    task();
    return;
  }
  // The task's requests are flushed before the caller goes on, so the server gets them first.
  auto work = std::make_shared<std::packaged_task<void()>>([this, task] {
    task();
    xcb_flush(connection_);
  });
  std::future<void> done = work->get_future();
  bool queued = false;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    if (!ended_) {
      tasks_.emplace_back([work] { (*work)(); });
      queued = true;
    }
  }
  if (!queued) {
    RunAfterEnd(task);
    return;
  }
  Wake();
  done.get();  // rethrows what the task threw
}

bool X11WindowSystem::AdoptHostWindow(HWND xid) {
  if (xid == 0 || xid > 0x1FFFFFFF) return false;  // X ids have 29 bits
  bool adopted = false;
  RunOnWindowThread([&] { adopted = IsConnected() && ui_->Adopt(xid); });
  return adopted;
}

HWND X11WindowSystem::CreateTopLevel(const std::string& title, int32_t width, int32_t height, Window* window) {
  HWND made = 0;
  RunOnWindowThread([&] {
    if (IsConnected()) made = ui_->CreateTopLevel(title, width, height, window);
  });
  return made;
}

bool X11WindowSystem::SetTitle(HWND window, const std::string& title) {
  bool set = false;
  RunOnWindowThread([&] { set = IsConnected() && ui_->SetTitle(window, title); });
  return set;
}

void X11WindowSystem::OnPixelsChanged(HWND window, const RECT& rect) {
  {
    const std::lock_guard<std::mutex> guard(lock_);
    if (ended_) return;
    RECT& pending = changed_[window];
    pending = UnionRect(pending, rect);
  }
  Wake();
}

void X11WindowSystem::OnPosted() { Wake(); }

void X11WindowSystem::OnTreeChanged(HWND window) {
  const bool gone = !IsWindow(window);
  bool now = false;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    if (ended_) return;
    if (gone) changed_.erase(window);  // nothing more to put on screen
    // On the UI thread the X window follows at once, so that a host's own request on it (it maps a
    // graph window as soon as CreateGraphs returns) finds it made; the task's flush sends it first.
    now = ui_thread_.load() == std::this_thread::get_id();
    if (!now) tree_changes_.push_back(window);
  }
  if (now) {
    Guarded([&] { ui_->Follow(window); });
  } else {
    Wake();
  }
}

HWND X11WindowSystem::NewChildHandle(HWND parent) {
  if (ui_thread_.load() != std::this_thread::get_id() || !IsConnected()) return WindowSystem::NewChildHandle(parent);
  return xcb_generate_id(connection_);
}

}  // namespace melvox::platform
