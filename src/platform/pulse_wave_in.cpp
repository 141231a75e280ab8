#include "platform/pulse_wave_in.h"

#include <string>
#include <utility>

#include "platform/pulse_backend.h"
#include "platform/pulse_context.h"
#include "platform/wave_in_queue.h"

namespace melvox::platform {
namespace {

// The server hands over captured input in fragments of about this many bytes (23 ms of 22050 Hz 16-bit
// mono): without it, the default is about 2 s, and the first input arrives after more than a second,
// in lumps.
constexpr uint32_t kFragmentBytes = 1024;

// Threading: every operation takes the main-loop lock; the read and state callbacks run on the main
// loop's thread with that lock held and fill and return buffers there.
class PulseWaveIn final : public WaveIn {
 public:
  PulseWaveIn(std::shared_ptr<PulseContext> context, std::shared_ptr<PulseErrorDetails> details,
              const pa_sample_spec& sample_format, WaveInCallback callback)
      : context_(std::move(context)),
        details_(std::move(details)),
        sample_format_(sample_format),
        queue_(std::move(callback), static_cast<uint32_t>(pa_frame_size(&sample_format))) {}

  ~PulseWaveIn() override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ != nullptr) {
      ResetLocked();
      Disconnect();
    }
  }

  // Creates and connects the stream, corked; lock held.
  MMRESULT Connect() {
    stream_ = pa_stream_new(context_->Context(), "melvox recording", &sample_format_, nullptr);
    if (stream_ == nullptr) return Fail(MMSYSERR_ERROR);
    pa_stream_set_state_callback(stream_, &PulseWaveIn::OnStateChanged, this);
    pa_stream_set_read_callback(stream_, &PulseWaveIn::OnReadable, this);
    const auto unset = static_cast<uint32_t>(-1);
    pa_buffer_attr attr{unset, unset, unset, unset, kFragmentBytes};
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(stream_, nullptr, &attr, flags) < 0) return Fail(MMSYSERR_ERROR);
    if (!context_->AwaitReady(stream_)) return Fail(MMSYSERR_ERROR);
    return MMSYSERR_NOERROR;
  }

  MMRESULT Prepare(WAVEHDR* header) override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    return WaveInQueue::Prepare(header);
  }

  MMRESULT Unprepare(WAVEHDR* header) override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    return WaveInQueue::Unprepare(header);
  }

  MMRESULT AddBuffer(WAVEHDR* header) override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    if (failed_) return MMSYSERR_NODRIVER;
    if (const MMRESULT checked = queue_.CheckAdd(header)) return checked;
    queue_.Push(header);
    return MMSYSERR_NOERROR;
  }

  MMRESULT Start() override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    return Cork(false);
  }

  MMRESULT Stop() override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    // Input captured before the cork arrives before the server's reply to it, so it is in the
    // buffer being filled when that buffer comes back.
    const MMRESULT result = Cork(true);
    queue_.ReturnPartial();
    return result;
  }

  MMRESULT Reset() override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    return ResetLocked();
  }

  MMRESULT Close() override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    if (!queue_.Empty()) return WAVERR_STILLPLAYING;
    Disconnect();
    return MMSYSERR_NOERROR;
  }

 private:
  // Keeps the server's reason for a failure; lock held.
  MMRESULT Fail(MMRESULT result) {
    details_->Keep(result, context_->LastError());
    return result;
  }

  // Lock held.
  MMRESULT Cork(bool cork) {
    if (failed_) return MMSYSERR_NODRIVER;
    if (!context_->Await(pa_stream_cork(stream_, cork ? 1 : 0, &PulseWaveIn::OnSuccess, this))) {
      return Fail(MMSYSERR_ERROR);
    }
    return MMSYSERR_NOERROR;
  }

  // Lock held.
  MMRESULT ResetLocked() {
    MMRESULT result = MMSYSERR_NOERROR;
    if (!failed_ &&
        (Cork(true) != MMSYSERR_NOERROR || !context_->Await(pa_stream_flush(stream_, &PulseWaveIn::OnSuccess, this)))) {
      result = Fail(MMSYSERR_ERROR);
    }
    // Every buffer comes back even when the server failed, so no reader waits for one.
    queue_.RetireAll(0);
    return result;
  }

  void Disconnect() {
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }

  // Main-loop thread, lock held: takes every fragment the server has handed over. Fragments come in
  // any size, so they are gathered into the queued buffers, each returned once full. A hole (input
  // the server lost) becomes silence of its length, so the recording keeps its timing.
  static void OnReadable(pa_stream* stream, size_t, void* self_data) {
    auto* self = static_cast<PulseWaveIn*>(self_data);
    for (;;) {
      const void* data = nullptr;
      size_t bytes = 0;
      if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;  // empty: nothing to drop
      self->queue_.Fill(data, bytes);                                       // null data: silence
      pa_stream_drop(stream);
    }
  }

  static void OnSuccess(pa_stream*, int, void* self_data) { static_cast<PulseWaveIn*>(self_data)->context_->Signal(); }

  // Main-loop thread, lock held. A stream that fails (the server went away, or dropped it) returns
  // every queued buffer at once, marked as a device error, so that no reader waits for it.
  static void OnStateChanged(pa_stream* stream, void* self_data) {
    auto* self = static_cast<PulseWaveIn*>(self_data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
      if (!self->failed_) self->details_->Keep(MMSYSERR_NODRIVER, self->context_->LastError());
      self->failed_ = true;
      self->queue_.RetireAll(WHDR_DEVICE_ERROR);
    }
    self->context_->Signal();
  }

  const std::shared_ptr<PulseContext> context_;
  const std::shared_ptr<PulseErrorDetails> details_;
  const pa_sample_spec sample_format_;
  // Guarded by the main-loop lock.
  WaveInQueue queue_;
  pa_stream* stream_ = nullptr;
  bool failed_ = false;
};

}  // namespace

std::shared_ptr<WaveInSystem> MakePulseAudioWaveIn() {
  return MakePulseSystem<WaveInSystem, WaveIn, WaveInCallback, PulseWaveIn>();
}

}  // namespace melvox::platform
