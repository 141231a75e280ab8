// The four views given real sounds: the values they compute, what a click in them plays, and what
// silence and no sound leave (the pixel rules of bars and curves are graph_view_test's).
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/endpoint_detector.h"
#include "graph/crossing_view.h"
#include "graph/envelope_view.h"
#include "graph/graph_type.h"
#include "graph/pitch_view.h"
#include "graph/spectrum_view.h"
#include "samples/speech_like.h"
#include "view_host.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = 22050;
constexpr int32_t kWidth = 200;
constexpr int32_t kHeight = 60;

struct Shown {
  std::vector<int32_t> values;
  int32_t node_length = -1;  // frames of the analysis node, -1 without one
  int32_t node_start = -1, node_end = -1;
  platform::Bitmap pixels;
};

// The view of a type, given sound with option, in a window of its own.
Shown Show(int32_t type, CSoundNode* sound, int32_t option, std::vector<ColorRecord>* columns = nullptr) {
  ViewHost host(kWidth, kHeight);
  CGraphView& view = host.Hold(MakeGraphView(type, host.Area(), &host));
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
  EXPECT_EQ(view.GetInput(), sound);
  return shown;
}

int32_t Largest(const std::vector<int32_t>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

TEST(ViewsTest, EachViewShowsItsSoundAndPlaysItsOwnNode) {
  const std::vector<int16_t> speech = samples::SpeechLike(kRate, samples::DemoPhrase(), {});
  const CountedPtr<CSoundSource> sound = MakeMemorySource(samples::MakeWave16(speech, kRate));
  const auto length = static_cast<int32_t>(speech.size());
  const int32_t scale = CurveScale(kHeight);  // 54

  // The envelope: bars up to half the height; with detection it plays just the detected part.
  const Shown envelope = Show(GRAPH_ENVELOPE, sound.Get(), 1);
  auto detected = sound->GetWave();
  ASSERT_TRUE(DetectEndpoints(*detected));
  EXPECT_EQ(envelope.values.size(), size_t{kWidth});
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
  ASSERT_EQ(columns.size(), size_t{kWidth});
  int32_t bars = 0;
  for (const ColorRecord& column : columns) {
    EXPECT_LE(column.level, kHeight - 2);
    bars += column.level > 0 ? 1 : 0;
  }
  EXPECT_GT(bars, kWidth / 3);
  EXPECT_EQ(spectrum.pixels.GetPixel(kWidth / 2, kHeight - 2), platform::RGB(255, 255, 255));
  EXPECT_GT(spectrum.node_length, 0);
}

TEST(ViewsTest, SilenceGivesZerosAndNoSoundNothing) {
  const CountedPtr<CSoundSource> silence = MakeMemorySource(samples::MakeWave16(std::vector<int16_t>(kRate, 0), kRate));
  for (const int32_t type : kGraphOrder) {
    std::vector<ColorRecord> columns;
    const Shown shown = Show(type, silence.Get(), 0, type == GRAPH_SPECTRUM ? &columns : nullptr);
    EXPECT_EQ(Largest(shown.values), 0) << type;
    for (const ColorRecord& column : columns) EXPECT_EQ(column.level, 0);
    // No sound: no input, no values, no node (what a view draws then, graph_view_test checks).
    const Shown none = Show(type, nullptr, 0);
    EXPECT_TRUE(none.values.empty());
    EXPECT_EQ(none.node_length, -1);
  }
}

TEST(ViewsTest, EightBitSoundsPlayBackAsTheyWereRead) {
  const std::vector<int16_t> speech = samples::SpeechLike(8000, samples::DemoPhrase(), {});
  CountedPtr<CSoundSource> sound = MakeMemorySource(samples::MakeWave8(speech, 8000));
  ViewHost host(kWidth, kHeight);
  CGraphView& view = host.Hold(MakeGraphView(GRAPH_ENVELOPE, host.Area(), &host));
  view.SetSound(sound.Get(), 0);
  EXPECT_NEAR(Largest(view.Values()), kHeight / 2, 1);  // the single-precision scaling may lose a pixel
  // The view turned its copy's samples signed to measure them; played, they are unsigned PCM again.
  CSoundNode& node = *view.GetAnalysisNode();
  std::vector<uint8_t> played(speech.size());
  uint32_t frames = static_cast<uint32_t>(played.size());
  node.Rewind();
  ASSERT_TRUE(node.Read(played.data(), frames, frames));
  const auto original = sound->GetWave();
  EXPECT_TRUE(std::equal(played.begin(), played.end(), original->Data()));
}

}  // namespace
}  // namespace melvox::testing
