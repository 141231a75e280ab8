// Fuzz target: arbitrary bytes opened as a sound file through a reader over memory, then decoded the
// two ways the library uses a source: GetWave (analysis) and Read in playback-sized buffers.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/mv_exception.h"
#include "sound/file_reader.h"
#include "sound/open_sound_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace melvox;
  try {
    CountedPtr<CSoundSource> source = OpenSoundFile(std::make_unique<CMemoryFileReader>(data, size));
    std::unique_ptr<CWave> wave = source->GetWave();
    source->Rewind();
    uint8_t buffer[2048];
    WAVEFORMATEX format;
    source->GetFormat(format);
    const uint32_t frames_per_buffer = format.nBlockAlign != 0 ? sizeof buffer / format.nBlockAlign : 1;
    for (int i = 0; i < 4096; ++i) {
      uint32_t frames = frames_per_buffer;
      if (!source->Read(buffer, sizeof buffer, frames) || frames == 0) break;
    }
    source->Close();
  } catch (const CMVException&) {
    // Refusing malformed input with the library's own error is the expected outcome.
  }
  return 0;
}
