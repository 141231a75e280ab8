#include "audio/recording_comparison.h"

#include <memory>
#include <utility>

#include "analysis/endpoint_detector.h"
#include "sound/memory_source.h"
#include "sound/open_sound_file.h"
#include "spectral/comparison_score.h"

namespace melvox {
namespace {

// A memory source whose decoded copy keeps the selection of the wave it holds (a plain memory
// source's copy selects the whole sound), so that the comparison analyses the detected part: the
// sound without the room noise a recording holds before and after it. The analysis still takes its
// noise level from the start of the whole wave.
class CSelectionSource final : public CMemorySource {
 public:
  using CMemorySource::CMemorySource;

  std::unique_ptr<CWave> GetWave() override {
    std::unique_ptr<CWave> copy = CMemorySource::GetWave();
    if (copy != nullptr) copy->SetSelection(Wave()->SelectionStart(), Wave()->SelectionEnd());
    return copy;
  }
};

// The file decoded whole, with the start and end of its sound detected (the whole sound stays
// selected when none is found); an empty holder when it gives no wave.
CountedPtr<CSoundSource> DecodeDetected(const char* path) {
  CountedPtr<CSoundSource> file = OpenSoundFile(path);
  if (!file) return {};
  std::unique_ptr<CWave> wave = file->GetWave();
  if (wave == nullptr) return {};
  DetectEndpoints(*wave);
  return CountedPtr<CSoundSource>(new CSelectionSource(CountedPtr<CWave>(wave.release())));
}

}  // namespace

int32_t CompareRecording(const char* reference_path, const char* recording_path) {
  CountedPtr<CSoundSource> reference = DecodeDetected(reference_path);
  CountedPtr<CSoundSource> recording = DecodeDetected(recording_path);
  if (!reference || !recording) return 0;
  return CompareSources(*reference, *recording);
}

}  // namespace melvox
