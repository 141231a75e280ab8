// The graph surface: graphs drawn by the host itself, for hosts that cannot give an X window (GTK4 or
// Qt on Wayland) or would rather paint the pixels than hold a foreign child window.
#pragma once

#include <cstdint>

#include "melvox/export.h"
#include "melvox/graphic_manager.h"

namespace melvox {

// Implemented by the host and handed to CreateGraphSurface; never owned by the library.
// Threading: called on the library's window thread of the surface, never on the host's; it should
// only note the rectangle and ask the host's own thread to draw (g_idle_add, QMetaObject::invokeMethod
// with a queued connection), and must not wait for the host's thread.
class MELVOX_API IGraphSurfaceListener {
 public:
  // The pixels of the rectangle (left, top inclusive; right, bottom exclusive; surface pixels) changed:
  // after the graphs painted, after each move of a play cursor, after a resize or a graph window shown,
  // moved or destroyed.
  virtual void OnSurfaceChanged(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;

 protected:
  ~IGraphSurfaceListener() = default;
};

// A surface of pixels that holds graph windows: give GetHandle() to IGraphicManager::CreateGraphs as
// the parent, show and place the graph windows with ShowGraph and MoveGraph, draw the surface's pixels
// where the host wants them (CopyPixels), and forward the pointer. Inside, the graph windows behave as
// they do in an X window: a click or a drag plays, the cursor follows, a resized graph shows its grey
// frame until RefreshGraphs. Where no graph window lies the surface is white.
//
// Pixels: 32-bit premultiplied ARGB in native byte order, one uint32_t 0xAARRGGBB per pixel with alpha
// always 255: what cairo (CAIRO_FORMAT_ARGB32) and Qt (QImage::Format_ARGB32_Premultiplied) take
// without conversion. Coordinates are surface pixels from the top left.
//
// Threading: every operation may be called from any thread. CopyPixels and the pointer operations never
// wait for the library's thread (the pointer is handed over in order); GetHandle, the sizes and the
// rest wait for it briefly.
class MELVOX_API IGraphSurface {
 public:
  // The parent handle for IGraphicManager::CreateGraphs (never an X window id).
  virtual WindowHandle GetHandle() = 0;
  virtual int32_t GetWidth() = 0;
  virtual int32_t GetHeight() = 0;
  // Copies rect (clipped to the surface) to dest, whose rows lie stride bytes apart and whose first
  // pixel is rect's top left: the pixels as last composed, whole (a change is composed before the
  // listener hears of it).
  virtual void CopyPixels(const GraphRect& rect, void* dest, int32_t stride) = 0;
  // The left button pressed at (x, y); motion (with the button held or not); the button released.
  // Keep sending motion and the release while the button is held outside the surface: a drag that
  // leaves it still ends, at the edge of its graph.
  virtual void PointerPress(int32_t x, int32_t y) = 0;
  virtual void PointerMotion(int32_t x, int32_t y, bool button_held) = 0;
  virtual void PointerRelease(int32_t x, int32_t y) = 0;
  // A new size, 1 to 16384 pixels a side (others are ignored): white where no graph window lies. The
  // graph windows keep their place; move them with MoveGraph and call RefreshGraphs once the size
  // settles.
  virtual void Resize(int32_t width, int32_t height) = 0;
  // Shows or hides a graph window of this surface (they are made hidden); false for another window.
  virtual bool ShowGraph(WindowHandle graph, bool visible) = 0;
  // Moves and resizes a graph window of this surface (it shows its grey frame until RefreshGraphs).
  virtual bool MoveGraph(WindowHandle graph, const GraphRect& rect) = 0;
  // Destroys the surface and the graph windows in it (a graph that plays stops showing its cursor and
  // its manager goes on without windows; release the managers as usual). The pointer is invalid
  // afterwards.
  virtual void Release() = 0;

 protected:
  ~IGraphSurface() = default;
};

// A new surface of width x height pixels (each 1 to 16384), white, telling listener (may be null) of
// its changes; null for another size or when it cannot be made. The host owns it until Release.
MELVOX_API IGraphSurface* CreateGraphSurface(int32_t width, int32_t height, IGraphSurfaceListener* listener);

}  // namespace melvox
