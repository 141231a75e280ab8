// COggSource: an Ogg Vorbis file, decoded whole into 16-bit PCM when it opens and then served from
// memory. Unlike WAV files, Ogg Vorbis files may have any number of channels.
#pragma once

#include <memory>
#include <vector>

#include "sound/file_reader.h"
#include "sound/sound_node.h"

namespace melvox {

class COggSource : public CSoundSource {
 public:
  COggSource();
  ~COggSource() override;

  // Decodes the stream behind reader, which the source then owns; the file is closed afterwards.
  // Throws CMVException: 9 "Incorrect wave format" when a header packet fails CheckVorbisHeaders, the
  // decoder refuses the stream or cannot go on decoding it, or the stream states no length or a zero
  // sample rate, 8 when the decoded sound would not fit one block of memory,
  // 11 for read errors. The decoder's state is freed on every path.
  void Open(std::unique_ptr<CFileReader> reader);

  // The stream's own frame count, also when fewer frames could be decoded.
  int32_t GetLength() override;
  bool Read(void* buffer, uint32_t capacity, uint32_t& frames) override;
  void Rewind() override;
  // Nothing to do: the file was closed when the stream had been decoded.
  void Close() override {}
  uint32_t GetDelivered() override;
  std::unique_ptr<CWave> GetWave() override;
  bool ReadRaw(void* buffer, uint32_t& bytes) override;

 private:
  std::unique_ptr<CFileReader> file_;
  std::vector<uint8_t> pcm_;
  uint32_t read_position_ = 0;
  uint32_t delivered_ = 0;
  int32_t total_frames_ = 0;
};

}  // namespace melvox
