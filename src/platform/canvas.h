// A device context that draws on a Bitmap in software: a selected solid pen and solid brush, lines,
// rectangles, fills, single pixels, block copies and inversion. docs/platform.md ("Canvas") states
// which pixels every operation sets.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/bitmap.h"
#include "platform/gdi_types.h"

namespace melvox::platform {

// A solid pen. Widths 0 and 1 both draw one pixel wide; a width w > 1 draws w pixels wide (a
// negative width counts as 1).
struct Pen {
  int32_t width;
  COLORREF color;
};

// A solid brush.
struct Brush {
  COLORREF color;
};

constexpr bool operator==(const Pen& a, const Pen& b) { return a.width == b.width && a.color == b.color; }
constexpr bool operator!=(const Pen& a, const Pen& b) { return !(a == b); }
constexpr bool operator==(const Brush& a, const Brush& b) { return a.color == b.color; }
constexpr bool operator!=(const Brush& a, const Brush& b) { return !(a == b); }

// Draws on a bitmap that it does not own (the bitmap must outlive the canvas). Every coordinate may
// lie anywhere in the 32-bit range: drawing is clipped to the bitmap, with the same pixels inside it
// as if it were unbounded. Colours are taken by their low 24 bits.
//
// Threads: a canvas belongs to one thread at a time; its pen, brush and current position are not
// guarded. Several canvases may draw on one bitmap from different threads (a window's painting and
// the audio thread's play cursor) when they are all given the same guard: each operation that reads
// or writes pixels locks it for its own duration, so another thread may draw between two operations
// but never in the middle of one. Whoever touches that bitmap directly must hold the guard too.
// `changed` runs on the drawing thread after the guard is released (so it may lock the guard to copy
// pixels), once per operation that changed pixels, with the bounding rectangle of the pixels that
// operation may have changed, clipped to the bitmap; it is not called when nothing was inside.
//
// Failures: only FloodFill returns false (see there). A degenerate call (an empty rectangle, a line
// whose ends coincide, a block of zero size, anything wholly outside the bitmap) draws nothing and
// returns true.
class Canvas {
 public:
  explicit Canvas(Bitmap& target, std::mutex* guard = nullptr, std::function<void(const RECT&)> changed = {});
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Select a pen or brush and return the one selected before. A new canvas has the pen
  // {0, RGB(0, 0, 0)} and the brush {RGB(255, 255, 255)}.
  Pen SelectPen(Pen pen);
  Brush SelectBrush(Brush brush);
  Pen CurrentPen() const { return pen_; }
  Brush CurrentBrush() const { return brush_; }

  // The current position, (0, 0) on a new canvas.
  void MoveTo(int32_t x, int32_t y) { position_ = POINT{x, y}; }
  POINT CurrentPosition() const { return position_; }
  // Draws a line with the selected pen from the current position to (x, y), without the end point,
  // then makes (x, y) the current position.
  bool LineTo(int32_t x, int32_t y);
  // The outline with the pen (a band of max(1, pen width) pixels just inside the rectangle) and the
  // interior with the brush. Right and bottom are exclusive; left >= right or top >= bottom draws
  // nothing (the corners are not swapped).
  bool Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Fills columns left .. right - 1 of rows top .. bottom - 1 with the brush given (the selected
  // brush stays).
  bool FillRect(const RECT& rect, Brush brush);
  // Fills with the selected brush every pixel 4-connected to (x, y) through pixels that are not of
  // the boundary colour. False, with nothing filled, when (x, y) lies outside the bitmap or already
  // has the boundary colour.
  bool FloodFill(int32_t x, int32_t y, COLORREF boundary);

  // The colour at (x, y); CLR_INVALID outside the bitmap.
  COLORREF GetPixel(int32_t x, int32_t y) const;
  // Sets (x, y) and returns the colour set (its low 24 bits); CLR_INVALID, with nothing set, outside.
  COLORREF SetPixel(int32_t x, int32_t y, COLORREF color);

  // Copies the width x height block of source at (source_x, source_y) to (x, y). Only pixels whose
  // destination lies in this bitmap and whose source lies in the source bitmap are copied; the others
  // stay as they were. The source may be the target bitmap itself (overlapping blocks copy as if
  // through a temporary); any other source is not guarded by this canvas's guard.
  bool BitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Bitmap& source, int32_t source_x,
              int32_t source_y);
  // Inverts every pixel of the rectangle: red, green and blue each become 255 - value.
  bool InvertRect(const RECT& rect);

 private:
  std::unique_lock<std::mutex> Lock() const;
  void Notify(const RECT& dirty) const;

  Bitmap& target_;
  std::mutex* guard_;
  std::function<void(const RECT&)> changed_;
  Pen pen_{0, RGB(0, 0, 0)};
  Brush brush_{RGB(255, 255, 255)};
  POINT position_{0, 0};
};

}  // namespace melvox::platform
