// The graph views: the pixels the base and the filled curve draw, the drag highlight and the play
// cursor; then the four views given real sounds: the values they compute, what a click in them plays,
// and what silence and no sound leave.
#include "graph/graph_view.h"

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/endpoint_detector.h"
#include "graph/crossing_view.h"
#include "graph/envelope_view.h"
#include "graph/filled_curve_view.h"
#include "graph/graph_type.h"
#include "graph/pitch_view.h"
#include "graph/spectrum_view.h"
#include "platform/headless_window_system.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"

namespace melvox::testing {
namespace {

using platform::Bitmap;
using platform::COLORREF;
using platform::RECT;
using platform::RGB;

// A headless window that shows one graph view and paints it.
class ViewHost : public platform::Window {
 public:
  ViewHost(int32_t width, int32_t height)
      : system_(platform::HeadlessWindowSystem::Make()), parent_(system_->CreateParent(width, height)) {
    Create(parent_, RECT{0, 0, width, height}, 1);
    Show(true);
  }
  ~ViewHost() override { DestroyWindow(); }

  template <typename View>
  View& Hold(std::unique_ptr<View> view) {
    View& held = *view;
    view_ = std::move(view);
    return held;
  }
  // Paints what is invalid and returns the window's pixels.
  Bitmap Pixels() {
    system_->DispatchMessages();
    return system_->ReadPixels(Handle());
  }
  Bitmap Repainted() {
    Invalidate(nullptr, false);
    return Pixels();
  }
  LRESULT HandleMessage(uint32_t message, WPARAM /*wparam*/, LPARAM /*lparam*/) override {
    if (view_ != nullptr && message == WM_PAINT) {
      if (const auto canvas = BeginPaint()) view_->Paint(**canvas);
    }
    return view_ != nullptr && message == WM_ERASEBKGND ? 1 : 0;
  }

 private:
  std::shared_ptr<platform::HeadlessWindowSystem> system_;
  HWND parent_;
  std::unique_ptr<CGraphView> view_;
};

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

// A view of width x height given values, drawn into a bitmap of its size.
template <typename View>
Bitmap Drawn(int32_t width, int32_t height, std::vector<int32_t> values = {}) {
  TestView<View> view(width, height, nullptr);
  view.Give(std::move(values), nullptr);
  Bitmap bitmap(width, height, RGB(1, 2, 3));
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
  const Bitmap even = Drawn<CGraphView>(3, 10, {0, 3, 0});
  EXPECT_EQ(Column(even, 1), "########.#");
  EXPECT_EQ(Column(even, 0), "##########");
  EXPECT_EQ(Column(Drawn<CGraphView>(3, 11, {0, 3, 0}), 1), "#.######..#");

  // Without values: the frame alone, no fill.
  for (const Bitmap& empty : {Drawn<CGraphView>(6, 8), Drawn<CFilledCurveView>(6, 8)}) {
    for (int32_t x = 1; x < 5; ++x) EXPECT_EQ(Column(empty, x), "#......#") << x;
  }

  // A flat curve of zeros lies 4 rows above the lower edge, two pixels thick (its row and the one
  // above), with the light grey band below it; a curve at 5 rises with a vertical step.
  const Bitmap drawn = Drawn<CFilledCurveView>(8, 12, {0, 0, 0, 0, 5, 5, 5, 5});
  EXPECT_EQ(Column(drawn, 1), "#......##ff#");
  EXPECT_EQ(Column(drawn, 5), "#.##fffffff#");
  EXPECT_EQ(Column(drawn, 7), "############");  // the right edge of the frame
}

TEST(GraphViewTest, DragInvertsTheColumnsBetweenPressAndPointerAndTheCursorFollowsThePosition) {
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

  // The play cursor follows the position, away from the edges, and never waits for a paint.
  const CountedPtr<CSoundSource> sound = MakeMemorySource(samples::MakeWave16(std::vector<int16_t>(1000, 0), 8000));
  view.Give({}, sound.Get());  // no analysis node: the fraction is frame / length
  const Bitmap blank = host.Repainted();
  auto cursor_columns = [&] {
    const Bitmap shown = host.Pixels();
    std::vector<int32_t> columns;
    for (int32_t x = 0; x < 100; ++x) {
      if (shown.GetPixel(x, 10) == kPlayCursorColor) columns.push_back(x);
    }
    // The line runs from the bottom row up to, not including, the top row.
    if (columns.size() == 1) {
      EXPECT_EQ(shown.GetPixel(columns[0], 19), kPlayCursorColor);
      EXPECT_EQ(shown.GetPixel(columns[0], 0), blank.GetPixel(columns[0], 0));
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
  // A selection of 1000 samples carried to `to_count`.
  for (const auto& [to_count, start, end, to_start, to_end] : {std::tuple{2000u, 100, 899, 200, 1798},
                                                               {2000u, 0, 999, 0, 1998},
                                                               {1500u, 333, 999, 499, 1498},
                                                               {10u, 0, 999, 0, 9}}) {
    CWave from(MakePcmFormat(1, 8000, 16), 2000, nullptr);
    from.SetSampleCount(1000);
    from.SetSelection(start, end);
    CWave to(MakePcmFormat(1, 44100, 16), to_count * 2, nullptr);
    to.SetSampleCount(to_count);
    CarrySelection(from, to);
    EXPECT_EQ(to.SelectionStart(), to_start) << to_count;
    EXPECT_EQ(to.SelectionEnd(), to_end) << to_count;
  }
}

constexpr uint32_t kRate = 22050;
constexpr int32_t kWidth = 200;
constexpr int32_t kHeight = 60;

struct Shown {
  std::vector<int32_t> values;
  int32_t node_length = -1;  // frames of the analysis node, -1 without one
  int32_t node_start = -1, node_end = -1;
  Bitmap pixels;
};

// The view of a type, given sound with option, in a window of its own.
Shown Show(int32_t type, CSoundNode* sound, int32_t option, std::vector<ColorRecord>* columns = nullptr) {
  ViewHost host(kWidth, kHeight);
  CGraphView& view = host.Hold(MakeGraphView(type, host.ClientRect(), &host));
  view.SetSound(sound, option);
  Shown shown;
  shown.values = view.Values();
  if (auto* node = dynamic_cast<CMemorySource*>(view.GetAnalysisNode())) {
    shown.node_length = node->GetLength();
    shown.node_start = node->Wave()->SelectionStart();
    shown.node_end = node->Wave()->SelectionEnd();
  }
  if (columns != nullptr) *columns = static_cast<CSpectrumView&>(view).Columns();
  shown.pixels = host.Repainted();
  return shown;
}

int32_t Largest(const std::vector<int32_t>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

TEST(ViewsTest, EachViewShowsItsSoundPlaysItsOwnNodeEightBitSoundsAsReadAndNothingOfSilence) {
  const std::vector<int16_t> speech = samples::SpeechLike(kRate, samples::DemoPhrase(), {});
  const CountedPtr<CSoundSource> sound = MakeMemorySource(samples::MakeWave16(speech, kRate));
  const auto length = static_cast<int32_t>(speech.size());
  const int32_t scale = CurveScale(kHeight);  // 54

  // The envelope: bars up to half the height; with detection it plays just the detected part.
  const Shown envelope = Show(GRAPH_ENVELOPE, sound.Get(), 1);
  auto detected = sound->GetWave();
  ASSERT_TRUE(DetectEndpoints(*detected));
  EXPECT_EQ(Largest(envelope.values), kHeight / 2);
  EXPECT_EQ(envelope.node_length, length);
  EXPECT_EQ(envelope.node_start, detected->SelectionStart());
  EXPECT_EQ(envelope.node_end, detected->SelectionEnd());

  // The crossing graph plays the fricative sound, as long as the sound; its fricatives rise.
  const Shown crossing = Show(GRAPH_CROSSING, sound.Get(), 0);
  EXPECT_EQ(crossing.node_length, length);
  EXPECT_GT(Largest(crossing.values), 0);
  EXPECT_LE(Largest(crossing.values), scale);

  // The pitch graph: the highest pitch reaches the scale (a float product may leave one pixel less);
  // it plays a tone of 441 samples per 10 ms step of the whole sound.
  const Shown pitch = Show(GRAPH_PITCH, sound.Get(), 0);
  EXPECT_GE(Largest(pitch.values), scale - 1);
  EXPECT_LE(Largest(pitch.values), scale);
  EXPECT_EQ(pitch.node_length, ((length - 1) / 220 + 1) * 441);

  // The spectrum: one coloured bar per column, never over the frame's two lower rows.
  std::vector<ColorRecord> columns;
  const Shown spectrum = Show(GRAPH_SPECTRUM, sound.Get(), 0, &columns);
  int32_t bars = 0;
  for (const ColorRecord& column : columns) {
    EXPECT_LE(column.level, kHeight - 2);
    bars += column.level > 0 ? 1 : 0;
  }
  EXPECT_GT(bars, kWidth / 3);
  EXPECT_EQ(spectrum.pixels.GetPixel(kWidth / 2, kHeight - 2), kWhite);
  EXPECT_GT(spectrum.node_length, 0);

  // Silence gives zeros; no sound, no values and no node (what a view draws then, BarsAndCurves checks).
  const CountedPtr<CSoundSource> silence = MakeMemorySource(samples::MakeWave16(std::vector<int16_t>(kRate, 0), kRate));
  for (const int32_t type : kGraphOrder) {
    std::vector<ColorRecord> silent_columns;
    const Shown shown = Show(type, silence.Get(), 0, type == GRAPH_SPECTRUM ? &silent_columns : nullptr);
    EXPECT_EQ(Largest(shown.values), 0) << type;
    for (const ColorRecord& column : silent_columns) EXPECT_EQ(column.level, 0);
    const Shown none = Show(type, nullptr, 0);
    EXPECT_TRUE(none.values.empty());
    EXPECT_EQ(none.node_length, -1);
  }

  // An 8-bit sound: the view turned its copy's samples signed to measure them; played, they are
  // unsigned PCM again.
  const std::vector<int16_t> speech8 = samples::SpeechLike(8000, samples::DemoPhrase(), {});
  CountedPtr<CSoundSource> sound8 = MakeMemorySource(samples::MakeWave8(speech8, 8000));
  ViewHost host(kWidth, kHeight);
  CGraphView& view = host.Hold(MakeGraphView(GRAPH_ENVELOPE, host.ClientRect(), &host));
  view.SetSound(sound8.Get(), 0);
  EXPECT_NEAR(Largest(view.Values()), kHeight / 2, 1);  // the single-precision scaling may lose a pixel
  CSoundNode& node = *view.GetAnalysisNode();
  std::vector<uint8_t> played(speech8.size());
  uint32_t frames = static_cast<uint32_t>(played.size());
  node.Rewind();
  ASSERT_TRUE(node.Read(played.data(), frames, frames));
  EXPECT_TRUE(std::equal(played.begin(), played.end(), sound8->GetWave()->Data()));
}

}  // namespace
}  // namespace melvox::testing
