// The sound chain: every producer and consumer of sample frames is a CSoundNode that pulls frames from
// its input. Sources sit at the upstream end, the playback engine at the downstream end, graph views in
// between.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/wave_format.h"
#include "sound/wave.h"

namespace melvox {

// Lengths and positions between nodes count sample frames (one sample of every channel, nBlockAlign
// bytes). Every node presents PCM: 8-bit unsigned or 16-bit signed little-endian samples.
//
// Threading: nodes take no locks. The playback engine's thread calls Read and SetPosition while it
// plays; whoever changes a chain (SetInput, closing or releasing a source) stops the engine first.
class CSoundNode {
 public:
  explicit CSoundNode(CSoundNode* input = nullptr);
  virtual ~CSoundNode();
  CSoundNode(const CSoundNode&) = delete;
  CSoundNode& operator=(const CSoundNode&) = delete;

  // Number of frames, or -1 when unknown. Default: the input's, -1 without input.
  virtual int32_t GetLength();
  // Reads up to `frames` frames into buffer; on return `frames` holds the frames delivered. Fails
  // (false, nothing read) when the format has no channels or capacity (bytes) is less than
  // frames x nBlockAlign. Default: the input's Read (false without input).
  virtual bool Read(void* buffer, uint32_t capacity, uint32_t& frames);
  // Tells the chain which frame is being heard now. Default: forwarded to the input.
  virtual void SetPosition(int32_t frame);
  // Goes back to the first frame. Default: forwarded to the input.
  virtual void Rewind();
  // Copies the node's output format.
  virtual void GetFormat(WAVEFORMATEX& format);
  // True while frames can still be read. Default: the input's, false without input.
  virtual bool HasData();
  // Releases the file or the samples. Default: nothing.
  virtual void Close();
  virtual CSoundNode* GetInput();
  // Frames delivered since the last Rewind. Default: the input's (0 without input).
  virtual uint32_t GetDelivered();
  // A new CWave with the whole sound decoded, owned by the caller. Default: the input's, null
  // without input.
  virtual std::unique_ptr<CWave> GetWave();
  // Makes node the input; for a non-null node copies its format and returns true; null disconnects
  // and returns false.
  virtual bool SetInput(CSoundNode* node);

 protected:
  CSoundNode* input_ = nullptr;
  WAVEFORMATEX format_{};
};

// Turns a source's undecoded bytes into frames.
class CSampleDecoder {
 public:
  // Goes back to the first frame.
  virtual void Reset() = 0;
  virtual ~CSampleDecoder() = default;
  // Same contract as CSoundNode::Read.
  virtual bool Read(void* buffer, uint32_t capacity, uint32_t& frames) = 0;
};

// Base of every source node (WAV file, Ogg Vorbis file, memory). A source owns its decoder and knows
// whether a read has reached the end of its data.
class CSoundSource : public CSoundNode {
 public:
  CSoundSource() = default;
  ~CSoundSource() override;

  // Reads through the decoder; false when there is none.
  bool Read(void* buffer, uint32_t capacity, uint32_t& frames) override;
  // True unless a read reached the end of the data (and for a memory source, whenever it has a wave).
  bool HasData() override;
  // Copies up to `bytes` undecoded bytes of the sound's data from the current read position; on
  // return `bytes` holds the bytes copied (0 at the end, which is not a failure).
  virtual bool ReadRaw(void* buffer, uint32_t& bytes) = 0;

 protected:
  // Reads the whole sound into a new CWave: `frames` frames after a Rewind. The sample count is what
  // arrived and the sample kind follows the bits (kUnsigned8 for 8-bit, else kSigned).
  std::unique_ptr<CWave> DecodeWhole(int32_t frames);

  std::unique_ptr<CSampleDecoder> decoder_;
  int32_t exhausted_ = 1;
};

}  // namespace melvox
