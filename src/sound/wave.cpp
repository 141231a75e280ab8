#include "sound/wave.h"

#include <cstring>

#include "platform/zeroed_block.h"

namespace melvox {

CWave::CWave() = default;

CWave::CWave(const WAVEFORMATEX& format, uint32_t size, const void* data) {
  format_ = format;
  if (size > 0 && Allocate(size) && data != nullptr) {
    std::memcpy(data_, data, size);
    sample_count_ = size / BytesPerSample();
    selection_end_ = static_cast<int32_t>(sample_count_) - 1;
  }
}

CWave::~CWave() { WaveFree(); }

bool CWave::Allocate(uint32_t size) {
  WaveFree();
  // The block starts zero-filled, as silence; a large one comes straight from the system already
  // zeroed, so the decoding that fills it next is the first pass over it.
  data_ = static_cast<uint8_t*>(platform::AllocateZeroedBlock(size));
  if (data_ == nullptr) return false;
  owns_data_ = true;
  size_ = size;
  block_size_ = size;
  return true;
}

bool CWave::WaveFree() {
  // Releasing heap memory cannot fail, so the "Cannot deallocate memory!" report never arises here.
  if (owns_data_) platform::FreeZeroedBlock(data_, block_size_);
  data_ = nullptr;
  owns_data_ = false;
  size_ = 0;
  block_size_ = 0;
  sample_count_ = 0;
  selection_start_ = 0;
  selection_end_ = 0;
  return true;
}

bool CWave::Truncate(uint32_t n) {
  if (data_ == nullptr || n >= sample_count_) return false;
  // The block stays where it is; only the bytes counted as used shrink.
  size_ = BytesPerSample() * (n + 1);
  return true;
}

void CWave::Attach(uint8_t* buffer) {
  WaveFree();
  data_ = buffer;
  owns_data_ = false;
}

}  // namespace melvox
