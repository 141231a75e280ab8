#include "platform/bitmap.h"

#include <stdexcept>
#include <string>

namespace melvox::platform {
namespace {

int32_t CheckedSide(int32_t value, const char* name) {
  if (value < 0 || value > Bitmap::kMaxSide) {
    throw std::invalid_argument(std::string("bitmap ") + name + " " + std::to_string(value) + " is outside 0.." +
                                std::to_string(Bitmap::kMaxSide));
  }
  return value;
}

}  // namespace

Bitmap::Bitmap(int32_t width, int32_t height, COLORREF fill)
    : width_(CheckedSide(width, "width")), height_(CheckedSide(height, "height")) {
  pixels_.resize(RowBytes() * static_cast<size_t>(height_));
  const uint8_t rgb[3] = {GetRValue(fill), GetGValue(fill), GetBValue(fill)};
  for (size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = rgb[i % 3];
}

COLORREF Bitmap::GetPixel(int32_t x, int32_t y) const {
  if (!Contains(x, y)) return CLR_INVALID;
  const uint8_t* p = Row(y) + 3 * static_cast<size_t>(x);
  return RGB(p[0], p[1], p[2]);
}

void Bitmap::SetPixel(int32_t x, int32_t y, COLORREF c) {
  if (!Contains(x, y)) return;
  uint8_t* p = Row(y) + 3 * static_cast<size_t>(x);
  p[0] = GetRValue(c);
  p[1] = GetGValue(c);
  p[2] = GetBValue(c);
}

}  // namespace melvox::platform
