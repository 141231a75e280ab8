// ColorRecord: the colour and level of one frame or one pixel column of the spectrum graph.
#pragma once

#include <cstdint>

namespace melvox {

// Channels run 0..65535. The level depends on the use: a frame's total peak energy rounded to the
// nearest integer, a column's bar height in pixels, the largest bar height in a parameter record, or
// 2147483647 in a palette entry. 16 bytes, copied by value.
struct ColorRecord {
  int32_t red = 0;
  int32_t green = 0;
  int32_t blue = 0;
  int32_t level = 0;
};

inline bool operator==(const ColorRecord& a, const ColorRecord& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue && a.level == b.level;
}
inline bool operator!=(const ColorRecord& a, const ColorRecord& b) { return !(a == b); }

// A light grey of level 0: frames without peaks and frames outside the tracked span. It draws no bar.
inline constexpr ColorRecord kEmptyColorRecord{0xDDDD, 0xDDDD, 0xDDDD, 0};

}  // namespace melvox
