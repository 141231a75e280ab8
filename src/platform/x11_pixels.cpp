#include "platform/x11_pixels.h"

#include <algorithm>

namespace melvox::platform {
namespace {

constexpr size_t kPutImageHeaderBytes = 24;

int LowestBit(uint32_t mask) {
  int shift = 0;
  while (shift < 32 && ((mask >> shift) & 1u) == 0) ++shift;
  return shift;
}

int BitCount(uint32_t mask) {
  int count = 0;
  for (; mask != 0; mask &= mask - 1) ++count;
  return count;
}

bool IsContiguous(uint32_t mask) {
  if (mask == 0) return false;
  const uint32_t shifted = mask >> LowestBit(mask);
  return (shifted & (shifted + 1)) == 0;
}

uint32_t DepthMask(uint8_t depth) { return depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1; }

// Places an 8-bit channel value into the bits of mask. Unchanged after construction; one conversion's.
class Channel {
 public:
  explicit Channel(uint32_t mask) : shift_(LowestBit(mask)), bits_(BitCount(mask)) {}
  uint32_t operator()(uint8_t value) const {
    uint32_t scaled = value;
    if (bits_ < 8) {
      scaled = value >> (8 - bits_);
    } else {
      for (int have = 8; have < bits_; have += 8) scaled = (scaled << 8) | value;
      scaled >>= (8 - bits_ % 8) % 8;
    }
    return scaled << shift_;
  }

 private:
  int shift_;
  int bits_;
};

}  // namespace

bool IsSupportedFormat(const X11PixelFormat& format) {
  const uint8_t bpp = format.bits_per_pixel;
  const uint8_t pad = format.scanline_pad;
  if (bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (format.depth == 0 || format.depth > bpp) return false;
  if (pad != 8 && pad != 16 && pad != 32) return false;
  const uint32_t inside = DepthMask(format.depth);
  for (const uint32_t mask : {format.red_mask, format.green_mask, format.blue_mask}) {
    if (!IsContiguous(mask) || (mask & ~inside) != 0) return false;
  }
  return true;
}

size_t ImageRowBytes(const X11PixelFormat& format, int32_t width) {
  const size_t bits = static_cast<size_t>(std::max(width, 0)) * format.bits_per_pixel;
  const size_t pad = format.scanline_pad;
  return (bits + pad - 1) / pad * pad / 8;
}

void ConvertPixels(const Bitmap& pixels, const RECT& rect, const X11PixelFormat& format, std::vector<uint8_t>& out) {
  const int32_t width = static_cast<int32_t>(RectWidth(rect));
  const int32_t height = static_cast<int32_t>(RectHeight(rect));
  const size_t row_bytes = ImageRowBytes(format, width);
  out.assign(row_bytes * static_cast<size_t>(height), 0);
  const Channel red(format.red_mask);
  const Channel green(format.green_mask);
  const Channel blue(format.blue_mask);
  const uint32_t opaque = DepthMask(format.depth) & ~(format.red_mask | format.green_mask | format.blue_mask);
  const int bytes = format.bits_per_pixel / 8;
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* source = pixels.Row(rect.top + row) + 3 * static_cast<size_t>(rect.left);
    uint8_t* target = out.data() + row_bytes * static_cast<size_t>(row);
    for (int32_t column = 0; column < width; ++column, source += 3, target += bytes) {
      const uint32_t value = red(source[0]) | green(source[1]) | blue(source[2]) | opaque;
      for (int byte = 0; byte < bytes; ++byte) {
        const int shift = 8 * (format.msb_first ? bytes - 1 - byte : byte);
        target[byte] = static_cast<uint8_t>(value >> shift);
      }
    }
  }
}

int32_t RowsPerBand(const X11PixelFormat& format, int32_t width, size_t max_request_bytes) {
  const size_t row_bytes = std::max<size_t>(ImageRowBytes(format, width), 1);
  const size_t room = max_request_bytes > kPutImageHeaderBytes ? max_request_bytes - kPutImageHeaderBytes : 0;
  const size_t rows = room / row_bytes;
  return static_cast<int32_t>(std::clamp<size_t>(rows, 1, Bitmap::kMaxSide));
}

}  // namespace melvox::platform
