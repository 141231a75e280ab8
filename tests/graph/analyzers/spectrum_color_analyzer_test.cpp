#include "graph/analyzers/spectrum_color_analyzer.h"

#include <gtest/gtest.h>

#include "given_records.h"

namespace melvox {
namespace {

constexpr int32_t kLevel = 2147483647;
constexpr ColorRecord kGreen{0, 65535, 0, kLevel};
constexpr ColorRecord kRed{65535, 0, 0, kLevel};

TEST(SpectrumColorAnalyzer, PaletteRunsFromBlueThroughGreenToRed) {
  struct Case {
    int32_t bins, red;  // red from entry a on
    std::vector<std::pair<int32_t, ColorRecord>> entries;
  } const cases[] = {
      // a = 36, b = 18: blue to green over 0-16, green to red over 17-35, stopping one step short.
      {60, 36, {{0, {0, 0, 65535, kLevel}}, {17, kGreen}, {35, {62085, 3449, 0, kLevel}}}},
      // a = 22, b = 11: blue to green over 0-9 (entry 5 halfway), green to red over 10-21.
      {37, 22, {{5, {0, 32767, 32767, kLevel}}, {10, kGreen}, {21, {60073, 5461, 0, kLevel}}}},
  };
  for (const Case& c : cases) {
    const std::vector<ColorRecord> palette = BuildSpectrumPalette(c.bins);
    ASSERT_EQ(palette.size(), static_cast<size_t>(c.bins));
    for (const auto& [i, colour] : c.entries) EXPECT_EQ(palette[i], colour) << i << " of " << c.bins;
    for (int32_t i = c.red; i < c.bins; ++i) EXPECT_EQ(palette[i], kRed) << i << " of " << c.bins;
  }
}

TEST(SpectrumColorAnalyzer, MixesThePaletteColoursOfAStepsPeaksByEnergy) {
  const std::vector<ColorRecord> palette = BuildSpectrumPalette(60);
  struct Case {
    std::vector<SpectralPeak> peaks;
    ColorRecord record;
  } const cases[] = {
      {{{0, 17, 30.0f}, {0, 40, 10.0f}}, {16383, 49151, 0, 40}},
      {{{0, 17, 12.5f}}, {0, 65535, 0, 13}},
      {{{0, 17, 12.49f}}, {0, 65535, 0, 12}},
      {{}, kEmptyColorRecord},
      {{{0, 17, 0.0f}}, kEmptyColorRecord},
  };
  for (const Case& c : cases) EXPECT_EQ(ColorOfPeaks(c.peaks, palette), c.record) << c.peaks.size() << " peaks";
}

TEST(SpectrumColorAnalyzer, ColoursTheTrackedStepsOfAHarmonicTone) {
  auto wave = testing::SilenceThenTone();
  const CSoundAnalysis analysis(wave.get(), 0);
  const CSpectralAnalysis spectral(analysis);
  CSpectrumColorAnalyzer analyzer;
  analyzer.Compute(&spectral);
  ASSERT_EQ(analyzer.FrameCount(), analysis.Results().size());
  EXPECT_EQ(analyzer.Palette().size(), analysis.Results()[50].log_spectrum.size());
  // The silence holds no peaks; the tone's steps are coloured, with a level.
  for (int32_t f = 0; f < 28; ++f) EXPECT_EQ(analyzer.RecordAt(f, 0), kEmptyColorRecord) << "step " << f;
  for (int32_t f = 35; f < static_cast<int32_t>(analyzer.FrameCount()) - 5; ++f) {
    EXPECT_GT(analyzer.RecordAt(f, 0).level, 0) << "step " << f;
  }
  // An analysis too short for any step has no tracks: no data, every step the empty record.
  auto short_wave = samples::MakeWave16(std::vector<int16_t>(100, 1000), 22050);
  const CSoundAnalysis empty(short_wave.get(), 0);
  const CSpectralAnalysis no_tracks(empty);
  analyzer.Compute(&no_tracks);
  EXPECT_EQ(analyzer.RecordAt(0, 0), kEmptyColorRecord);
  std::vector<ColorRecord> out(2);
  EXPECT_FALSE(analyzer.RenderColumns(out, 200, {65535, 65535, 65535, 98}));
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace melvox
