// GetSoundInfo, FindSoundEndpoints and AnalyzeSteps of include/melvox/analysis.h.
#include <memory>

#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "analysis_api/sound_input.h"
#include "core/public_call.h"
#include "melvox/analysis.h"
#include "sound/ogg_source.h"
#include "sound/wave_file_source.h"

namespace melvox {
namespace {

// The wave's selection as endpoints.
SoundEndpoints PartOf(const CWave& wave, bool found) {
  SoundEndpoints part;
  const uint32_t rate = wave.Format().nSamplesPerSec;
  part.found = found;
  part.first_sample = wave.SelectionStart();
  part.last_sample = wave.SelectionEnd();
  if (rate != 0) {
    part.start_ms = static_cast<int32_t>(int64_t{part.first_sample} * 1000 / rate);
    part.end_ms = static_cast<int32_t>((int64_t{part.last_sample} + 1) * 1000 / rate);
  }
  return part;
}

const char* FormatName(CSoundSource& source, bool samples) {
  if (samples) return "samples";
  if (dynamic_cast<COggSource*>(&source) != nullptr) return "ogg";
  if (auto* wav = dynamic_cast<CWaveFileSource*>(&source);
      wav != nullptr && wav->FileFormatTag() == WAVE_FORMAT_IMA_ADPCM) {
    return "adpcm";
  }
  return "pcm";
}

}  // namespace

SoundInfo GetSoundInfo(const SoundInput& sound) {
  return GuardPublicCall([&] {
    CountedPtr<CSoundSource> source = OpenSoundInput(sound);
    WAVEFORMATEX format;
    source->GetFormat(format);
    SoundInfo info;
    info.format = FormatName(*source, sound.path.empty() && !sound.samples.empty());
    info.rate = format.nSamplesPerSec;
    info.channels = format.nChannels;
    info.bits = format.wBitsPerSample;
    info.frames = source->GetLength();
    info.duration_ms = info.rate != 0 ? info.frames * 1000 / info.rate : 0;
    return info;
  });
}

SoundEndpoints FindSoundEndpoints(const SoundInput& sound) {
  return GuardPublicCall([&] {
    std::unique_ptr<CWave> wave = LoadSoundInput(sound);
    const bool found = DetectEndpoints(*wave);
    return PartOf(*wave, found);
  });
}

StepAnalysis AnalyzeSteps(const SoundInput& sound, bool detect_part) {
  return GuardPublicCall([&] {
    std::unique_ptr<CWave> wave = LoadSoundInput(sound);
    const bool found = detect_part && DetectEndpoints(*wave);
    // Pitch and level come from the frames themselves: the transform is not needed.
    const CSoundAnalysis analysis(wave.get(), 0, StepMeasures::kWithoutSpectrum);
    StepAnalysis result;
    result.part = PartOf(*wave, found);
    const int32_t hop = analysis.Hop();
    if (hop <= 0) return result;
    // The steps of the wave's own 10 ms grid from the one holding the part's first sample to the one
    // holding its last; steps the analysis did not reach stay silent.
    const std::vector<FrameResult>& results = analysis.Results();
    const int32_t first_step = analysis.SelectionStart() / hop;
    const int32_t last_step = analysis.SelectionEnd() / hop;
    for (int32_t step = first_step; step <= last_step; ++step) {
      AnalysisStep out;
      out.time_ms = step * 10;
      const auto index = static_cast<size_t>(step - first_step);
      if (index < results.size()) {
        out.pitch_hz = results[index].pitch_hz;
        out.level_db = results[index].level_db;
        out.silent = results[index].silent;
      }
      result.steps.push_back(out);
    }
    return result;
  });
}

}  // namespace melvox
