// CWaveFileSource: a RIFF/WAVE file holding mono PCM (8 or 16 bits) or mono IMA ADPCM. PCM is read
// from the file as it plays; IMA ADPCM is decoded whole, once, when the file opens.
#pragma once

#include <memory>
#include <vector>

#include "sound/file_reader.h"
#include "sound/sound_node.h"

namespace melvox {

class CWaveFileSource : public CSoundSource {
 public:
  CWaveFileSource();
  ~CWaveFileSource() override;

  // Reads the file's header through reader, which the source then owns. Throws CMVException:
  // 9 "Incorrect wave format" for a file that is not RIFF/WAVE, has no "fmt " chunk right after the
  // RIFF header, more than one channel, no "data" chunk, a zero sample rate or a malformed format
  // chunk; 8 "Unsupported wave format" for a format tag other than PCM and IMA ADPCM, or PCM samples of
  // other than 8 or 16 bits; 11 for read errors.
  void Open(std::unique_ptr<CFileReader> reader);

  int32_t GetLength() override;
  // Counts the frames asked for (GetDelivered), then reads through the decoder.
  bool Read(void* buffer, uint32_t capacity, uint32_t& frames) override;
  void Rewind() override;
  // Closes the file and frees the format chunk.
  void Close() override;
  uint32_t GetDelivered() override;
  std::unique_ptr<CWave> GetWave() override;
  // Bytes of the "data" chunk from the current read position.
  bool ReadRaw(void* buffer, uint32_t& bytes) override;

  // The format tag of the file: WAVE_FORMAT_PCM or WAVE_FORMAT_IMA_ADPCM.
  uint16_t FileFormatTag() const { return file_tag_; }

 private:
  // Reads the next chunk header. For "RIFF", the form type follows and the position stays inside
  // the chunk; for any other id the position moves past the chunk body. False when the file ends
  // before a whole header.
  bool ReadChunkHeader();
  void ReadFormatChunk();
  void CheckFormat(uint16_t tag, uint32_t rate, uint16_t bits, uint16_t block_align) const;

  char chunk_id_[4] = {};
  char form_type_[4] = {};
  uint32_t chunk_size_ = 0;
  int64_t chunk_position_ = 0;
  int64_t data_position_ = 0;
  uint32_t consumed_ = 0;
  uint32_t data_size_ = 0;
  uint32_t requested_ = 0;
  std::vector<uint8_t> fmt_block_;
  std::unique_ptr<CFileReader> file_;
  int64_t file_size_ = 0;
  int32_t sample_count_ = 0;
  uint16_t file_tag_ = 0;
};

}  // namespace melvox
