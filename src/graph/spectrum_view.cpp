#include "graph/spectrum_view.h"

#include <cmath>

#include "graph/analyzers/spectrum_color_analyzer.h"
#include "spectral/track_resynthesis.h"

namespace melvox {

platform::COLORREF ColorOf(const ColorRecord& record) {
  return platform::RGB(static_cast<uint8_t>(record.red / 256), static_cast<uint8_t>(record.green / 256),
                       static_cast<uint8_t>(record.blue / 256));
}

bool CSpectrumView::SetSound(CSoundNode* sound, int32_t option) {
  if (sound == nullptr) columns_.clear();  // no sound: the frame alone
  return SetAnalysedSound(sound, option, [this](const CSharedAnalysis::Entry& analysed) {
    if (std::unique_ptr<CWave> resynthesis = ResynthesizeTracks(*analysed.spectral)) {
      CarrySelection(*analysed.wave, *resynthesis);
      SetAnalysisNode(std::move(resynthesis));
    }
    CSpectrumColorAnalyzer analyzer;
    analyzer.Compute(analysed.spectral.get());
    columns_.clear();
    analyzer.RenderColumns(columns_, Width(), ColorRecord{65535, 65535, 65535, Height() - 2});
    if (!columns_.empty()) {
      const float per_frame = static_cast<float>(Width()) / static_cast<float>(analyzer.FrameCount());
      SmoothColumns(columns_, static_cast<int32_t>(std::ceil(per_frame)));
    }
  });
}

bool CSpectrumView::Draw() {
  DrawFrame();
  if (columns_.empty()) return true;
  platform::Canvas& dc = Memory();
  const int32_t bottom = Height() - 2;
  // Consecutive columns of one colour share a brush; a change of colour makes the next one.
  platform::Brush brush{ColorOf(columns_.front())};
  for (size_t i = 0; i < columns_.size(); ++i) {
    const platform::COLORREF color = ColorOf(columns_[i]);
    if (color != brush.color) brush = platform::Brush{color};
    const auto x = static_cast<int32_t>(i);
    dc.FillRect(platform::RECT{x, bottom - columns_[i].level, x + 1, bottom}, brush);
  }
  return true;
}

}  // namespace melvox
