// CWave: a whole sound in one block of memory, as the analysis code and the graph views read it.
#pragma once

#include <cstdint>

#include "platform/wave_format.h"

namespace melvox {

// What the samples of a CWave hold.
enum class SampleKind : int32_t {
  kUnsigned8 = 0,  // unsigned 8-bit samples
  kSigned = 1,     // signed samples: 16-bit, or 8-bit turned signed
  kNotStated = 3,  // the default of a new CWave
};

// The block holds `size` bytes. The sample count is size divided by the bytes of one sample (1 for
// 8-bit, else 2); channels are not divided out, since the sounds that are analysed are mono. The
// selection (first and last sample of the useful part) defaults to the whole sound; endpoint
// detection narrows it.
class CWave {
 public:
  CWave();
  // Copies the format; when size > 0 allocates a zero-filled block, and when data is given copies
  // size bytes from it and sets the sample count and the selection end.
  CWave(const WAVEFORMATEX& format, uint32_t size, const void* data);
  virtual ~CWave();
  CWave(const CWave&) = delete;
  CWave& operator=(const CWave&) = delete;

  // Frees the block, clears the fields and allocates a zero-filled block of size bytes. False when
  // the memory cannot be had (the wave is then empty).
  virtual bool Allocate(uint32_t size);
  // Frees the samples (unless attached) and clears data, size, sample count and selection. Always true.
  virtual bool WaveFree();
  // Shrinks the block in place, without moving it, to hold samples 0..n: false when there is no data
  // or n >= the sample count. Sample count and selection stay.
  virtual bool Truncate(uint32_t n);
  // Uses a buffer that somebody else owns and frees; the wave never frees it.
  void Attach(uint8_t* buffer);

  uint8_t* Data() { return data_; }
  const uint8_t* Data() const { return data_; }
  uint32_t Size() const { return size_; }
  uint32_t SampleCount() const { return sample_count_; }
  void SetSampleCount(uint32_t count) { sample_count_ = count; }
  int32_t SelectionStart() const { return selection_start_; }
  int32_t SelectionEnd() const { return selection_end_; }
  void SetSelection(int32_t start, int32_t end) {
    selection_start_ = start;
    selection_end_ = end;
  }
  const WAVEFORMATEX& Format() const { return format_; }
  void SetFormat(const WAVEFORMATEX& format) { format_ = format; }
  SampleKind Kind() const { return sample_kind_; }
  void SetKind(SampleKind kind) { sample_kind_ = kind; }
  // 1 for 8-bit samples, else 2.
  uint32_t BytesPerSample() const { return format_.wBitsPerSample == 8 ? 1u : 2u; }

 private:
  uint8_t* data_ = nullptr;
  bool owns_data_ = false;
  uint32_t size_ = 0;
  uint32_t block_size_ = 0;  // bytes of the block owned, which Truncate leaves as they are
  uint32_t sample_count_ = 0;
  int32_t selection_start_ = 0;
  int32_t selection_end_ = 0;
  WAVEFORMATEX format_{};
  SampleKind sample_kind_ = SampleKind::kNotStated;
};

}  // namespace melvox
