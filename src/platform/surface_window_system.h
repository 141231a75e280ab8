// The surface backend: the library's windows composed into pixels that a host draws itself (a GTK4 or
// Qt application on Wayland, a toolkit on X11 that paints everything), with a window thread of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/headless_window_system.h"

namespace melvox::platform {

// One root, the surface, whose pixels, with the visible windows in it, are kept composed as 32-bit
// premultiplied native-endian ARGB (0xAARRGGBB in a uint32_t, alpha 255): the format cairo
// (CAIRO_FORMAT_ARGB32) and Qt (QImage::Format_ARGB32_Premultiplied) draw without converting. After
// every change (a paint, a play-cursor line, a window shown, moved or gone, a resize) the window thread
// composes the changed rectangle and tells the host which one it was; the host copies the pixels on
// its own thread. Pointer input the host forwards is handed to the window thread without waiting.
//
// Threading: the window thread (its own) composes, calls the changed function and runs every window's
// messages. CopyPixels, the pointer, Resize, ShowChild and MoveChild may be called from any thread;
// the last three wait for the window thread. pending_mutex_ guards the rectangle waiting to be
// composed; argb_mutex_ the composed pixels; neither is held while the changed function runs.
class SurfaceWindowSystem final : public HeadlessWindowSystem {
 public:
  using Changed = std::function<void(const RECT& rect)>;

  // A surface of width x height pixels (each 1 .. 16384; std::invalid_argument otherwise); changed
  // (may be empty) is called on the window thread with each changed rectangle.
  static std::shared_ptr<SurfaceWindowSystem> Make(int32_t width, int32_t height, Changed changed);
  ~SurfaceWindowSystem() override;

  HWND Surface() const { return root_; }
  int32_t Width() const;
  int32_t Height() const;
  // Copies the composed pixels of rect (clipped to the surface) to dest, whose rows are stride bytes
  // apart and whose first pixel is the rectangle's top left.
  void CopyPixels(const RECT& rect, uint32_t* dest, int32_t stride) const;
  // A pointer event at (x, y) of the surface: WM_LBUTTONDOWN, WM_MOUSEMOVE or WM_LBUTTONUP.
  void Pointer(uint32_t message, int32_t x, int32_t y);
  void Resize(int32_t width, int32_t height);
  bool ShowChild(HWND window, bool visible);
  bool MoveChild(HWND window, const RECT& rect);
  // Destroys every window in the surface (each gets WM_DESTROY); the surface stays, empty and white.
  void Clear();

 protected:
  void OnPixelsChanged(HWND window, const RECT& rect) override;
  void OnTreeChanged(HWND window) override;
  void AfterDispatch() override;

 private:
  explicit SurfaceWindowSystem(Changed changed) : changed_(std::move(changed)) {}
  void AddPending(const RECT& rect);

  Changed changed_;
  HWND root_ = 0;
  mutable std::mutex pending_mutex_;
  RECT pending_{0, 0, 0, 0};
  mutable std::mutex argb_mutex_;
  std::vector<uint32_t> argb_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace melvox::platform
