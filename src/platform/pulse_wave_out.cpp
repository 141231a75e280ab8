#include "platform/pulse_wave_out.h"

#include <algorithm>
#include <utility>

#include "platform/pulse_backend.h"
#include "platform/pulse_stream.h"
#include "platform/wave_out_queue.h"

namespace melvox::platform {
namespace {

// How often the server is asked for its read index while buffers are queued. Done notifications come
// from those replies, so this is their resolution.
constexpr pa_usec_t kTickInterval = 10 * PA_USEC_PER_MSEC;
// The server's target fill level: short, so done notifications track what is heard (about 30 ms of
// sink latency), while the 20 queued buffers stay in the server's larger buffer.
constexpr pa_usec_t kTargetLength = 100 * PA_USEC_PER_MSEC;

// A playback stream. Buffers are retired from the replies to a timing request that a tick on the
// main loop's thread sends every 10 ms while buffers are queued.
//
// Threading: every call takes the main-loop lock, which guards everything below; the tick and the
// replies run on the main loop's thread with that lock held and retire buffers there.
class PulseWaveOut final : public PulseStream<WaveOut, WaveOutQueue> {
 public:
  PulseWaveOut(std::shared_ptr<PulseContext> context, std::shared_ptr<PulseErrorDetails> details,
               const pa_sample_spec& sample_format, WaveOutCallback callback)
      : PulseStream(std::move(context), std::move(details), sample_format, std::move(callback)) {}
  ~PulseWaveOut() override { Shutdown(); }

  // Creates and connects the stream; lock held.
  MMRESULT Connect() {
    // prebuf of one frame: a lone buffer starts at once, and a starved stream stops instead of
    // running its read index ahead of the data.
    pa_buffer_attr attr{
        static_cast<uint32_t>(-1), static_cast<uint32_t>(pa_usec_to_bytes(kTargetLength, &sample_format_)),
        static_cast<uint32_t>(pa_frame_size(&sample_format_)), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1)};
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE);
    if (const MMRESULT opened = OpenStream("melvox playback", [&](pa_stream* stream) {
          return pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr);
        })) {
      return opened;
    }
    tick_ = pa_context_rttime_new(context_->Context(), pa_rtclock_now() + kTickInterval, &PulseWaveOut::OnTick, this);
    if (tick_ == nullptr) return Fail(MMSYSERR_ERROR);
    return MMSYSERR_NOERROR;
  }

  MMRESULT Write(WAVEHDR* header) override {
    return Call(true, [&] {
      if (const MMRESULT checked = queue_.CheckWrite(header)) return checked;
      // A null free callback makes the server library copy the bytes: the header is ours again at once.
      if (header->dwBufferLength > 0 &&
          pa_stream_write(stream_, header->lpData, header->dwBufferLength, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
        return Fail(MMSYSERR_ERROR);
      }
      queue_.Push(header);
      return MMSYSERR_NOERROR;
    });
  }

  MMRESULT Pause() override { return SetPaused(true); }
  MMRESULT Restart() override { return SetPaused(false); }

  MMRESULT GetPosition(uint32_t& samples) override {
    return Call(true, [&] {
      const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
      if (timing != nullptr && !timing->read_index_corrupt) {
        const auto written = static_cast<int64_t>(queue_.Written());
        const int64_t consumed = std::clamp<int64_t>(timing->read_index - base_, 0, written);
        int64_t position = consumed;
        if (!paused_ && timing->playing) {
          // What left the server's buffer, less what still sits in the sink, plus the time since the
          // server reported: the frame being heard now.
          const auto in_sink = static_cast<int64_t>(pa_usec_to_bytes(timing->sink_usec, &sample_format_));
          const auto since =
              static_cast<int64_t>(pa_usec_to_bytes(pa_timeval_age(&timing->timestamp), &sample_format_));
          position = std::min(consumed, consumed - in_sink + since);
        }
        last_position_ = std::max(last_position_, position);
      }
      samples = static_cast<uint32_t>(last_position_ / static_cast<int64_t>(pa_frame_size(&sample_format_)));
      return MMSYSERR_NOERROR;
    });
  }

 private:
  MMRESULT SetPaused(bool paused) {
    return Call(true, [&] {
      const MMRESULT result = Cork(paused);
      if (result == MMSYSERR_NOERROR) paused_ = paused;
      return result;
    });
  }

  MMRESULT ResetStream() override {
    MMRESULT result = MMSYSERR_NOERROR;
    if (!failed_) {
      // A flush moves the write index back to the read index, so the base is read again afterwards.
      if (!Await(&pa_stream_flush) || !Await(&pa_stream_update_timing_info)) {
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

  void Disconnecting() override {
    if (tick_ != nullptr) context_->Api()->time_free(tick_);
    tick_ = nullptr;
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

  pa_time_event* tick_ = nullptr;
  int64_t base_ = 0;  // the write index at the last reset: read indexes count from it
  int64_t last_position_ = 0;
  bool paused_ = false;
  bool timing_in_flight_ = false;
};

}  // namespace

std::shared_ptr<WaveOutSystem> MakePulseAudioWaveOut() {
  return MakePulseSystem<WaveOutSystem, WaveOut, WaveOutCallback, PulseWaveOut>();
}

}  // namespace melvox::platform
