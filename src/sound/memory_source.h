// CMemorySource: a source node over a CWave held in memory (decoded files, slowed versions, sounds that
// the graph views make).
#pragma once

#include <memory>

#include "sound/counted_ptr.h"
#include "sound/sound_node.h"
#include "sound/wave.h"

namespace melvox {

class CMemorySource : public CSoundSource {
 public:
  // Takes the wave's format; without a wave the source stays exhausted and reports length -1.
  explicit CMemorySource(CountedPtr<CWave> wave);

  // The wave's sample count, -1 without wave.
  int32_t GetLength() override;
  // Unsigned 8-bit or 16-bit PCM like every node: a wave of signed 8-bit samples (SampleKind::kSigned) is turned
  // unsigned on the way out.
  bool Read(void* buffer, uint32_t capacity, uint32_t& frames) override;
  void Rewind() override;
  // Frees the wave's samples; the CWave itself stays in its holder.
  void Close() override;
  uint32_t GetDelivered() override;
  // A copy of the samples with the wave's format and sample kind and the default selection; null
  // without wave.
  std::unique_ptr<CWave> GetWave() override;
  bool ReadRaw(void* buffer, uint32_t& bytes) override;

  const CountedPtr<CWave>& Wave() const { return wave_; }

 private:
  // End of the readable bytes: sample count x bytes per sample x channels, never past the block.
  uint32_t EndOffset() const;

  CountedPtr<CWave> wave_;
  uint32_t read_offset_ = 0;
  uint32_t delivered_ = 0;
};

// Wraps a bare wave in a new holder and a new memory source.
CountedPtr<CSoundSource> MakeMemorySource(std::unique_ptr<CWave> wave);

}  // namespace melvox
