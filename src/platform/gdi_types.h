// The value types of the drawing model: colours, rectangles and points.
#pragma once

#include <algorithm>
#include <cstdint>

namespace melvox::platform {

// A colour as 0x00BBGGRR: red in the low byte, then green, then blue. Drawing uses the low 24 bits
// only; the top byte carries no meaning.
using COLORREF = uint32_t;

constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) { return static_cast<uint8_t>(c & 0xFF); }
constexpr uint8_t GetGValue(COLORREF c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(COLORREF c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

// What pixel reads return for a position outside a bitmap.
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// A rectangle of pixels: columns left .. right - 1, rows top .. bottom - 1 (right and bottom are
// exclusive). It is empty when left >= right or top >= bottom.
struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct POINT {
  int32_t x;
  int32_t y;
};

constexpr bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
constexpr bool operator!=(const RECT& a, const RECT& b) { return !(a == b); }
constexpr bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }
constexpr bool operator!=(const POINT& a, const POINT& b) { return !(a == b); }

// Width and height in 64 bits, so that a rectangle spanning the whole 32-bit range does not overflow;
// negative for a rectangle turned inside out.
constexpr int64_t RectWidth(const RECT& r) { return int64_t{r.right} - r.left; }
constexpr int64_t RectHeight(const RECT& r) { return int64_t{r.bottom} - r.top; }
constexpr bool IsRectEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

// The pixels in both rectangles; {0, 0, 0, 0} when there are none.
constexpr RECT IntersectRect(const RECT& a, const RECT& b) {
  const RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
  return IsRectEmpty(r) ? RECT{0, 0, 0, 0} : r;
}

// The smallest rectangle holding both; an empty rectangle adds nothing, and two empty ones give
// {0, 0, 0, 0}.
constexpr RECT UnionRect(const RECT& a, const RECT& b) {
  if (IsRectEmpty(a)) return IsRectEmpty(b) ? RECT{0, 0, 0, 0} : b;
  if (IsRectEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

}  // namespace melvox::platform
