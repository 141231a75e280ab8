#include "sound/wave.h"

#include <cstring>
#include <new>

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
  // Value-initialised: the block starts zero-filled, as silence.
  data_ = new (std::nothrow) uint8_t[size]();
  if (data_ == nullptr) return false;
  owns_data_ = true;
  size_ = size;
  return true;
}

bool CWave::WaveFree() {
  // Releasing heap memory cannot fail, so the "Cannot deallocate memory!" report never arises here.
  if (owns_data_) delete[] data_;
  data_ = nullptr;
  owns_data_ = false;
  size_ = 0;
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
