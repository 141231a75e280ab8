// What the PulseAudio output and input backends share: the process's connection, the details of
// their failures for the error texts, and the opening of a device over them.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/pulse_context.h"
#include "platform/wave_out.h"

namespace melvox::platform {

// Threading: every operation may be called from any thread.
class PulseBackend {
 public:
  explicit PulseBackend(std::shared_ptr<PulseContext> context) : context_(std::move(context)) {}

  // Opens a device of type Device for a PCM format: Device is made from the connection, the failure
  // details, the sample format and the callback, and its Connect() (run with the main-loop lock held)
  // connects its stream. MMSYSERR_NODRIVER when no server answers; WAVERR_BADFORMAT for a format
  // that no backend serves.
  template <typename Device, typename Base, typename Callback>
  MMRESULT Open(const WAVEFORMATEX& format, Callback callback, std::unique_ptr<Base>& device) {
    device.reset();
    if (!IsPlayableFormat(format)) return WAVERR_BADFORMAT;
    std::shared_ptr<PulseContext> context = Connection();
    if (context == nullptr) return MMSYSERR_NODRIVER;
    const pa_sample_spec sample_format{format.wBitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE,
                                       format.nSamplesPerSec, static_cast<uint8_t>(format.nChannels)};
    auto opened = std::make_unique<Device>(context, details_, sample_format, std::move(callback));
    MMRESULT result;
    {
      PulseContext::ScopedLock lock(*context);
      result = opened->Connect();
    }
    if (result == MMSYSERR_NOERROR) device = std::move(opened);
    return result;
  }

  // The fixed text of a result code, with the server's reason for the last failure of that code in
  // parentheses when there is one.
  std::string ErrorText(MMRESULT result) const;

 private:
  // The process's shared connection, made again when the server went away since; held while the
  // backend is in use.
  std::shared_ptr<PulseContext> Connection();

  std::mutex mutex_;
  std::shared_ptr<PulseContext> context_;
  const std::shared_ptr<PulseErrorDetails> details_ = std::make_shared<PulseErrorDetails>();
};

// The PulseAudio backend behind System (WaveOutSystem or WaveInSystem, whose Open takes a Callback and
// fills a std::unique_ptr<Base>), opening devices of type Device.
template <typename System, typename Base, typename Callback, typename Device>
class PulseSystem final : public System {
 public:
  explicit PulseSystem(std::shared_ptr<PulseContext> context) : backend_(std::move(context)) {}

  MMRESULT Open(const WAVEFORMATEX& format, Callback callback, std::unique_ptr<Base>& device) override {
    return backend_.Open<Device>(format, std::move(callback), device);
  }
  std::string ErrorText(MMRESULT result) const override { return backend_.ErrorText(result); }
  const char* Name() const override { return "pulse"; }

 private:
  PulseBackend backend_;
};

// That backend, or null when no server answers (a server is never started for us).
template <typename System, typename Base, typename Callback, typename Device>
std::shared_ptr<System> MakePulseSystem() {
  std::string error;
  std::shared_ptr<PulseContext> context = PulseContext::Shared(error);
  if (context == nullptr) return nullptr;
  return std::make_shared<PulseSystem<System, Base, Callback, Device>>(std::move(context));
}

}  // namespace melvox::platform
