// A 24-bit RGB image in memory: what a canvas draws on and what a PNG file holds.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi_types.h"

namespace melvox::platform {

// Pixels are stored row by row from the top, 3 bytes each in the order red, green, blue, with no
// padding between rows: row y starts at Data() + 3 * Width() * y. Coordinates count pixels from the
// top-left corner (0, 0). Not thread-safe by itself: a Canvas with a guard serialises drawing.
class Bitmap {
 public:
  // The largest width and height a bitmap may have.
  static constexpr int32_t kMaxSide = 16384;

  // An empty 0 x 0 bitmap.
  Bitmap() = default;
  // A width x height bitmap filled with one colour. Throws std::invalid_argument naming the value
  // when a side is negative or larger than kMaxSide. 0 on either side gives an empty bitmap.
  Bitmap(int32_t width, int32_t height, COLORREF fill = RGB(0, 0, 0));

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  // The colour at (x, y); CLR_INVALID outside the bitmap.
  COLORREF GetPixel(int32_t x, int32_t y) const;
  // Sets (x, y) to the low 24 bits of c; a position outside the bitmap is ignored.
  void SetPixel(int32_t x, int32_t y, COLORREF c);

  // The 3 * Width() bytes of row y; y must lie in 0 .. Height() - 1.
  uint8_t* Row(int32_t y) { return pixels_.data() + RowBytes() * static_cast<size_t>(y); }
  const uint8_t* Row(int32_t y) const { return pixels_.data() + RowBytes() * static_cast<size_t>(y); }
  // All 3 * Width() * Height() bytes (null for an empty bitmap).
  uint8_t* Data() { return pixels_.data(); }
  const uint8_t* Data() const { return pixels_.data(); }
  size_t RowBytes() const { return 3 * static_cast<size_t>(width_); }

  // Same size and same pixels.
  friend bool operator==(const Bitmap& a, const Bitmap& b) {
    return a.width_ == b.width_ && a.height_ == b.height_ && a.pixels_ == b.pixels_;
  }
  friend bool operator!=(const Bitmap& a, const Bitmap& b) { return !(a == b); }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint8_t> pixels_;
};

}  // namespace melvox::platform
