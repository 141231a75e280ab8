// Fuzz target: arbitrary samples through everything the library derives from a sound: endpoint
// detection, the analysis with its segment lists, note list and peak tracks, the sounds made from it
// (pitch tone, fricative sound, resynthesis, slowed version), the comparison score and the aligned
// comparison.
//
// Input: byte 0 picks the sample rate, byte 1 the sample size and kind and whether endpoints are
// detected first, byte 2 how often the samples repeat (so that a few bytes make a sound of seconds),
// byte 3 the slow-down level; the rest are the samples.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "alignment/aligned_comparison.h"
#include "alignment/aligned_sound.h"
#include "analysis/endpoint_detector.h"
#include "analysis/fricative_sound.h"
#include "analysis/pitch_tone.h"
#include "analysis/sound_analysis.h"
#include "core/mv_exception.h"
#include "sound/time_stretcher.h"
#include "spectral/comparison_score.h"
#include "spectral/spectral_analysis.h"
#include "spectral/track_resynthesis.h"

namespace {

using namespace melvox;

constexpr uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000};
constexpr size_t kHeader = 4;
constexpr size_t kMaxSoundBytes = 1u << 17;  // a few seconds: long enough for every product, fast to fuzz

std::unique_ptr<CWave> MakeWave(const uint8_t* data, size_t size) {
  const uint32_t rate = kRates[data[0] % 8];
  const bool eight_bit = (data[1] & 1) != 0;
  std::vector<uint8_t> bytes;
  const size_t repeats = 1 + data[2] % 32;
  for (size_t r = 0; r < repeats && bytes.size() + size - kHeader <= kMaxSoundBytes; ++r) {
    bytes.insert(bytes.end(), data + kHeader, data + size);
  }
  if (!eight_bit && bytes.size() % 2 != 0) bytes.pop_back();
  auto wave = std::make_unique<CWave>(MakePcmFormat(1, rate, eight_bit ? 8 : 16), static_cast<uint32_t>(bytes.size()),
                                      bytes.data());
  // 8-bit samples arrive unsigned, signed, or with their kind not stated.
  const SampleKind kinds[] = {SampleKind::kUnsigned8, SampleKind::kSigned, SampleKind::kNotStated};
  wave->SetKind(eight_bit ? kinds[(data[1] >> 1) % 3] : SampleKind::kSigned);
  return wave;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader + 2) return 0;
  try {
    std::unique_ptr<CWave> wave = MakeWave(data, size);
    if ((data[1] & 8) != 0) DetectEndpoints(*wave);
    CSoundAnalysis analysis(wave.get(), 0);
    const CSpectralAnalysis spectral(analysis);
    analysis.VoicedSegments();
    analysis.NoisySegments();
    spectral.Notes();
    spectral.PeakTracks();
    const auto contour = analysis.GetPitchContour(0, static_cast<int32_t>(wave->SampleCount()));
    MakePitchTone(analysis);
    MakeFricativeSound(analysis, *wave);
    ResynthesizeTracks(spectral);
    CTimeStretcher stretcher;
    stretcher.MakeStretched(*wave, contour, -1 - static_cast<int32_t>(data[3] % 200));

    // Against the first half of itself: two analyses of different lengths.
    CWave half(wave->Format(), wave->Size() / 2, wave->Data());
    half.SetKind(wave->Kind());
    CSoundAnalysis other(&half, 0);
    CompareAnalyses(spectral, CSpectralAnalysis(other));
    const CAlignedSound aligned(*wave, (data[1] & 8) != 0);
    CompareAligned(aligned.Analysis(), CAlignedSound(half, true).Analysis());
  } catch (const CMVException&) {
    // Sounds the analysis does not take end in the library's own error.
  }
  return 0;
}
