#include "sound/sound_node.h"

#include <cstring>

namespace melvox {

CSoundNode::CSoundNode(CSoundNode* input) { SetInput(input); }

CSoundNode::~CSoundNode() = default;

int32_t CSoundNode::GetLength() { return input_ != nullptr ? input_->GetLength() : -1; }

bool CSoundNode::Read(void* buffer, uint32_t capacity, uint32_t& frames) {
  if (input_ == nullptr) {
    frames = 0;
    return false;
  }
  return input_->Read(buffer, capacity, frames);
}

void CSoundNode::SetPosition(int32_t frame) {
  if (input_ != nullptr) input_->SetPosition(frame);
}

void CSoundNode::Rewind() {
  if (input_ != nullptr) input_->Rewind();
}

void CSoundNode::GetFormat(WAVEFORMATEX& format) { format = format_; }

bool CSoundNode::HasData() { return input_ != nullptr && input_->HasData(); }

void CSoundNode::Close() {}

CSoundNode* CSoundNode::GetInput() { return input_; }

uint32_t CSoundNode::GetDelivered() { return input_ != nullptr ? input_->GetDelivered() : 0; }

std::unique_ptr<CWave> CSoundNode::GetWave() { return input_ != nullptr ? input_->GetWave() : nullptr; }

bool CSoundNode::SetInput(CSoundNode* node) {
  input_ = node;
  if (node == nullptr) return false;
  node->GetFormat(format_);
  return true;
}

CSoundSource::~CSoundSource() = default;

bool CSoundSource::Read(void* buffer, uint32_t capacity, uint32_t& frames) {
  if (!decoder_) {
    frames = 0;
    return false;
  }
  return decoder_->Read(buffer, capacity, frames);
}

bool CSoundSource::HasData() { return exhausted_ == 0; }

std::unique_ptr<CWave> CSoundSource::DecodeWhole(int32_t frames) {
  auto wave = std::make_unique<CWave>();
  wave->SetFormat(format_);
  const uint32_t count = frames > 0 ? static_cast<uint32_t>(frames) : 0;
  const uint64_t bytes = uint64_t{format_.wBitsPerSample} / 8 * format_.nChannels * count;
  Rewind();
  uint32_t delivered = 0;
  if (bytes > 0 && bytes <= UINT32_MAX && wave->Allocate(static_cast<uint32_t>(bytes))) {
    delivered = count;
    if (!Read(wave->Data(), wave->Size(), delivered)) delivered = 0;
  }
  wave->SetSampleCount(delivered);
  wave->SetSelection(0, delivered > 0 ? static_cast<int32_t>(delivered) - 1 : 0);
  wave->SetKind(format_.wBitsPerSample != 8 ? SampleKind::kSigned : SampleKind::kUnsigned8);
  return wave;
}

}  // namespace melvox
