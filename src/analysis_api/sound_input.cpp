#include "analysis_api/sound_input.h"

#include <cstdint>

#include "core/mv_exception.h"
#include "platform/wave_format.h"
#include "sound/memory_source.h"
#include "sound/open_sound_file.h"

namespace melvox {

CountedPtr<CSoundSource> OpenSoundInput(const SoundInput& sound) {
  if (!sound.path.empty() || sound.samples.empty()) return OpenSoundFile(sound.path.c_str());
  if (sound.rate == 0) throw CMVException(kErrIncorrectWaveFormat);
  if (sound.samples.size() > size_t{INT32_MAX} / 2) throw CMVException(kErrUnsupportedWaveFormat);
  auto wave = new CWave(MakePcmFormat(1, sound.rate, 16), static_cast<uint32_t>(sound.samples.size() * 2),
                        sound.samples.data());
  wave->SetKind(SampleKind::kSigned);
  return CountedPtr<CSoundSource>(new CMemorySource(CountedPtr<CWave>(wave)));
}

std::unique_ptr<CWave> LoadSoundInput(const SoundInput& sound) {
  std::unique_ptr<CWave> wave = OpenSoundInput(sound)->GetWave();
  if (!wave) throw CMVException(kErrIncorrectWaveFormat);
  return wave;
}

}  // namespace melvox
