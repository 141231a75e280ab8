// WindowSystem: the windows of one backend (headless surfaces, X11, a host-drawn surface) with the
// machinery they share: the window tree, each window's pixels, the message queue, invalid areas and
// painting, mouse capture and pointer routing, and composing a window with its children.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/gdi_types.h"
#include "platform/window.h"
#include "platform/window_messages.h"

namespace melvox::platform {

// The pixels of one window. A resize gives the window new pixels; canvases still drawing on the old
// ones draw where nobody looks.
struct WindowSurface {
  std::mutex mutex;  // guards pixels: every canvas operation, every read-back
  Bitmap pixels;
};

// Windows are a tree: roots are made by the backend (a headless parent, a host's X11 window, a host's
// surface); the library's windows are children, positioned in their parent's client coordinates and
// hidden until shown. A new window's pixels are white (the window background).
//
// Messages: Post queues a message from any thread; DispatchMessages, on the window thread, hands every
// queued message to its window's HandleMessage in order, then paints every visible window with an
// invalid part (WM_PAINT, after the queue, as the lowest priority). Messages for windows that no longer
// exist are dropped. Update paints one window at once. Before WM_PAINT reaches a window its invalid
// part is validated and becomes the paint canvas's PaintRect; BeginPaint sends WM_ERASEBKGND first
// when an erase was asked for, and fills the paint rectangle white when the window returns 0.
//
// Pointer input (DeliverPointer) arrives in a root's coordinates: it goes to the window holding the
// capture when there is one, else to the topmost visible window under the point (the last made among
// siblings), in that window's client coordinates.
//
// Threading: one window thread calls the operations marked so and runs every HandleMessage; the
// others may be called from any thread. One mutex guards the tree, the queue and the capture; each
// window's pixels have their own (WindowSurface). No lock is held while a window handles a message or
// while a backend hook runs, so a handler may call back into the system.
class WindowSystem : public std::enable_shared_from_this<WindowSystem> {
 public:
  virtual ~WindowSystem();
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;

  // Runs task on the window thread and returns when it is done: at once when called there (or by a
  // backend without a thread of its own, whose window thread is whoever dispatches), else by handing
  // it over and waiting. An exception the task throws reaches the caller.
  virtual void RunOnWindowThread(const std::function<void()>& task);
  // True on the window thread (always, for a backend without a thread of its own).
  virtual bool IsWindowThread() const;
  // A window of its own on the screen (a top-level window with a title), which receives WM_SIZE,
  // WM_CHAR and WM_CLOSE besides the usual messages; 0 when the backend has no screen.
  virtual HWND CreateTopLevel(const std::string& title, int32_t width, int32_t height, Window* window);
  virtual bool SetTitle(HWND window, const std::string& title);

  // Window thread.
  // Makes a hidden child of parent and tells window its handle; 0 when parent is not a window here.
  HWND CreateChild(HWND parent, const RECT& rect, int32_t control_id, Window* window);
  // Sends WM_DESTROY to the window's children (last made first) and to the window, then forgets them.
  void Destroy(HWND window);
  bool Show(HWND window, bool visible);
  // Moves and resizes a window; a new size gives it new white pixels, invalidates it whole with erase
  // and sends WM_SIZE.
  bool Move(HWND window, const RECT& rect);
  RECT ClientRect(HWND window) const;
  RECT WindowRect(HWND window) const;  // in the parent's client coordinates
  int32_t ControlId(HWND window) const;
  HWND Parent(HWND window) const;                 // 0 for a root or an unknown window
  std::vector<HWND> Children(HWND window) const;  // in the order made
  bool IsVisible(HWND window) const;
  // Sends a message to a window at once (window thread); 0 for an unknown window.
  LRESULT SendMessage(HWND window, uint32_t message, WPARAM wparam, LPARAM lparam);
  bool Update(HWND window);
  std::unique_ptr<WindowCanvas> BeginPaint(HWND window);
  void SetCapture(HWND window);
  void ReleaseCapture();
  HWND GetCapture() const;
  // Dispatches every queued message, then paints; returns the number of messages handled.
  int DispatchMessages();
  // Waits until a message is queued or timeout_ms passed; true when one is queued.
  bool WaitForMessages(int64_t timeout_ms);
  // A pointer message at (x, y) in root's client coordinates, routed as described above.
  void DeliverPointer(HWND root, uint32_t message, int32_t x, int32_t y);

  // Any thread.
  bool IsWindow(HWND window) const;
  bool Post(HWND window, uint32_t message, WPARAM wparam, LPARAM lparam);
  bool Invalidate(HWND window, const RECT* rect, bool erase);
  std::unique_ptr<WindowCanvas> GetDC(HWND window);
  // A copy of a window's own pixels (0 x 0 when there is no such window).
  Bitmap ReadPixels(HWND window) const;
  // A window's pixels with its visible children (and theirs) drawn over them where they lie; the
  // second form only the part given (client coordinates, clipped to the window).
  Bitmap Compose(HWND window) const;
  Bitmap Compose(HWND window, const RECT& part) const;
  // Calls visit with the window's pixels while holding their lock; false for an unknown window.
  bool VisitPixels(HWND window, const std::function<void(const Bitmap&)>& visit) const;

 protected:
  WindowSystem() = default;

  // Makes a root window of the given size (white). handle 0 takes a new library handle; a window object
  // (a top-level window of the backend's) receives the root's messages. 0 when handle is a window
  // already.
  HWND AddRoot(int32_t width, int32_t height, HWND handle = 0, Window* window = nullptr);
  // Gives a root a new size (new white pixels, children kept); a root with a window gets WM_SIZE.
  bool ResizeRoot(HWND root, int32_t width, int32_t height);
  // Forgets a root that went away (a host's window destroyed): its children get WM_DESTROY first.
  void RemoveRoot(HWND root) { Destroy(root); }

  // Hooks for backends that show pixels somewhere or run their own window thread. They run without
  // the system's lock; OnPixelsChanged and OnPosted on any thread.
  virtual void OnPixelsChanged(HWND window, const RECT& rect);
  virtual void OnPosted();
  virtual void OnTreeChanged(HWND window);  // made, destroyed, moved, shown or hidden
  // The handle of a new child of parent: by default a new library handle (2^32 and up); a backend
  // whose host addresses the windows itself gives its own (X11: the X window id). Window thread.
  virtual HWND NewChildHandle(HWND parent);

 private:
  struct Node {
    HWND parent = 0;
    RECT rect{0, 0, 0, 0};  // in the parent's client coordinates (roots: 0, 0, width, height)
    int32_t control_id = 0;
    bool visible = false;
    Window* window = nullptr;  // null for roots
    std::shared_ptr<WindowSurface> surface;
    RECT invalid{0, 0, 0, 0};
    bool erase = false;
    RECT painting{0, 0, 0, 0};  // the part the WM_PAINT being handled covers
    bool painting_erase = false;
    std::vector<HWND> children;  // in the order made
  };
  struct Message {
    HWND window;
    uint32_t message;
    WPARAM wparam;
    LPARAM lparam;
  };

  LRESULT Send(HWND window, uint32_t message, WPARAM wparam, LPARAM lparam);
  // Sends WM_PAINT when the window is visible and has an invalid part; the caller holds no lock.
  bool PaintIfInvalid(HWND window);
  // The handle of a visible window that needs painting, 0 when none.
  HWND NextToPaint() const;
  std::unique_ptr<WindowCanvas> CanvasOn(HWND window, bool batch, const RECT& paint_rect);
  // Offset of a window's client area in its root, and the root; the lock is held.
  POINT OriginInRoot(HWND window, HWND* root) const;
  HWND HitTest(HWND window, int32_t x, int32_t y) const;  // x, y in window's client coordinates
  void ComposeInto(HWND window, Bitmap& target, int32_t x, int32_t y) const;
  void Forget(HWND window);

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::map<HWND, Node> nodes_;
  std::deque<Message> queue_;
  HWND capture_ = 0;
  bool left_down_ = false;  // window thread only: between a delivered press and its release
};

// The window system that holds a window (by its handle), or null. Systems register themselves when
// they make their first window and are found as long as somebody holds them.
std::shared_ptr<WindowSystem> WindowSystemOf(HWND window);

}  // namespace melvox::platform
