#include "platform/canvas.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace melvox::platform {
namespace {

// A rectangle in 64 bits, so that coordinates near the ends of the 32-bit range add up safely.
struct Box {
  int64_t left, top, right, bottom;
};

// The part of a box inside a width x height bitmap, as a RECT (empty when none).
RECT ClipBox(const Box& box, int32_t width, int32_t height) {
  const RECT r{static_cast<int32_t>(std::clamp<int64_t>(box.left, 0, width)),
               static_cast<int32_t>(std::clamp<int64_t>(box.top, 0, height)),
               static_cast<int32_t>(std::clamp<int64_t>(box.right, 0, width)),
               static_cast<int32_t>(std::clamp<int64_t>(box.bottom, 0, height))};
  return IsRectEmpty(r) ? RECT{0, 0, 0, 0} : r;
}

Box ToBox(const RECT& r) { return Box{r.left, r.top, r.right, r.bottom}; }

// Sets every pixel of a rectangle already clipped to the bitmap.
void FillClipped(Bitmap& bitmap, const RECT& r, COLORREF color) {
  const uint8_t rgb[3] = {GetRValue(color), GetGValue(color), GetBValue(color)};
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint8_t* p = bitmap.Row(y) + 3 * static_cast<size_t>(r.left);
    for (int32_t x = r.left; x < r.right; ++x, p += 3) std::memcpy(p, rgb, 3);
  }
}

// The minor-axis offset of a one-pixel line at major offset t: t * dminor / dmajor rounded half up
// (toward +infinity), that is floor((2 * t * dminor + dmajor) / (2 * dmajor)), computed exactly.
// Needs 0 <= t < dmajor <= 2^32 - 1 and |dminor| <= dmajor, so t * |dminor| fits in 64 unsigned bits;
// with t * |dminor| = q * dmajor + r, the result is q + (2r >= dmajor) for dminor >= 0 and
// -q - (2r > dmajor) for dminor < 0.
int64_t MinorOffset(int64_t t, int64_t dminor, uint64_t dmajor) {
  const uint64_t magnitude = static_cast<uint64_t>(dminor < 0 ? -dminor : dminor);
  const uint64_t product = static_cast<uint64_t>(t) * magnitude;
  const auto q = static_cast<int64_t>(product / dmajor);
  const uint64_t r = product % dmajor;
  if (dminor >= 0) return q + (2 * r >= dmajor ? 1 : 0);
  return -q - (2 * r > dmajor ? 1 : 0);
}

// The first t in [lo, hi] for which a predicate that turns from false to true holds; hi + 1 if none.
template <typename Predicate>
int64_t FirstTrue(int64_t lo, int64_t hi, Predicate holds) {
  int64_t end = hi + 1;
  while (lo < end) {
    const int64_t mid = lo + (end - lo) / 2;
    if (holds(mid)) {
      end = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

// Draws the line from (x0, y0) to (x1, y1) without its end point, pen_width pixels wide, and returns
// the bounding rectangle of the pixels set. The range of major offsets t is clipped to the bitmap
// before any pixel is visited (the minor coordinate is monotonic in t, so its in-range part is found
// by bisection), so a line far outside costs a few dozen steps and the pixels inside are the same as
// those of the unclipped line.
RECT DrawLine(Bitmap& bitmap, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t pen_width, COLORREF color) {
  const int64_t dx = int64_t{x1} - x0;
  const int64_t dy = int64_t{y1} - y0;
  if (dx == 0 && dy == 0) return RECT{0, 0, 0, 0};
  const bool x_major = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
  const int64_t major0 = x_major ? x0 : y0;
  const int64_t minor0 = x_major ? y0 : x0;
  const int64_t dmajor_signed = x_major ? dx : dy;
  const int64_t dminor = x_major ? dy : dx;
  const int64_t step = dmajor_signed > 0 ? 1 : -1;
  const auto dmajor = static_cast<uint64_t>(dmajor_signed * step);
  const int64_t major_size = x_major ? bitmap.Width() : bitmap.Height();
  const int64_t minor_size = x_major ? bitmap.Height() : bitmap.Width();
  const int64_t width = std::max<int64_t>(1, pen_width);
  const int64_t k_first = -(width / 2);
  const int64_t k_last = (width + 1) / 2 - 1;

  // Major offsets whose pixels lie on the bitmap along the major axis.
  int64_t t_lo = 0;
  int64_t t_hi = static_cast<int64_t>(dmajor) - 1;
  if (step > 0) {
    t_lo = std::max(t_lo, -major0);
    t_hi = std::min(t_hi, major_size - 1 - major0);
  } else {
    t_lo = std::max(t_lo, major0 - (major_size - 1));
    t_hi = std::min(t_hi, major0);
  }
  if (t_lo > t_hi) return RECT{0, 0, 0, 0};
  // Those whose band minor0 + offset + k_first .. minor0 + offset + k_last meets 0 .. minor_size - 1.
  const int64_t offset_lo = -minor0 - k_last;
  const int64_t offset_hi = minor_size - 1 - minor0 - k_first;
  auto offset = [&](int64_t t) { return MinorOffset(t, dminor, dmajor); };
  if (dminor >= 0) {
    const int64_t first = FirstTrue(t_lo, t_hi, [&](int64_t t) { return offset(t) >= offset_lo; });
    t_hi = FirstTrue(t_lo, t_hi, [&](int64_t t) { return offset(t) > offset_hi; }) - 1;
    t_lo = first;
  } else {
    const int64_t first = FirstTrue(t_lo, t_hi, [&](int64_t t) { return offset(t) <= offset_hi; });
    t_hi = FirstTrue(t_lo, t_hi, [&](int64_t t) { return offset(t) < offset_lo; }) - 1;
    t_lo = first;
  }

  RECT dirty{0, 0, 0, 0};
  for (int64_t t = t_lo; t <= t_hi; ++t) {
    const auto major = static_cast<int32_t>(major0 + step * t);
    const int64_t minor = minor0 + offset(t);
    const auto first = static_cast<int32_t>(std::max<int64_t>(0, minor + k_first));
    const auto last = static_cast<int32_t>(std::min(minor_size - 1, minor + k_last));
    if (first > last) continue;
    const RECT span = x_major ? RECT{major, first, major + 1, last + 1} : RECT{first, major, last + 1, major + 1};
    FillClipped(bitmap, span, color);
    dirty = UnionRect(dirty, span);
  }
  return dirty;
}

bool SameColour(const uint8_t* p, COLORREF color) {
  return p[0] == GetRValue(color) && p[1] == GetGValue(color) && p[2] == GetBValue(color);
}

// Scanline flood fill with an explicit stack of seeds. Visited pixels are tracked apart from their
// colour, because the fill colour may equal the colour of pixels the fill has to cross or the
// boundary colour itself. Returns the bounding rectangle of the pixels filled.
RECT Flood(Bitmap& bitmap, int32_t x, int32_t y, COLORREF boundary, COLORREF fill) {
  const int32_t width = bitmap.Width();
  const int32_t height = bitmap.Height();
  std::vector<bool> visited(static_cast<size_t>(width) * static_cast<size_t>(height), false);
  auto index = [width](int32_t px, int32_t py) { return static_cast<size_t>(py) * width + px; };
  // Not yet filled and not of the boundary colour (pixels not yet visited keep their first colour).
  auto open = [&](int32_t px, int32_t py) {
    return !visited[index(px, py)] && !SameColour(bitmap.Row(py) + 3 * static_cast<size_t>(px), boundary);
  };

  RECT dirty{0, 0, 0, 0};
  std::vector<POINT> seeds{POINT{x, y}};
  while (!seeds.empty()) {
    const POINT seed = seeds.back();
    seeds.pop_back();
    if (!open(seed.x, seed.y)) continue;
    int32_t left = seed.x;
    int32_t right = seed.x;
    while (left > 0 && open(left - 1, seed.y)) --left;
    while (right + 1 < width && open(right + 1, seed.y)) ++right;
    for (int32_t px = left; px <= right; ++px) visited[index(px, seed.y)] = true;
    const RECT span{left, seed.y, right + 1, seed.y + 1};
    FillClipped(bitmap, span, fill);
    dirty = UnionRect(dirty, span);
    // One seed for each run of open pixels above and below the span.
    for (const int32_t ny : {seed.y - 1, seed.y + 1}) {
      if (ny < 0 || ny >= height) continue;
      bool in_run = false;
      for (int32_t px = left; px <= right; ++px) {
        const bool is_open = open(px, ny);
        if (is_open && !in_run) seeds.push_back(POINT{px, ny});
        in_run = is_open;
      }
    }
  }
  return dirty;
}

}  // namespace

Canvas::Canvas(Bitmap& target, std::mutex* guard, std::function<void(const RECT&)> changed)
    : target_(target), guard_(guard), changed_(std::move(changed)) {}

std::unique_lock<std::mutex> Canvas::Lock() const {
  return guard_ != nullptr ? std::unique_lock<std::mutex>(*guard_) : std::unique_lock<std::mutex>();
}

void Canvas::Notify(const RECT& dirty) const {
  if (changed_ && !IsRectEmpty(dirty)) changed_(dirty);
}

Pen Canvas::SelectPen(Pen pen) { return std::exchange(pen_, pen); }

Brush Canvas::SelectBrush(Brush brush) { return std::exchange(brush_, brush); }

bool Canvas::LineTo(int32_t x, int32_t y) {
  RECT dirty;
  {
    const auto lock = Lock();
    dirty = DrawLine(target_, position_.x, position_.y, x, y, pen_.width, pen_.color);
  }
  position_ = POINT{x, y};
  Notify(dirty);
  return true;
}

bool Canvas::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left >= right || top >= bottom) return true;
  const int64_t band = std::max<int32_t>(1, pen_.width);
  const Box outer{left, top, right, bottom};
  const Box inner{outer.left + band, outer.top + band, outer.right - band, outer.bottom - band};
  RECT dirty;
  {
    const auto lock = Lock();
    dirty = ClipBox(outer, target_.Width(), target_.Height());
    FillClipped(target_, dirty, pen_.color);
    if (inner.left < inner.right && inner.top < inner.bottom) {
      FillClipped(target_, ClipBox(inner, target_.Width(), target_.Height()), brush_.color);
    }
  }
  Notify(dirty);
  return true;
}

bool Canvas::FillRect(const RECT& rect, Brush brush) {
  RECT dirty;
  {
    const auto lock = Lock();
    dirty = ClipBox(ToBox(rect), target_.Width(), target_.Height());
    FillClipped(target_, dirty, brush.color);
  }
  Notify(dirty);
  return true;
}

bool Canvas::FloodFill(int32_t x, int32_t y, COLORREF boundary) {
  RECT dirty;
  {
    const auto lock = Lock();
    if (!target_.Contains(x, y) || SameColour(target_.Row(y) + 3 * static_cast<size_t>(x), boundary)) return false;
    dirty = Flood(target_, x, y, boundary, brush_.color);
  }
  Notify(dirty);
  return true;
}

COLORREF Canvas::GetPixel(int32_t x, int32_t y) const {
  const auto lock = Lock();
  return target_.GetPixel(x, y);
}

COLORREF Canvas::SetPixel(int32_t x, int32_t y, COLORREF color) {
  {
    const auto lock = Lock();
    if (!target_.Contains(x, y)) return CLR_INVALID;
    target_.SetPixel(x, y, color);
  }
  Notify(RECT{x, y, x + 1, y + 1});
  return color & 0xFFFFFF;
}

bool Canvas::BitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Bitmap& source, int32_t source_x,
                    int32_t source_y) {
  if (width <= 0 || height <= 0) return true;
  // A destination pixel (dx, dy) takes the source pixel (dx - shift_x, dy - shift_y).
  const int64_t shift_x = int64_t{x} - source_x;
  const int64_t shift_y = int64_t{y} - source_y;
  const Box block{std::max<int64_t>(x, shift_x), std::max<int64_t>(y, shift_y),
                  std::min(int64_t{x} + width, shift_x + source.Width()),
                  std::min(int64_t{y} + height, shift_y + source.Height())};
  RECT dirty;
  {
    const auto lock = Lock();
    dirty = ClipBox(block, target_.Width(), target_.Height());
    if (IsRectEmpty(dirty)) return true;
    const size_t bytes = 3 * static_cast<size_t>(RectWidth(dirty));
    const auto from_x = static_cast<size_t>(dirty.left - shift_x);
    // Copying within one bitmap to lower rows goes bottom-up, so no source row is overwritten before
    // it is read; memmove handles the overlap within a row.
    const bool bottom_up = &source == &target_ && shift_y > 0;
    for (int32_t i = 0; i < dirty.bottom - dirty.top; ++i) {
      const int32_t dest_y = bottom_up ? dirty.bottom - 1 - i : dirty.top + i;
      const uint8_t* from = source.Row(static_cast<int32_t>(dest_y - shift_y)) + 3 * from_x;
      std::memmove(target_.Row(dest_y) + 3 * static_cast<size_t>(dirty.left), from, bytes);
    }
  }
  Notify(dirty);
  return true;
}

bool Canvas::InvertRect(const RECT& rect) {
  RECT dirty;
  {
    const auto lock = Lock();
    dirty = ClipBox(ToBox(rect), target_.Width(), target_.Height());
    for (int32_t y = dirty.top; y < dirty.bottom; ++y) {
      uint8_t* p = target_.Row(y) + 3 * static_cast<size_t>(dirty.left);
      uint8_t* end = p + 3 * static_cast<size_t>(RectWidth(dirty));
      for (; p != end; ++p) *p = static_cast<uint8_t>(255 - *p);
    }
  }
  Notify(dirty);
  return true;
}

}  // namespace melvox::platform
