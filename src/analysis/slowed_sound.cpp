#include "analysis/slowed_sound.h"

#include <memory>
#include <vector>

#include "analysis/sound_analysis.h"
#include "core/mv_exception.h"
#include "sound/memory_source.h"
#include "sound/time_stretcher.h"

namespace melvox {

namespace {

// The stretched wave with its selection the whole of it, or null.
std::unique_ptr<CWave> Stretch(CSoundSource& source, int32_t level) {
  source.Rewind();
  std::unique_ptr<CWave> wave = source.GetWave();
  if (!wave) return nullptr;
  std::vector<int16_t> contour;
  try {
    // The stretch reads only the pitch: the steps skip the spectrum.
    CSoundAnalysis analysis(wave.get(), 0, StepMeasures::kWithoutSpectrum);
    // One pitch per 10 ms step of the whole wave, from its first sample.
    contour = analysis.GetPitchContour(0, static_cast<int32_t>(wave->SampleCount()));
  } catch (const CMVException& error) {
    if (error.GetCode() != kErrUnsupportedWaveFormat) throw;
    return nullptr;
  }
  CTimeStretcher stretcher;
  std::unique_ptr<CWave> stretched = stretcher.MakeStretched(*wave, contour, level);
  if (stretched) {
    stretched->SetSelection(stretched->SelectionStart(), static_cast<int32_t>(stretched->SampleCount()) - 1);
  }
  return stretched;
}

}  // namespace

CountedPtr<CSoundSource> PrepareSlowed(CSoundSource& source, int32_t level) {
  std::unique_ptr<CWave> stretched = Stretch(source, level);
  if (!stretched) return {};
  return MakeMemorySource(std::move(stretched));
}

std::unique_ptr<CWave> MakeSlowedWave(CSoundSource& source, int32_t level) {
  std::unique_ptr<CWave> stretched = Stretch(source, level);
  // As CMemorySource::GetWave's copy (CWave made from a block): the count and selection from the size.
  if (stretched) {
    const uint32_t count = stretched->Size() / stretched->BytesPerSample();
    stretched->SetSampleCount(count);
    stretched->SetSelection(0, static_cast<int32_t>(count) - 1);
  }
  return stretched;
}

}  // namespace melvox
