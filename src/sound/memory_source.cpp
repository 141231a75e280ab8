#include "sound/memory_source.h"

#include <algorithm>
#include <cstring>

#include "sound/pcm_reader.h"

namespace melvox {

CMemorySource::CMemorySource(CountedPtr<CWave> wave) : wave_(std::move(wave)) {
  decoder_ = std::make_unique<CPcmReader>(this);
  if (wave_) {
    format_ = wave_->Format();
    exhausted_ = 0;
  }
}

int32_t CMemorySource::GetLength() { return wave_ ? static_cast<int32_t>(wave_->SampleCount()) : -1; }

bool CMemorySource::Read(void* buffer, uint32_t capacity, uint32_t& frames) {
  const bool ok = CSoundSource::Read(buffer, capacity, frames);
  if (!ok) return false;
  delivered_ += frames;
  // A wave whose 8-bit samples the analysis turned signed still plays as the PCM every node presents.
  if (format_.wBitsPerSample == 8 && wave_ && wave_->Kind() == SampleKind::kSigned) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    const uint32_t count = frames * format_.nChannels;
    for (uint32_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(bytes[i] + 128);
  }
  return true;
}

void CMemorySource::Rewind() {
  if (!wave_) return;
  read_offset_ = 0;
  delivered_ = 0;
}

void CMemorySource::Close() {
  if (wave_) wave_->WaveFree();
}

uint32_t CMemorySource::GetDelivered() { return delivered_; }

std::unique_ptr<CWave> CMemorySource::GetWave() {
  if (!wave_) return nullptr;
  auto copy = std::make_unique<CWave>(wave_->Format(), wave_->Size(), wave_->Data());
  copy->SetKind(wave_->Kind());
  return copy;
}

uint32_t CMemorySource::EndOffset() const {
  const WAVEFORMATEX& format = wave_->Format();
  const uint64_t end = uint64_t{wave_->SampleCount()} * (format.wBitsPerSample / 8) * format.nChannels;
  // The sample count of a wave made from a stereo block, or of a truncated wave, can claim more bytes
  // than the block holds: never read past the block.
  return static_cast<uint32_t>(std::min<uint64_t>(end, wave_->Size()));
}

bool CMemorySource::ReadRaw(void* buffer, uint32_t& bytes) {
  if (!wave_ || wave_->Data() == nullptr) {
    bytes = 0;
    return true;
  }
  const uint32_t end = EndOffset();
  if (read_offset_ >= end) {
    bytes = 0;
    return true;
  }
  bytes = std::min(bytes, end - read_offset_);
  std::memcpy(buffer, wave_->Data() + read_offset_, bytes);
  read_offset_ += bytes;
  return true;
}

CountedPtr<CSoundSource> MakeMemorySource(std::unique_ptr<CWave> wave) {
  CountedPtr<CWave> holder(wave.release());
  return CountedPtr<CSoundSource>(new CMemorySource(std::move(holder)));
}

}  // namespace melvox
