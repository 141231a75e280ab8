#include "platform/canvas.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace melvox::platform {

void PrintTo(const RECT& r, std::ostream* out) {
  *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

constexpr COLORREF kGrey = RGB(128, 128, 128), kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);
constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;

// The bitmap as one character per pixel ('?' for a colour not in the legend), each row ended by '/'.
std::string Picture(const Bitmap& bitmap) {
  const std::pair<char, COLORREF> legend[] = {{'.', kGrey}, {'#', kBlack}, {'o', kWhite},
                                              {'r', kRed},  {'g', kGreen}, {'b', kBlue}};
  std::string out;
  for (int32_t y = 0; y < bitmap.Height(); ++y) {
    for (int32_t x = 0; x < bitmap.Width(); ++x) {
      char symbol = '?';
      for (const auto& [s, c] : legend) symbol = bitmap.GetPixel(x, y) == c ? s : symbol;
      out += symbol;
    }
    out += '/';
  }
  return out;
}

std::set<std::pair<int32_t, int32_t>> PixelsOf(const Bitmap& bitmap, COLORREF color) {
  std::set<std::pair<int32_t, int32_t>> pixels;
  for (int32_t y = 0; y < bitmap.Height(); ++y) {
    for (int32_t x = 0; x < bitmap.Width(); ++x) {
      if (bitmap.GetPixel(x, y) == color) pixels.insert({x, y});
    }
  }
  return pixels;
}

// One operation as data, so that tables can list them: 'L' a line from (a, b) to (c, d), 'R'
// Rectangle(a, b, c, d), 'F' FillRect red, 'I' InvertRect, 'S' SetPixel(a, b) red, 'B' BitBlt of a
// red c x d block (of a 3 x 3 bitmap) to (a, b), 'P' FloodFill from (a, b) up to red. The pen is
// black, the brush green; (dx, dy) shifts the operation.
struct Op {
  char kind;
  int32_t pen_width, a, b, c, d;
};

void Apply(Canvas& canvas, const Op& op, int32_t dx = 0, int32_t dy = 0) {
  const int32_t a = op.a + dx, b = op.b + dy, c = op.c + dx, d = op.d + dy;
  canvas.SelectPen(Pen{op.pen_width, kBlack});
  canvas.SelectBrush(Brush{kGreen});
  if (op.kind == 'L') canvas.MoveTo(a, b), canvas.LineTo(c, d);
  if (op.kind == 'R') canvas.Rectangle(a, b, c, d);
  if (op.kind == 'F') canvas.FillRect(RECT{a, b, c, d}, Brush{kRed});
  if (op.kind == 'I') canvas.InvertRect(RECT{a, b, c, d});
  if (op.kind == 'S') canvas.SetPixel(a, b, kRed);
  if (op.kind == 'B') canvas.BitBlt(a, b, op.c, op.d, Bitmap(3, 3, kRed), 0, 0);
  if (op.kind == 'P') canvas.FloodFill(a, b, kRed);
}

TEST(CanvasTest, BitmapLayoutLimitsRectangleHelpersPixelsAndInversion) {
  Bitmap bitmap(3, 2);
  bitmap.SetPixel(2, 1, RGB(1, 2, 3));
  EXPECT_EQ(bitmap.Data() + 15, bitmap.Row(1) + 6) << "rows of 3 bytes per pixel, no padding";
  EXPECT_EQ(std::vector<uint8_t>(bitmap.Row(1) + 6, bitmap.Row(1) + 9), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(Bitmap(Bitmap::kMaxSide, 0).Width(), Bitmap::kMaxSide);
  for (const auto& [width, height, bad] : {std::tuple(-1, 5, "-1"), std::tuple(2, 16385, "16385")}) {
    try {
      Bitmap refused(width, height);
      ADD_FAILURE() << "no exception for " << bad;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(IntersectRect(RECT{0, 0, 4, 4}, RECT{4, 0, 6, 3}), (RECT{0, 0, 0, 0}));
  EXPECT_EQ(UnionRect(RECT{5, 5, 5, 9}, RECT{1, 2, 3, 4}), (RECT{1, 2, 3, 4})) << "an empty rectangle adds nothing";
  EXPECT_EQ(RectWidth(RECT{kMin, 0, kMax, 1}), int64_t{UINT32_MAX});

  // Single pixels, and inverting a rectangle twice.
  Bitmap image(6, 4);
  for (int32_t i = 0; i < 24; ++i) image.SetPixel(i % 6, i / 6, RGB(11 * i, 255 - i, i));
  const Bitmap original = image;
  Canvas canvas(image);
  EXPECT_TRUE(canvas.InvertRect(RECT{2, 1, 7, 3}));
  EXPECT_EQ(canvas.GetPixel(2, 1), RGB(255 - 88, 255 - 247, 255 - 8));
  EXPECT_EQ(canvas.GetPixel(1, 1), original.GetPixel(1, 1));
  EXPECT_EQ(canvas.GetPixel(2, 3), original.GetPixel(2, 3)) << "the bottom edge is exclusive";
  EXPECT_TRUE(canvas.InvertRect(RECT{2, 1, 7, 3}));
  EXPECT_EQ(image, original);
  EXPECT_EQ(canvas.SetPixel(0, 0, kRed | 0xAB000000), kRed) << "the colour set has no top byte";
  EXPECT_EQ(canvas.GetPixel(0, 0), kRed);
  EXPECT_EQ(canvas.SetPixel(6, 0, kRed), CLR_INVALID);
  EXPECT_EQ(canvas.GetPixel(0, -1), CLR_INVALID);
}

TEST(CanvasTest, LinesFollowTheRoundHalfUpRuleWithoutTheEndPointAtEveryWidth) {
  // From (5, 5): the eight octants with exact halves (2 : 4), whose rounding differs with the signs of
  // the steps, and a diagonal (x-major on the tie). Pixels from minor = floor((2 t dminor + D) / 2D).
  struct Case {
    int32_t x1, y1;
    bool x_major;
    std::vector<std::pair<int32_t, int32_t>> pixels;
  };
  const Case cases[] = {
      {9, 7, true, {{5, 5}, {6, 6}, {7, 6}, {8, 7}}},  {7, 9, false, {{5, 5}, {6, 6}, {6, 7}, {7, 8}}},
      {3, 9, false, {{5, 5}, {5, 6}, {4, 7}, {4, 8}}}, {1, 7, true, {{5, 5}, {4, 6}, {3, 6}, {2, 7}}},
      {1, 3, true, {{5, 5}, {4, 5}, {3, 4}, {2, 4}}},  {3, 1, false, {{5, 5}, {5, 4}, {4, 3}, {4, 2}}},
      {7, 1, false, {{5, 5}, {6, 4}, {6, 3}, {7, 2}}}, {9, 3, true, {{5, 5}, {6, 5}, {7, 4}, {8, 4}}},
      {8, 2, true, {{5, 5}, {6, 4}, {7, 3}}},
  };
  for (const Case& c : cases) {
    for (int32_t width = 0; width <= 4; ++width) {
      SCOPED_TRACE("to (" + std::to_string(c.x1) + ", " + std::to_string(c.y1) + ") width " + std::to_string(width));
      Bitmap bitmap(11, 11, kGrey);
      Canvas canvas(bitmap);
      canvas.SelectPen(Pen{width, kBlack});
      canvas.MoveTo(5, 5);
      EXPECT_TRUE(canvas.LineTo(c.x1, c.y1));
      EXPECT_EQ(canvas.CurrentPosition(), (POINT{c.x1, c.y1}));
      // Offsets -floor(w/2) .. ceil(w/2) - 1 across the major axis; widths 0 and 1 are one pixel.
      const int32_t w = width < 1 ? 1 : width;
      std::set<std::pair<int32_t, int32_t>> expected;
      for (int32_t k = -(w / 2); k <= (w + 1) / 2 - 1; ++k) {
        for (const auto& [x, y] : c.pixels) expected.insert(c.x_major ? std::pair(x, y + k) : std::pair(x + k, y));
      }
      EXPECT_EQ(PixelsOf(bitmap, kBlack), expected);
    }
  }
}

TEST(CanvasTest, LinesFarOutsideAreClippedExactlyAndQuickly) {
  // Ends at the limits of int32: t * dminor needs more than 63 bits here, and rounding matters
  // (the first line passes half a pixel below the diagonal).
  const std::tuple<int32_t, int32_t, int32_t, int32_t, std::set<std::pair<int32_t, int32_t>>> cases[] = {
      {kMin, kMin, kMax, kMax - 1, {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}, {7, 6}, {8, 7}}},
      {kMax, kMin + 3, kMin, kMax, {{0, 1}, {1, 0}}},
      {kMin, -10, kMax, kMin, {}},
      {kMax, kMin, kMax - 5, kMax, {}},
  };
  const auto start = std::chrono::steady_clock::now();
  for (const auto& [x0, y0, x1, y1, pixels] : cases) {
    Bitmap bitmap(12, 8, kGrey);
    Canvas canvas(bitmap);
    canvas.MoveTo(x0, y0);
    EXPECT_TRUE(canvas.LineTo(x1, y1));
    EXPECT_EQ(PixelsOf(bitmap, kBlack), pixels) << "line from " << x0 << ", " << y0;
  }
  // Stepping through the 2^32 positions of these lines would take many seconds.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(CanvasTest, DrawingPartlyOutsideSetsTheSamePixelsAsOnALargerBitmapAndReportsTheirBounds) {
  // Each operation is drawn on a 12 x 8 bitmap and, shifted by (18, 16), on one large enough to hold
  // it whole; the small bitmap must equal that window of the large one (a fill stops at its bitmap's
  // edges) and report the bounds of the pixels that changed (none: no report; a read reports nothing).
  // From the fifth row on, the operations lie wholly outside, draw nothing or fill the whole bitmap.
  const Op ops[] = {
      {'L', 1, -7, 3, 9, -4},   {'L', 3, 11, -9, 2, 15}, {'L', 4, 20, 9, -10, 7},  {'L', 4, -5, -2, 15, -1},
      {'R', 2, -3, -2, 5, 4},   {'R', 1, 8, 5, 16, 12},  {'R', 3, -2, -2, 14, 10}, {'F', 0, -4, 2, 6, 20},
      {'I', 0, 3, -6, 15, 5},   {'B', 0, 10, -2, 3, 3},  {'L', 1, -3, 6, 5, 2},    {'L', 2, 4, 0, 4, 3},
      {'R', 1, -2, 3, 4, 30},   {'F', 0, 10, 6, 20, 20}, {'S', 0, 3, 4, 0, 0},     {'B', 0, 10, -1, 9, 9},
      {'R', 1, -9, 0, 0, 8},    {'F', 0, 12, 0, 20, 8},  {'I', 0, 0, 8, 12, 14},   {'L', 1, -1, 9, 14, 8},
      {'L', 1, -3, -1, 20, -1}, {'I', 0, -5, -5, -1, 3}, {'S', 0, -1, 0, 0, 0},    {'P', 0, 12, 1, 0, 0},
      {'L', 4, 2, 2, 2, 2},     {'R', 1, 5, 5, 5, 9},    {'P', 0, 1, 1, 0, 0}};
  for (const Op& op : ops) {
    Bitmap small(12, 8, kGrey);
    Bitmap large(48, 40, kGrey);
    std::vector<RECT> reports;
    Canvas small_canvas(small, nullptr, [&reports](const RECT& r) { reports.push_back(r); });
    Canvas large_canvas(large);
    Apply(small_canvas, op);
    Apply(large_canvas, op, 18, 16);
    small_canvas.GetPixel(0, 0);
    Bitmap window(12, 8);
    Canvas(window).BitBlt(0, 0, 12, 8, large, 18, 16);
    EXPECT_TRUE(op.kind == 'P' || small == window)
        << op.kind << " " << op.a << " " << op.b << Picture(small) << Picture(window);
    std::vector<RECT> changed;  // the bounds of the pixels no longer grey
    for (int32_t i = 0; i < 12 * 8; ++i) {
      const RECT pixel{i % 12, i / 12, i % 12 + 1, i / 12 + 1};
      if (small.GetPixel(pixel.left, pixel.top) == kGrey) continue;
      changed = {changed.empty() ? pixel : UnionRect(changed[0], pixel)};
    }
    EXPECT_EQ(reports, changed) << op.kind << " " << op.a << " " << op.b;
  }
}

TEST(CanvasTest, RectanglesHaveAnInsideOutlineOfThePenWidthAndFillRectKeepsTheBrush) {
  Bitmap bitmap(12, 8, kGrey);
  Canvas canvas(bitmap);
  EXPECT_TRUE(canvas.Rectangle(1, 1, 5, 5));  // the default pen {0, black} and brush {white}
  EXPECT_EQ(canvas.SelectPen(Pen{2, kRed}), (Pen{0, kBlack}));
  EXPECT_EQ(canvas.SelectBrush(Brush{kGreen}), (Brush{kWhite}));
  EXPECT_TRUE(canvas.Rectangle(6, 1, 12, 8));
  canvas.SelectPen(Pen{3, kRed});
  EXPECT_TRUE(canvas.Rectangle(1, 6, 4, 8));  // thinner than two bands: all outline
  EXPECT_TRUE(canvas.Rectangle(8, 0, 8, 5));  // zero width
  EXPECT_TRUE(canvas.Rectangle(5, 3, 2, 6));  // left > right: not swapped, nothing drawn
  EXPECT_TRUE(canvas.FillRect(RECT{0, 0, 2, 1}, Brush{kBlue}));
  EXPECT_TRUE(canvas.FillRect(RECT{4, 6, 4, 8}, Brush{kBlue}));
  EXPECT_EQ(canvas.CurrentBrush(), (Brush{kGreen}));
  EXPECT_EQ(Picture(bitmap),
            "bb........../.####.rrrrrr/.#oo#.rrrrrr/.#oo#.rrggrr/.####.rrggrr/......rrggrr/.rrr..rrrrrr/.rrr..rrrrrr/");
}

TEST(CanvasTest, FloodFillStaysInItsFourConnectedRegion) {
  Bitmap bitmap(12, 8, kWhite);
  Canvas canvas(bitmap);
  canvas.Rectangle(5, 1, 12, 7);
  canvas.SelectBrush(Brush{kRed});
  EXPECT_TRUE(canvas.FloodFill(7, 3, kBlack));
  canvas.SelectBrush(Brush{kWhite});
  EXPECT_TRUE(canvas.FloodFill(0, 7, kBlack)) << "a brush the colour of the region still ends";
  EXPECT_FALSE(canvas.FloodFill(5, 1, kBlack)) << "the start has the boundary colour";
  EXPECT_FALSE(canvas.FloodFill(12, 3, kBlack)) << "the start lies outside";
  // The line leaves a diagonal gap between (3, 0) and (4, 1) that a 4-connected fill cannot cross.
  canvas.MoveTo(0, 4);
  canvas.LineTo(5, -1);
  canvas.SelectBrush(Brush{kBlue});
  EXPECT_TRUE(canvas.FloodFill(0, 0, kBlack));
  EXPECT_EQ(Picture(bitmap),
            "bbbb#ooooooo/bbb#o#######/bb#oo#rrrrr#/b#ooo#rrrrr#/#oooo#rrrrr#/ooooo#rrrrr#/ooooo#######/oooooooooooo/");
  // A brush of the boundary colour: the outside becomes boundary, the fill still ends.
  canvas.SelectBrush(Brush{kBlack});
  EXPECT_TRUE(canvas.FloodFill(11, 7, kBlack));
  EXPECT_EQ(PixelsOf(bitmap, kWhite).size(), 7u) << "only the closed-off strip above the outline stays";

  // A serpentine through a large bitmap: columns of boundary with a gap alternately at the bottom
  // and the top. Every open pixel is reached, without recursion.
  Bitmap large(4000, 1000, kWhite);
  Canvas snake(large);
  for (int32_t x = 1; x < large.Width(); x += 2) {
    snake.MoveTo(x, x % 4 == 1 ? 0 : 1);
    snake.LineTo(x, x % 4 == 1 ? large.Height() - 1 : large.Height());
  }
  snake.SelectBrush(Brush{kRed});
  EXPECT_TRUE(snake.FloodFill(0, 0, kBlack));
  int64_t red = 0;
  for (int32_t i = 0; i < 4000 * 1000; ++i) red += large.GetPixel(i % 4000, i / 4000) == kRed ? 1 : 0;
  EXPECT_EQ(red, 2000 * 1000 + 2000) << "every open pixel: the even columns and one gap per line";
}

TEST(CanvasTest, BitBltCopiesOnlyWhatLiesInBothBitmaps) {
  Bitmap source(4, 3);
  const char* rows[] = {"rgbo", "#rgb", "o#rg"};
  for (int32_t i = 0; i < 12; ++i) {
    const char c = rows[i / 4][i % 4];
    source.SetPixel(i % 4, i / 4, c == 'r' ? kRed : c == 'g' ? kGreen : c == 'b' ? kBlue : c == 'o' ? kWhite : kBlack);
  }
  Bitmap target(12, 8, kGrey);
  Canvas canvas(target);
  EXPECT_TRUE(canvas.BitBlt(-2, -1, 4, 3, source, 0, 0));  // the destination reaches past the top left
  EXPECT_TRUE(canvas.BitBlt(5, 3, 6, 6, source, -1, 1));   // the source block reaches past the source
  EXPECT_TRUE(canvas.BitBlt(10, 6, 4, 3, source, 0, 0));   // past the bottom right
  EXPECT_TRUE(canvas.BitBlt(0, 5, 0, 3, source, 0, 0));    // zero width
  EXPECT_TRUE(canvas.BitBlt(0, 0, kMax, kMax, source, kMin, 0));
  EXPECT_EQ(Picture(target),
            "gb........../rg........../............/......#rgb../......o#rg../............/..........rg/..........#r/");
  // Within one bitmap, overlapping blocks in every direction copy as if from a snapshot.
  for (const auto& [dx, dy] : {std::pair(1, 1), std::pair(-1, -1), std::pair(2, 0), std::pair(-1, 2)}) {
    Bitmap image(5, 4);
    Canvas(image).BitBlt(0, 0, 4, 3, source, 0, 0);
    const Bitmap snapshot = image;
    Bitmap expected = image;
    Canvas(expected).BitBlt(1 + dx, 1 + dy, 3, 2, snapshot, 0, 0);
    Canvas(image).BitBlt(1 + dx, 1 + dy, 3, 2, image, 0, 0);
    EXPECT_EQ(image, expected) << "shift " << dx << ", " << dy;
  }
}

TEST(CanvasTest, TwoThreadsDrawingUnderOneGuardNeverSeeHalfAnOperation) {
  // One thread repaints the whole bitmap, the other inverts it and then, holding the guard, checks
  // that it is uniform: were an operation not locked whole, a half-done one would show.
  Bitmap bitmap(200, 100, kRed);
  std::mutex guard;
  std::thread painter([&] {
    Canvas canvas(bitmap, &guard);
    for (int i = 0; i < 300; ++i) canvas.FillRect(RECT{0, 0, 200, 100}, Brush{i % 2 == 0 ? kGreen : kBlue});
  });
  Canvas canvas(bitmap, &guard);
  int mixed = 0;
  for (int i = 0; i < 300; ++i) {
    canvas.InvertRect(RECT{0, 0, 200, 100});
    const std::lock_guard<std::mutex> lock(guard);
    const uint8_t* first = bitmap.Data();
    for (size_t b = 0; b < bitmap.RowBytes() * 100; b += 3) mixed += std::equal(first, first + 3, first + b) ? 0 : 1;
  }
  painter.join();
  EXPECT_EQ(mixed, 0);
}

}  // namespace
}  // namespace melvox::platform
