// Converting window pixels (our 24-bit R, G, B bitmaps) into the image format an X server takes for a
// window (ZPixmap: the server's bits per pixel for the window's depth, its byte order and the visual's
// colour masks), and splitting an upload into bands that fit one request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"
#include "platform/gdi_types.h"

namespace melvox::platform {

// The layout of one pixel of a ZPixmap image. The defaults are what servers use for depth 24 on
// little-endian machines: 32 bits per pixel, 0x00RRGGBB stored least significant byte first. A plain
// value: each thread uses its own copy, no lock. The functions below keep no state of their own.
struct X11PixelFormat {
  uint8_t depth = 24;
  uint8_t bits_per_pixel = 32;  // 16, 24 or 32 are supported
  uint8_t scanline_pad = 32;    // each row is padded to a multiple of this many bits
  bool msb_first = false;       // the server's image byte order
  uint32_t red_mask = 0xFF0000;
  uint32_t green_mask = 0x00FF00;
  uint32_t blue_mask = 0x0000FF;
};

// True when ConvertPixels can produce the format: 16, 24 or 32 bits per pixel, a depth of at most that,
// a scanline pad of 8, 16 or 32, and three non-empty masks of contiguous bits within the depth.
bool IsSupportedFormat(const X11PixelFormat& format);

// Bytes of one image row of width pixels, padding included.
size_t ImageRowBytes(const X11PixelFormat& format, int32_t width);

// Converts the pixels of rect (which must lie inside pixels and not be empty) into a ZPixmap image of
// RectWidth(rect) x RectHeight(rect) in out (resized to fit). A channel of n < 8 bits keeps the n high
// bits of our 8; one of n > 8 bits repeats them. Bits of the depth outside the three masks (the alpha
// of a depth-32 visual) are set, so the pixels are opaque; padding bits are 0.
void ConvertPixels(const Bitmap& pixels, const RECT& rect, const X11PixelFormat& format, std::vector<uint8_t>& out);

// How many rows of width pixels one PutImage request of at most max_request_bytes may carry (its
// header included); at least 1.
int32_t RowsPerBand(const X11PixelFormat& format, int32_t width, size_t max_request_bytes);

}  // namespace melvox::platform
