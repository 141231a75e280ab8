// Converting window pixels into the X server's image formats, and splitting uploads into requests.
#include "platform/x11_pixels.h"

#include <vector>

#include <gtest/gtest.h>

namespace melvox::platform {
namespace {

// Two rows of three pixels with distinct channels; the conversions below read columns 1 and 2.
Bitmap Sample() {
  Bitmap pixels(3, 2, RGB(0, 0, 0));
  pixels.SetPixel(1, 0, RGB(0x12, 0x34, 0x56));
  pixels.SetPixel(2, 0, RGB(0xFF, 0x80, 0x01));
  pixels.SetPixel(1, 1, RGB(0xAB, 0xCD, 0xEF));
  return pixels;
}

std::vector<uint8_t> Convert(const X11PixelFormat& format, const RECT& rect = RECT{1, 0, 3, 2}) {
  std::vector<uint8_t> out{0xEE};  // stale contents are replaced
  ConvertPixels(Sample(), rect, format, out);
  return out;
}

TEST(X11Pixels, ConvertsToEachByteOrderDepthAndMask) {
  X11PixelFormat format;  // depth 24 in 32 bits, least significant byte first: B, G, R, padding
  EXPECT_TRUE(IsSupportedFormat(format));
  EXPECT_EQ(Convert(format), (std::vector<uint8_t>{0x56, 0x34, 0x12, 0, 0x01, 0x80, 0xFF, 0,  //
                                                   0xEF, 0xCD, 0xAB, 0, 0, 0, 0, 0}));
  format.msb_first = true;
  EXPECT_EQ(Convert(format, RECT{1, 0, 2, 1}), (std::vector<uint8_t>{0, 0x12, 0x34, 0x56}));
  // A depth-32 visual: the bits outside the colour masks are alpha, set so the pixels are opaque.
  format.depth = 32;
  EXPECT_EQ(Convert(format, RECT{1, 0, 2, 1}), (std::vector<uint8_t>{0xFF, 0x12, 0x34, 0x56}));

  // 5-6-5 in 16 bits keeps the high bits of each channel; rows are padded to 32 bits.
  const X11PixelFormat rgb565{16, 16, 32, false, 0xF800, 0x07E0, 0x001F};
  const uint16_t pixel = ((0x12 >> 3) << 11) | ((0x34 >> 2) << 5) | (0x56 >> 3);
  const std::vector<uint8_t> packed = Convert(rgb565, RECT{0, 0, 3, 1});
  ASSERT_EQ(packed.size(), 8u);
  EXPECT_EQ(packed[2] | packed[3] << 8, pixel);
  EXPECT_EQ(packed[6], 0);  // padding
  // 24 bits per pixel: three bytes each, the row padded from 9 to 12 bytes.
  const X11PixelFormat packed24{24, 24, 32, false, 0xFF0000, 0xFF00, 0xFF};
  EXPECT_EQ(ImageRowBytes(packed24, 3), 12u);
  EXPECT_EQ(Convert(packed24, RECT{1, 0, 2, 1}), (std::vector<uint8_t>{0x56, 0x34, 0x12, 0}));
  // 10 bits per channel repeat the high bits of our 8: 0xAB becomes 0xAB << 2 | 0xAB >> 6.
  const X11PixelFormat deep{30, 32, 32, false, 0x3FF00000, 0xFFC00, 0x3FF};
  const std::vector<uint8_t> wide = Convert(deep, RECT{1, 1, 2, 2});
  EXPECT_EQ((uint32_t{wide[3]} << 24 | uint32_t{wide[2]} << 16 | uint32_t{wide[1]} << 8 | wide[0]) >> 20, 0x2AEu);

  EXPECT_FALSE(IsSupportedFormat(X11PixelFormat{8, 8, 32, false, 0xE0, 0x1C, 0x03}));          // 8 bits per pixel
  EXPECT_FALSE(IsSupportedFormat(X11PixelFormat{24, 32, 32, false, 0xF0F000, 0xF00, 0xF}));    // holes in a mask
  EXPECT_FALSE(IsSupportedFormat(X11PixelFormat{16, 32, 32, false, 0xFF0000, 0xFF00, 0xFF}));  // outside the depth
}

TEST(X11Pixels, BandsFitOneRequestWithItsHeader) {
  const X11PixelFormat format;
  // The smallest maximum request a server may have (65535 units of 4 bytes), 1000 pixels of 4 bytes.
  EXPECT_EQ(RowsPerBand(format, 1000, 262140), 65);  // (262140 - 24) / 4000
  EXPECT_EQ(RowsPerBand(format, 1000, 4024), 1);
  EXPECT_EQ(RowsPerBand(format, 1000, 100), 1);  // never 0: a row always goes out
  EXPECT_EQ(RowsPerBand(format, 0, 262140), Bitmap::kMaxSide);
}

}  // namespace
}  // namespace melvox::platform
