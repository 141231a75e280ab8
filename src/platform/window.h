// Window: the base of the library's windows (the graph windows). It holds the window handle and
// receives the window's messages; its helpers reach the window system that made the window.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "platform/canvas.h"
#include "platform/gdi_types.h"
#include "platform/window_messages.h"

namespace melvox::platform {

class WindowSystem;
struct WindowSurface;

// A canvas on the pixels of a window: a window canvas (GetDC) draws the play cursor from the playback
// engine's thread, a paint canvas (BeginPaint) is what WM_PAINT draws with. Every drawing operation
// locks the window's pixels for its own duration only, so the window thread may paint between two
// operations of another thread's canvas and no lock is held between them.
//
// Threading: one canvas is used by one thread. It keeps the pixels it draws on alive, so it may outlive
// its window (what it draws then shows nowhere). A window canvas shows each change at once; a paint
// canvas shows all it changed when it is destroyed (EndPaint).
class WindowCanvas {
 public:
  using Present = std::function<void(const RECT&)>;
  // present (may be empty) shows a changed rectangle of the window; batch collects the changes and
  // shows their bounding rectangle on destruction instead of after each operation.
  WindowCanvas(std::shared_ptr<WindowSurface> surface, Present present, bool batch, const RECT& paint_rect);
  ~WindowCanvas();
  WindowCanvas(const WindowCanvas&) = delete;
  WindowCanvas& operator=(const WindowCanvas&) = delete;

  Canvas& operator*() { return *canvas_; }
  Canvas* operator->() { return canvas_.get(); }
  // For a paint canvas, the part of the window that was invalid (the whole window after a resize); for
  // a window canvas, the whole window.
  const RECT& PaintRect() const { return paint_rect_; }

 private:
  std::shared_ptr<WindowSurface> surface_;
  Present present_;
  RECT paint_rect_;
  RECT batched_{0, 0, 0, 0};
  std::unique_ptr<Canvas> canvas_;
};

// The base of a window the library makes. A derived class handles messages in HandleMessage; the
// helpers below forward to the window system that holds the window (found from the parent's handle
// at Create).
//
// Threading: Create, the destructor and the helpers marked "window thread" run on the thread that owns
// the windows (which calls HandleMessage); Handle, IsWindow, Invalidate, Post and GetDC may be called
// from any thread, for as long as the Window object itself exists.
class Window {
 public:
  Window() = default;
  // Destroys the system window when it still exists (window thread).
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Makes the system window: a hidden child of parent at rect (parent's client coordinates) with the
  // control identifier. False when parent is not a window of a known window system, or when this
  // object already made its window.
  bool Create(HWND parent, const RECT& rect, int32_t control_id);
  // Destroys the system window (WM_DESTROY reaches this object first); window thread.
  void DestroyWindow();

  HWND Handle() const { return handle_.load(std::memory_order_acquire); }
  bool IsWindow() const;
  // Adds rect (client coordinates; null for the whole window) to the part to paint; erase asks
  // BeginPaint to erase it first. Any thread.
  bool Invalidate(const RECT* rect, bool erase);
  // Queues a message for the window thread. Any thread.
  bool Post(uint32_t message, WPARAM wparam, LPARAM lparam);
  // A canvas on the window's pixels, for drawing outside WM_PAINT; null when there is no window. Any
  // thread.
  std::unique_ptr<WindowCanvas> GetDC();

  // Window thread.
  bool Show(bool visible);
  bool Move(const RECT& rect);                 // sends WM_SIZE
  RECT ClientRect() const;                     // (0, 0, width, height); all zero without a window
  bool Update();                               // paints at once when part of the window is invalid
  std::unique_ptr<WindowCanvas> BeginPaint();  // EndPaint: destroy the canvas
  void SetCapture();
  void ReleaseCapture();
  bool HasCapture() const;

  // Handles one message; the default does nothing and returns 0 (for WM_ERASEBKGND, 0 lets BeginPaint
  // erase with the white window background).
  virtual LRESULT HandleMessage(uint32_t message, WPARAM wparam, LPARAM lparam);

 private:
  friend class WindowSystem;

  // Written by Create before the handle is published, never changed afterwards, so any thread that
  // sees a handle may use it.
  std::shared_ptr<WindowSystem> system_;
  std::atomic<HWND> handle_{0};
};

}  // namespace melvox::platform
