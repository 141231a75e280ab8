#include "sound/open_sound_file.h"

#include <cstring>

#include "sound/ogg_source.h"
#include "sound/wave_file_source.h"

namespace melvox {

CountedPtr<CSoundSource> OpenSoundFile(const char* path) {
  auto reader = std::make_unique<CFileReader>();
  reader->Open(path);
  return OpenSoundFile(std::move(reader));
}

CountedPtr<CSoundSource> OpenSoundFile(std::unique_ptr<CFileReader> reader) {
  char magic[4] = {};
  uint32_t got = 0;
  reader->Seek(0, 0);
  reader->Read(magic, 4, got);
  reader->Seek(0, 0);
  if (got == 4 && std::memcmp(magic, "OggS", 4) == 0) {
    auto source = std::make_unique<COggSource>();
    source->Open(std::move(reader));
    return CountedPtr<CSoundSource>(source.release());
  }
  auto source = std::make_unique<CWaveFileSource>();
  source->Open(std::move(reader));
  return CountedPtr<CSoundSource>(source.release());
}

}  // namespace melvox
