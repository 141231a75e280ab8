#include "platform/pulse_backend.h"

namespace melvox::platform {

std::string PulseBackend::ErrorText(MMRESULT result) const {
  std::string text = WaveErrorText(result);
  const std::string detail = details_->Get(result);
  if (!detail.empty()) text += " (" + detail + ")";
  return text;
}

std::shared_ptr<PulseContext> PulseBackend::Connection() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string error;
  context_ = PulseContext::Shared(error);
  if (context_ == nullptr) details_->Keep(MMSYSERR_NODRIVER, error);
  return context_;
}

}  // namespace melvox::platform
