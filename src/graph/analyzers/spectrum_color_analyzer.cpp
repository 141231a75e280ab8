#include "graph/analyzers/spectrum_color_analyzer.h"

#include <algorithm>
#include <cmath>

#include "spectral/peak_tracks.h"

namespace melvox {
namespace {

constexpr int32_t kPaletteLevel = 2147483647;
constexpr ColorRecord kBlue{0, 0, 65535, kPaletteLevel};
constexpr ColorRecord kGreen{0, 65535, 0, kPaletteLevel};
constexpr ColorRecord kRed{65535, 0, 0, kPaletteLevel};

// Entries begin .. end - 1 from c0 towards c1; entries outside the palette are skipped.
void Gradient(std::vector<ColorRecord>& palette, const ColorRecord& c0, const ColorRecord& c1, int32_t begin,
              int32_t end) {
  const int64_t n = int64_t{end} - begin;
  const auto mix = [n](int32_t a, int32_t b, int64_t i) { return static_cast<int32_t>((a * (n - i) + b * i) / n); };
  for (int64_t i = 0; i < n; ++i) {
    const int64_t entry = begin + i;
    if (entry < 0 || entry >= static_cast<int64_t>(palette.size())) continue;
    palette[entry] = {mix(c0.red, c1.red, i), mix(c0.green, c1.green, i), mix(c0.blue, c1.blue, i), kPaletteLevel};
  }
}

// The length of the first non-empty log spectrum of the results; 0 when all are empty.
int32_t SpectrumBins(const std::vector<FrameResult>& results) {
  for (const FrameResult& result : results) {
    if (!result.log_spectrum.empty()) return static_cast<int32_t>(result.log_spectrum.size());
  }
  return 0;
}

}  // namespace

std::vector<ColorRecord> BuildSpectrumPalette(int32_t bins) {
  if (bins <= 0) return {};
  std::vector<ColorRecord> palette(static_cast<size_t>(bins), kRed);
  const auto a = static_cast<int32_t>(std::floor(static_cast<float>(bins) * 0.6f));
  const auto b = static_cast<int32_t>(std::floor(static_cast<float>(a) * 0.52f));
  Gradient(palette, kBlue, kGreen, 0, b - 1);
  Gradient(palette, kGreen, kRed, b - 1, a);
  return palette;
}

ColorRecord ColorOfPeaks(const std::vector<SpectralPeak>& peaks, const std::vector<ColorRecord>& palette) {
  float total = 0.0f;
  for (const SpectralPeak& peak : peaks) total += peak.energy;
  if (total == 0.0f) return kEmptyColorRecord;
  ColorRecord record{0, 0, 0, TruncateToInt32(std::floor(total + 0.5f))};
  for (const SpectralPeak& peak : peaks) {
    if (peak.bin < 0 || static_cast<size_t>(peak.bin) >= palette.size()) continue;
    const float weight = peak.energy / total;
    const ColorRecord& colour = palette[static_cast<size_t>(peak.bin)];
    record.red += TruncateToInt32(static_cast<float>(colour.red) * weight);
    record.green += TruncateToInt32(static_cast<float>(colour.green) * weight);
    record.blue += TruncateToInt32(static_cast<float>(colour.blue) * weight);
  }
  return record;
}

CSpectrumColorAnalyzer::~CSpectrumColorAnalyzer() = default;

int32_t CSpectrumColorAnalyzer::RowCount() const { return 1; }

uint32_t CSpectrumColorAnalyzer::FrameCount() const {
  return spectral_ == nullptr ? 0 : static_cast<uint32_t>(spectral_->Analysis().Results().size());
}

bool CSpectrumColorAnalyzer::HasData() const { return spectral_ != nullptr && FrameCount() != 0; }

void CSpectrumColorAnalyzer::Clear() {
  spectral_ = nullptr;
  InvalidatePeak();
  std::vector<ColorRecord>().swap(records_);
  first_frame_ = 0;
  last_frame_ = -1;
}

ColorRecord CSpectrumColorAnalyzer::RecordAt(int32_t frame, int32_t /*row*/) const {
  if (!HasData() || frame < first_frame_ || frame > last_frame_) return kEmptyColorRecord;
  const auto index = static_cast<size_t>(int64_t{frame} - first_frame_);
  return index < records_.size() ? records_[index] : kEmptyColorRecord;
}

void CSpectrumColorAnalyzer::Compute(const CSpectralAnalysis* spectral) {
  Clear();
  if (spectral == nullptr) return;
  spectral_ = spectral;
  const int32_t bins = SpectrumBins(spectral->Analysis().Results());
  if (palette_.size() != static_cast<size_t>(bins)) palette_ = BuildSpectrumPalette(bins);

  const CPeakTracks* tracks = spectral->PeakTracks();
  if (tracks == nullptr) return;
  first_frame_ = tracks->FirstFrame();
  last_frame_ = tracks->LastFrame();
  records_.resize(static_cast<size_t>(std::max(tracks->FrameSpan(), 0)));
  for (size_t i = 0; i < records_.size(); ++i) {
    records_[i] = ColorOfPeaks(tracks->PointsAt(first_frame_ + static_cast<int32_t>(i)), palette_);
  }
}

}  // namespace melvox
