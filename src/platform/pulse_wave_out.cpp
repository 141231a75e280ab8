#include "platform/pulse_wave_out.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/pulse_backend.h"
#include "platform/pulse_context.h"
#include "platform/wave_out_queue.h"

namespace melvox::platform {
namespace {

// How often the server is asked for its read index while buffers are queued. Done notifications come
// from those replies, so this is their resolution.
constexpr pa_usec_t kTickInterval = 10 * PA_USEC_PER_MSEC;
// The server's target fill level: short, so done notifications track what is heard (about 30 ms of
// sink latency), while the 20 queued buffers stay in the server's larger buffer.
constexpr pa_usec_t kTargetLength = 100 * PA_USEC_PER_MSEC;

// Threading: every operation takes the main-loop lock; the tick and the replies run on the main
// loop's thread with that lock held and retire buffers there.
class PulseWaveOut final : public WaveOut {
 public:
  PulseWaveOut(std::shared_ptr<PulseContext> context, std::shared_ptr<PulseErrorDetails> details,
               const pa_sample_spec& sample_format, WaveOutCallback callback)
      : context_(std::move(context)),
        details_(std::move(details)),
        sample_format_(sample_format),
        frame_bytes_(pa_frame_size(&sample_format)),
        queue_(std::move(callback), static_cast<uint32_t>(frame_bytes_)) {}

  ~PulseWaveOut() override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ != nullptr) {
      ResetLocked();
      Disconnect();
    }
  }

  // Creates and connects the stream; lock held.
  MMRESULT Connect() {
    stream_ = pa_stream_new(context_->Context(), "melvox playback", &sample_format_, nullptr);
    if (stream_ == nullptr) return Fail(MMSYSERR_ERROR);
    pa_stream_set_state_callback(stream_, &PulseWaveOut::OnStateChanged, this);
    // prebuf of one frame: a lone buffer starts at once, and a starved stream stops instead of
    // running its read index ahead of the data.
    pa_buffer_attr attr{static_cast<uint32_t>(-1),
                        static_cast<uint32_t>(pa_usec_to_bytes(kTargetLength, &sample_format_)),
                        static_cast<uint32_t>(frame_bytes_), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1)};
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) return Fail(MMSYSERR_ERROR);
    if (!context_->AwaitReady(stream_)) return Fail(MMSYSERR_ERROR);
    tick_ = pa_context_rttime_new(context_->Context(), pa_rtclock_now() + kTickInterval, &PulseWaveOut::OnTick, this);
    if (tick_ == nullptr) return Fail(MMSYSERR_ERROR);
    return MMSYSERR_NOERROR;
  }

  MMRESULT Prepare(WAVEHDR* header) override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    return WaveOutQueue::Prepare(header);
  }

  MMRESULT Unprepare(WAVEHDR* header) override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    return WaveOutQueue::Unprepare(header);
  }

  MMRESULT Write(WAVEHDR* header) override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    if (failed_) return MMSYSERR_NODRIVER;
    if (const MMRESULT checked = queue_.CheckWrite(header)) return checked;
    // A null free callback makes the server library copy the bytes: the header is ours again at once.
    if (header->dwBufferLength > 0 &&
        pa_stream_write(stream_, header->lpData, header->dwBufferLength, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
      return Fail(MMSYSERR_ERROR);
    }
    queue_.Push(header);
    return MMSYSERR_NOERROR;
  }

  MMRESULT Pause() override { return Cork(true); }
  MMRESULT Restart() override { return Cork(false); }

  MMRESULT Reset() override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    return ResetLocked();
  }

  MMRESULT GetPosition(uint32_t& samples) override {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    if (failed_) return MMSYSERR_NODRIVER;
    const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
    if (timing != nullptr && !timing->read_index_corrupt) {
      const auto written = static_cast<int64_t>(queue_.Written());
      const int64_t consumed = std::clamp<int64_t>(timing->read_index - base_, 0, written);
      int64_t position = consumed;
      if (!paused_ && timing->playing) {
        // What left the server's buffer, less what still sits in the sink, plus the time since the
        // server reported: the frame being heard now.
        const auto in_sink = static_cast<int64_t>(pa_usec_to_bytes(timing->sink_usec, &sample_format_));
        const auto since = static_cast<int64_t>(pa_usec_to_bytes(pa_timeval_age(&timing->timestamp), &sample_format_));
        position = std::min(consumed, consumed - in_sink + since);
      }
      last_position_ = std::max(last_position_, position);
    }
    samples = static_cast<uint32_t>(last_position_ / static_cast<int64_t>(frame_bytes_));
    return MMSYSERR_NOERROR;
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

  MMRESULT Cork(bool cork) {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    if (failed_) return MMSYSERR_NODRIVER;
    if (!context_->Await(pa_stream_cork(stream_, cork ? 1 : 0, &PulseWaveOut::OnSuccess, this))) {
      return Fail(MMSYSERR_ERROR);
    }
    paused_ = cork;
    return MMSYSERR_NOERROR;
  }

  MMRESULT ResetLocked() {
    MMRESULT result = MMSYSERR_NOERROR;
    if (!failed_) {
      // A flush moves the write index back to the read index, so the base is read again afterwards.
      if (!context_->Await(pa_stream_flush(stream_, &PulseWaveOut::OnSuccess, this)) ||
          !context_->Await(pa_stream_update_timing_info(stream_, &PulseWaveOut::OnSuccess, this))) {
        result = Fail(MMSYSERR_ERROR);
      } else if (const pa_timing_info* timing = pa_stream_get_timing_info(stream_)) {
        base_ = timing->write_index;
      }
    }
    // Every buffer comes back even when the server failed to flush, so no writer waits for one.
    queue_.RetireAll(0);
    queue_.ClearWritten();
    last_position_ = 0;
    return result;
  }

  void Disconnect() {
    if (tick_ != nullptr) context_->Api()->time_free(tick_);
    tick_ = nullptr;
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }

  // Main-loop thread, lock held: asks for the read index while buffers wait to be retired.
  static void OnTick(pa_mainloop_api*, pa_time_event* event, const struct timeval*, void* self_data) {
    auto* self = static_cast<PulseWaveOut*>(self_data);
    if (!self->timing_in_flight_ && !self->failed_ && !self->paused_ && !self->queue_.Empty()) {
      if (pa_operation* operation = pa_stream_update_timing_info(self->stream_, &PulseWaveOut::OnTiming, self)) {
        self->timing_in_flight_ = true;
        pa_operation_unref(operation);
      }
    }
    pa_context_rttime_restart(self->context_->Context(), event, pa_rtclock_now() + kTickInterval);
  }

  // Main-loop thread, lock held: retires, in order, every buffer the server has read past.
  static void OnTiming(pa_stream* stream, int success, void* self_data) {
    auto* self = static_cast<PulseWaveOut*>(self_data);
    self->timing_in_flight_ = false;
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (!success || timing == nullptr || timing->read_index_corrupt) return;
    const int64_t consumed = timing->read_index - self->base_;
    if (consumed > 0) self->queue_.RetireThrough(static_cast<uint64_t>(consumed));
  }

  static void OnSuccess(pa_stream*, int, void* self_data) { static_cast<PulseWaveOut*>(self_data)->context_->Signal(); }

  // Main-loop thread, lock held. A stream that fails (the server went away, or dropped it) returns
  // every queued buffer at once, marked as a device error, so that no writer waits for it.
  static void OnStateChanged(pa_stream* stream, void* self_data) {
    auto* self = static_cast<PulseWaveOut*>(self_data);
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
  const size_t frame_bytes_;
  // Guarded by the main-loop lock.
  WaveOutQueue queue_;
  pa_stream* stream_ = nullptr;
  pa_time_event* tick_ = nullptr;
  int64_t base_ = 0;  // the write index at the last reset: read indexes count from it
  int64_t last_position_ = 0;
  bool paused_ = false;
  bool failed_ = false;
  bool timing_in_flight_ = false;
};

}  // namespace

std::shared_ptr<WaveOutSystem> MakePulseAudioWaveOut() {
  return MakePulseSystem<WaveOutSystem, WaveOut, WaveOutCallback, PulseWaveOut>();
}

}  // namespace melvox::platform
