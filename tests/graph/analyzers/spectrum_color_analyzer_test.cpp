#include "graph/analyzers/spectrum_color_analyzer.h"

#include <gtest/gtest.h>

#include "given_records.h"

namespace melvox {
namespace {

constexpr int32_t kLevel = 2147483647;
constexpr ColorRecord kGreen{0, 65535, 0, kLevel};
constexpr ColorRecord kRed{65535, 0, 0, kLevel};

// The palette runs from blue at the lowest bin through green to red from about 0.6 of the bins on; a
// step's colour mixes its peaks' palette colours by energy, and a step without energy has none.
TEST(SpectrumColorAnalyzer, PaletteRunsFromBlueThroughGreenToRedAndPeaksMixByEnergy) {
  const std::vector<ColorRecord> palette = BuildSpectrumPalette(60);
  ASSERT_EQ(palette.size(), 60u);
  EXPECT_EQ(palette[0], (ColorRecord{0, 0, 65535, kLevel}));
  EXPECT_EQ(palette[17], kGreen);
  for (int32_t i = 36; i < 60; ++i) EXPECT_EQ(palette[i], kRed) << i;
  EXPECT_EQ(ColorOfPeaks({{0, 17, 30.0f}, {0, 40, 10.0f}}, palette), (ColorRecord{16383, 49151, 0, 40}));
  EXPECT_EQ(ColorOfPeaks({}, palette), kEmptyColorRecord);
  EXPECT_EQ(ColorOfPeaks({{0, 17, 0.0f}}, palette), kEmptyColorRecord);
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
