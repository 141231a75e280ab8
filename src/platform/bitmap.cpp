#include "platform/bitmap.h"

#include <algorithm>
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
  const uint8_t rgb[3] = {GetRValue(fill), GetGValue(fill), GetBValue(fill)};
  if (rgb[0] == rgb[1] && rgb[1] == rgb[2]) {  // grey, black or white: every byte the same
    pixels_.assign(RowBytes() * static_cast<size_t>(height_), rgb[0]);
    return;
  }
  pixels_.resize(RowBytes() * static_cast<size_t>(height_));
  for (size_t i = 0; i < RowBytes(); ++i) pixels_[i] = rgb[i % 3];
  for (int32_t y = 1; y < height_; ++y) std::copy(Row(0), Row(0) + RowBytes(), Row(y));
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
