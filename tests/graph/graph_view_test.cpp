// The view base and the filled curve: the pixels they draw, the drag highlight and the play cursor.
#include "graph/graph_view.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "graph/filled_curve_view.h"
#include "view_host.h"

namespace melvox::testing {
namespace {

using platform::Bitmap;
using platform::COLORREF;
using platform::RECT;
using platform::RGB;

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Exposes the values, the analysis node and the lock of a view to the tests.
template <typename Base>
class TestView : public Base {
 public:
  TestView(int32_t width, int32_t height, platform::Window* window) : Base(RECT{0, 0, width, height}, window) {}
  void Give(std::vector<int32_t> values, CSoundNode* input) {
    this->SetSound(input, 0);
    this->values_ = std::move(values);
  }
  void PlayFrom(std::unique_ptr<CWave> wave) { this->SetAnalysisNode(std::move(wave)); }
  // Draws as usual, but first an engine's thread reports a position: the view's lock is held, so
  // the cursor must not appear, and the thread must not wait.
  bool Draw() override {
    if (cursor_while_drawing >= 0) std::thread([this] { this->SetPosition(cursor_while_drawing); }).join();
    return Base::Draw();
  }
  int32_t cursor_while_drawing = -1;
};

// The view drawn into a bitmap of its own size.
template <typename View>
Bitmap Drawn(View& view) {
  Bitmap bitmap(view.Area().right, view.Area().bottom, RGB(1, 2, 3));
  platform::Canvas canvas(bitmap);
  EXPECT_TRUE(view.Paint(canvas));
  return bitmap;
}

// One column of a bitmap as a string: '#' frame/curve grey, 'f' fill grey, '.' white, '?' other.
std::string Column(const Bitmap& bitmap, int32_t x) {
  std::string column;
  for (int32_t y = 0; y < bitmap.Height(); ++y) {
    const COLORREF c = bitmap.GetPixel(x, y);
    column += c == kGraphFrameColor ? '#' : c == kGraphFillColor ? 'f' : c == kWhite ? '.' : '?';
  }
  return column;
}

TEST(GraphViewTest, BarsAndCurvesFollowTheirPixelRules) {
  // Symmetric bars: value 3 covers rows 1 to 7 at height 10 (an even height reaches one row further
  // up) and rows 2 to 7 at height 11; a column of 0 draws nothing; the frame is grey on white.
  TestView<CGraphView> even(3, 10, nullptr);
  even.Give({0, 3, 0}, nullptr);
  EXPECT_EQ(Column(Drawn(even), 1), "########.#");
  EXPECT_EQ(Column(Drawn(even), 0), "##########");
  TestView<CGraphView> odd(3, 11, nullptr);
  odd.Give({0, 3, 0}, nullptr);
  EXPECT_EQ(Column(Drawn(odd), 1), "#.######..#");

  // Without values: the frame alone, no fill.
  TestView<CGraphView> bars(6, 8, nullptr);
  TestView<CFilledCurveView> curve(6, 8, nullptr);
  for (const Bitmap& empty : {Drawn(bars), Drawn(curve)}) {
    for (int32_t x = 1; x < 5; ++x) EXPECT_EQ(Column(empty, x), "#......#") << x;
  }

  // A flat curve of zeros lies 4 rows above the lower edge, two pixels thick (its row and the one
  // above), with the light grey band below it; a curve at 5 rises with a vertical step.
  TestView<CFilledCurveView> flat(8, 12, nullptr);
  flat.Give({0, 0, 0, 0, 5, 5, 5, 5}, nullptr);
  const Bitmap drawn = Drawn(flat);
  EXPECT_EQ(Column(drawn, 1), "#......##ff#");
  EXPECT_EQ(Column(drawn, 5), "#.##fffffff#");
  EXPECT_EQ(Column(drawn, 7), "############");  // the right edge of the frame
}

TEST(GraphViewTest, DragShowsTheColumnsBetweenPressAndPointerInverted) {
  ViewHost host(100, 20);
  auto& view = host.Hold(std::make_unique<TestView<CGraphView>>(100, 20, &host));
  view.Give(std::vector<int32_t>(100, 4), nullptr);
  const Bitmap plain = host.Repainted();
  auto inverted_columns = [&](const Bitmap& shown) {
    std::vector<int32_t> columns;
    for (int32_t x = 0; x < 100; ++x) {
      if (shown.GetPixel(x, 3) == (plain.GetPixel(x, 3) ^ 0xFFFFFFu)) columns.push_back(x);
    }
    return columns;
  };

  view.MouseDown(50, 10);
  EXPECT_TRUE(host.HasCapture());
  view.MouseMove(20, 10);
  EXPECT_EQ(inverted_columns(host.Pixels()).size(), 30u);
  view.MouseMove(60, 10);
  EXPECT_EQ(inverted_columns(host.Pixels()), (std::vector<int32_t>{50, 51, 52, 53, 54, 55, 56, 57, 58, 59}));
  view.MouseUp(60, 10);
  EXPECT_FALSE(host.HasCapture());
  EXPECT_TRUE(inverted_columns(host.Pixels()).empty());
  EXPECT_TRUE(inverted_columns(host.Repainted()).empty());

  // A press outside the area starts nothing; a drag past the edges inverts up to them only.
  for (const auto& [x, y] : {std::pair{100, 5}, std::pair{-1, 5}, std::pair{10, 20}}) {
    view.MouseDown(x, y);
    EXPECT_FALSE(view.IsDragging()) << x << "," << y;
    EXPECT_FALSE(host.HasCapture());
  }
  view.MouseDown(95, 5);
  view.MouseMove(400, 5);
  EXPECT_EQ(inverted_columns(host.Pixels()).size(), 5u);
  view.MouseUp(400, 5);
}

TEST(GraphViewTest, CursorFollowsThePositionAwayFromTheEdgesAndNeverWaitsForAPaint) {
  ViewHost host(100, 20);
  auto& view = host.Hold(std::make_unique<TestView<CGraphView>>(100, 20, &host));
  const CountedPtr<CSoundSource> sound = MakeMemorySource(samples::MakeWave16(std::vector<int16_t>(1000, 0), 8000));
  view.Give({}, sound.Get());  // no analysis node: the fraction is frame / length
  const Bitmap plain = host.Repainted();
  auto cursor_columns = [&] {
    const Bitmap shown = host.Pixels();
    std::vector<int32_t> columns;
    for (int32_t x = 0; x < 100; ++x) {
      if (shown.GetPixel(x, 10) == kPlayCursorColor) columns.push_back(x);
    }
    // The line runs from the bottom row up to, not including, the top row.
    if (columns.size() == 1) {
      EXPECT_EQ(shown.GetPixel(columns[0], 19), kPlayCursorColor);
      EXPECT_EQ(shown.GetPixel(columns[0], 0), plain.GetPixel(columns[0], 0));
    }
    return columns;
  };
  view.SetPosition(5);  // column 0
  EXPECT_TRUE(cursor_columns().empty());
  view.SetPosition(500);
  EXPECT_EQ(cursor_columns(), std::vector<int32_t>{50});
  view.SetPosition(995);  // the last column: the old line stays
  EXPECT_EQ(cursor_columns(), std::vector<int32_t>{50});
  view.SetPosition(300);  // the old line goes back to the bitmap
  EXPECT_EQ(cursor_columns(), std::vector<int32_t>{30});

  // With an analysis node, the selection of its sound spans the width.
  auto wave = std::make_unique<CWave>(MakePcmFormat(1, 8000, 16), 4000, nullptr);
  wave->SetSelection(1000, 1800);
  view.PlayFrom(std::move(wave));
  view.SetPosition(1200);
  EXPECT_EQ(cursor_columns(), std::vector<int32_t>{25});
  view.SetPosition(1900);  // past the selection: the last column, not drawn
  EXPECT_EQ(cursor_columns(), std::vector<int32_t>{25});

  // A position that arrives while the view paints is skipped.
  view.cursor_while_drawing = 1400;
  view.Give({}, sound.Get());
  host.Repainted();
  EXPECT_TRUE(cursor_columns().empty());
}

TEST(GraphViewTest, SelectionCarriesOverInProportion) {
  struct Case {
    uint32_t from_count, to_count;
    int32_t start, end, to_start, to_end;
  };
  for (const Case& c : {Case{1000, 2000, 100, 899, 200, 1798}, Case{1000, 2000, 0, 999, 0, 1998},
                        Case{1000, 1500, 333, 999, 499, 1498}, Case{1000, 10, 0, 999, 0, 9}}) {
    CWave from(MakePcmFormat(1, 8000, 16), c.from_count * 2, nullptr);
    from.SetSampleCount(c.from_count);
    from.SetSelection(c.start, c.end);
    CWave to(MakePcmFormat(1, 44100, 16), c.to_count * 2, nullptr);
    to.SetSampleCount(c.to_count);
    CarrySelection(from, to);
    EXPECT_EQ(to.SelectionStart(), c.to_start) << c.to_count;
    EXPECT_EQ(to.SelectionEnd(), c.to_end) << c.to_count;
  }
}

}  // namespace
}  // namespace melvox::testing
