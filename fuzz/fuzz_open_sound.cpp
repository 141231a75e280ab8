// Fuzz target: arbitrary bytes opened as a sound file through a reader over memory, then decoded the
// two ways the library uses a source: GetWave (analysis) and Read in playback-sized buffers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include <ogg/ogg.h>

#include "core/mv_exception.h"
#include "sound/file_reader.h"
#include "sound/open_sound_file.h"

// libFuzzer's own mutation. Weak, because the replay build links no fuzzer and never mutates.
extern "C" __attribute__((weak)) size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

// Every Ogg page carries a checksum, and a page whose checksum fails is skipped before the decoder sees
// it, so plain mutations of an Ogg file almost never reach the decoder. After three mutations in four,
// every whole page gets its checksum again (the fourth keeps failing checksums explored).
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size, unsigned int seed) {
  size = LLVMFuzzerMutate(data, size, max_size);
  if (seed % 4 == 0) return size;
  for (size_t at = 0; at + 27 <= size;) {
    const size_t header = 27 + size_t{data[at + 26]};
    size_t body = 0;
    for (size_t i = 27; i < header && at + i < size; ++i) body += data[at + i];
    if (std::memcmp(data + at, "OggS", 4) != 0 || at + header + body > size) {
      ++at;
      continue;
    }
    ogg_page page{data + at, static_cast<long>(header), data + at + header, static_cast<long>(body)};
    ogg_page_checksum_set(&page);
    at += header + body;
  }
  return size;
}

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
