#include "sound/pcm_reader.h"

namespace melvox {

bool CPcmReader::Read(void* buffer, uint32_t capacity, uint32_t& frames) {
  WAVEFORMATEX format;
  source_->GetFormat(format);
  const uint32_t frame_bytes = uint32_t{format.wBitsPerSample} * format.nChannels / 8;
  const uint64_t wanted = uint64_t{frame_bytes} * frames;
  uint32_t bytes = static_cast<uint32_t>(wanted);
  if (format.nChannels == 0 || frame_bytes == 0 || wanted > capacity || !source_->ReadRaw(buffer, bytes)) {
    frames = 0;
    return false;
  }
  frames = bytes / frame_bytes;
  return true;
}

}  // namespace melvox
