// CPcmReader: the decoder of sources whose data already is PCM; it copies raw bytes as frames.
#pragma once

#include "sound/sound_node.h"

namespace melvox {

class CPcmReader : public CSampleDecoder {
 public:
  explicit CPcmReader(CSoundSource* source) : source_(source) {}

  void Reset() override {}
  // Asks the source for frames x nChannels x wBitsPerSample / 8 bytes; frames becomes the whole
  // frames that arrived.
  bool Read(void* buffer, uint32_t capacity, uint32_t& frames) override;

 private:
  CSoundSource* source_;
};

}  // namespace melvox
