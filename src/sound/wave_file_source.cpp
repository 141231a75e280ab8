#include "sound/wave_file_source.h"

#include <algorithm>
#include <cstring>

#include "core/mv_exception.h"
#include "sound/adpcm_reader.h"
#include "sound/pcm_reader.h"

namespace melvox {
namespace {

uint32_t LittleEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

uint16_t LittleEndian16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

bool IsChunkId(const char id[4], const char* expected) { return std::memcmp(id, expected, 4) == 0; }

// Bytes of a "fmt " chunk that a PCM or IMA ADPCM format needs: tag up to bits per sample.
constexpr uint32_t kMinimumFormatChunk = 16;

}  // namespace

CWaveFileSource::CWaveFileSource() = default;

CWaveFileSource::~CWaveFileSource() = default;

bool CWaveFileSource::ReadChunkHeader() {
  uint8_t header[4];
  uint32_t got = 0;
  int64_t at = 0;
  file_->GetPosition(at);
  file_->Read(chunk_id_, 4, got);
  if (got < 4) return false;
  // A chunk of odd size is followed by a pad byte in files that follow the RIFF rules. The next chunk
  // is looked for right after the body; only when a zero byte stands there (no chunk id starts with
  // one) is it taken as the pad byte.
  if (chunk_id_[0] == '\0' && (chunk_size_ & 1u) != 0) {
    file_->Seek(at + 1, 0);
    file_->Read(chunk_id_, 4, got);
    if (got < 4) return false;
  }
  file_->Read(header, 4, got);
  if (got < 4) return false;
  chunk_size_ = LittleEndian32(header);
  file_->GetPosition(chunk_position_);
  if (IsChunkId(chunk_id_, "RIFF")) {
    file_->Read(form_type_, 4, got);
    if (got < 4) return false;
  } else {
    std::memset(form_type_, 0, sizeof form_type_);
    file_->Seek(chunk_position_ + chunk_size_, 0);
  }
  return true;
}

void CWaveFileSource::ReadFormatChunk() {
  // The chunk must lie wholly inside the file and hold at least the fields up to bits per sample.
  if (chunk_size_ < kMinimumFormatChunk || chunk_position_ + chunk_size_ > file_size_) {
    throw CMVException(kErrIncorrectWaveFormat);
  }
  int64_t after = 0;
  file_->GetPosition(after);
  fmt_block_.assign(chunk_size_, 0);
  file_->Seek(chunk_position_, 0);
  uint32_t got = 0;
  file_->Read(fmt_block_.data(), chunk_size_, got);
  file_->Seek(after, 0);
  if (got < chunk_size_) throw CMVException(kErrIncorrectWaveFormat);
}

void CWaveFileSource::CheckFormat(uint16_t tag, uint32_t rate, uint16_t bits, uint16_t block_align) const {
  if (tag != WAVE_FORMAT_PCM && tag != WAVE_FORMAT_IMA_ADPCM) throw CMVException(kErrUnsupportedWaveFormat);
  if (rate == 0) throw CMVException(kErrIncorrectWaveFormat);
  if (tag == WAVE_FORMAT_PCM && bits != 8 && bits != 16) throw CMVException(kErrUnsupportedWaveFormat);
  // An IMA ADPCM block is a 4-byte header followed by the samples.
  if (tag == WAVE_FORMAT_IMA_ADPCM && block_align <= 4) throw CMVException(kErrIncorrectWaveFormat);
}

void CWaveFileSource::Open(std::unique_ptr<CFileReader> reader) {
  file_ = std::move(reader);
  file_size_ = file_->GetSize();
  file_->Seek(0, 0);
  chunk_size_ = 0;
  if (!ReadChunkHeader() || !IsChunkId(chunk_id_, "RIFF") || !IsChunkId(form_type_, "WAVE")) {
    throw CMVException(kErrIncorrectWaveFormat);
  }
  if (!ReadChunkHeader() || !IsChunkId(chunk_id_, "fmt ")) throw CMVException(kErrIncorrectWaveFormat);
  ReadFormatChunk();

  const uint8_t* fmt = fmt_block_.data();
  const uint16_t tag = LittleEndian16(fmt);
  const uint16_t channels = LittleEndian16(fmt + 2);
  const uint32_t rate = LittleEndian32(fmt + 4);
  const uint16_t block_align = LittleEndian16(fmt + 12);
  const uint16_t file_bits = LittleEndian16(fmt + 14);
  if (channels != 1) throw CMVException(kErrIncorrectWaveFormat);

  const uint16_t bits = tag == WAVE_FORMAT_IMA_ADPCM ? 16 : file_bits;
  format_ = MakePcmFormat(1, rate, bits);

  do {
    if (!ReadChunkHeader()) throw CMVException(kErrIncorrectWaveFormat);
  } while (!IsChunkId(chunk_id_, "data"));
  data_position_ = chunk_position_;
  consumed_ = 0;
  // A data chunk that claims more than the file holds (a cut-off or still growing recording) is
  // taken to end with the file.
  const int64_t in_file = std::max<int64_t>(0, file_size_ - data_position_);
  data_size_ = static_cast<uint32_t>(std::min<int64_t>(chunk_size_, in_file));
  if (data_size_ != 0) exhausted_ = 0;

  CheckFormat(tag, rate, file_bits, block_align);
  file_tag_ = tag;
  uint64_t count = 0;
  if (tag == WAVE_FORMAT_IMA_ADPCM) {
    count = uint64_t{data_size_} / block_align * (block_align - 4u) * 2u;
  } else {
    count = data_size_ / (bits / 8u);
  }
  if (count > INT32_MAX) throw CMVException(kErrUnsupportedWaveFormat);
  sample_count_ = static_cast<int32_t>(count);

  decoder_.reset();
  if (tag == WAVE_FORMAT_IMA_ADPCM) {
    decoder_ = std::make_unique<CAdpcmReader>(this, channels, block_align);
  } else {
    decoder_ = std::make_unique<CPcmReader>(this);
  }
}

int32_t CWaveFileSource::GetLength() { return sample_count_; }

bool CWaveFileSource::Read(void* buffer, uint32_t capacity, uint32_t& frames) {
  requested_ += frames;
  return CSoundSource::Read(buffer, capacity, frames);
}

void CWaveFileSource::Rewind() {
  consumed_ = 0;
  exhausted_ = 0;
  requested_ = 0;
  if (decoder_) decoder_->Reset();
}

void CWaveFileSource::Close() {
  if (file_) file_->Close();
  fmt_block_.clear();
  fmt_block_.shrink_to_fit();
}

uint32_t CWaveFileSource::GetDelivered() { return requested_; }

std::unique_ptr<CWave> CWaveFileSource::GetWave() { return DecodeWhole(GetLength()); }

bool CWaveFileSource::ReadRaw(void* buffer, uint32_t& bytes) {
  if (uint64_t{consumed_} + bytes > data_size_) {
    bytes = data_size_ - consumed_;
    exhausted_ = 1;
  }
  if (bytes == 0) return true;
  int64_t noted = 0;
  file_->GetPosition(noted);
  file_->Seek(data_position_ + consumed_, 0);
  uint32_t got = 0;
  file_->Read(buffer, bytes, got);
  consumed_ += got;
  bytes = got;
  file_->Seek(noted, 0);
  return true;
}

}  // namespace melvox
