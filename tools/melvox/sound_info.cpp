#include "sound_info.h"

#include <cinttypes>

#include "sound/ogg_source.h"
#include "sound/wave_file_source.h"

namespace melvox::cli {

void PrintSoundInfo(CSoundSource& source, std::FILE* out, const char* indent) {
  const char* kind = "pcm";
  if (dynamic_cast<COggSource*>(&source) != nullptr) {
    kind = "ogg";
  } else if (auto* wav = dynamic_cast<CWaveFileSource*>(&source);
             wav != nullptr && wav->FileFormatTag() == WAVE_FORMAT_IMA_ADPCM) {
    kind = "adpcm";
  }
  WAVEFORMATEX format;
  source.GetFormat(format);
  const int64_t frames = source.GetLength();
  const int64_t duration = format.nSamplesPerSec != 0 ? frames * 1000 / format.nSamplesPerSec : 0;
  std::fprintf(out, "%sformat: %s\n", indent, kind);
  std::fprintf(out, "%srate: %u\n", indent, static_cast<unsigned>(format.nSamplesPerSec));
  std::fprintf(out, "%schannels: %u\n", indent, static_cast<unsigned>(format.nChannels));
  std::fprintf(out, "%sbits: %u\n", indent, static_cast<unsigned>(format.wBitsPerSample));
  std::fprintf(out, "%sframes: %" PRId64 "\n", indent, frames);
  std::fprintf(out, "%sduration_ms: %" PRId64 "\n", indent, duration);
}

}  // namespace melvox::cli
