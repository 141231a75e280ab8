#include "platform/pulse_wave_in.h"

#include <utility>

#include "platform/pulse_backend.h"
#include "platform/pulse_stream.h"
#include "platform/wave_in_queue.h"

namespace melvox::platform {
namespace {

// The server hands over captured input in fragments of about this many bytes (23 ms of 22050 Hz 16-bit
// mono): without it, the default is about 2 s, and the first input arrives after more than a second,
// in lumps.
constexpr uint32_t kFragmentBytes = 1024;

// A record stream of the default source, connected corked: a start uncorks it, a stop corks it.
//
// Threading: every call takes the main-loop lock; the read callback runs on the main loop's thread
// with that lock held and fills and returns buffers there.
class PulseWaveIn final : public PulseStream<WaveIn, WaveInQueue> {
 public:
  PulseWaveIn(std::shared_ptr<PulseContext> context, std::shared_ptr<PulseErrorDetails> details,
              const pa_sample_spec& sample_format, WaveInCallback callback)
      : PulseStream(std::move(context), std::move(details), sample_format, std::move(callback)) {}
  ~PulseWaveIn() override { Shutdown(); }

  // Creates and connects the stream, corked; lock held.
  MMRESULT Connect() {
    return OpenStream("melvox recording", [this](pa_stream* stream) {
      pa_stream_set_read_callback(stream, &PulseWaveIn::OnReadable, this);
      const auto unset = static_cast<uint32_t>(-1);
      pa_buffer_attr attr{unset, unset, unset, unset, kFragmentBytes};
      const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
      return pa_stream_connect_record(stream, nullptr, &attr, flags);
    });
  }

  MMRESULT AddBuffer(WAVEHDR* header) override {
    return Call(true, [&] {
      if (const MMRESULT checked = queue_.CheckAdd(header)) return checked;
      queue_.Push(header);
      return MMSYSERR_NOERROR;
    });
  }

  MMRESULT Start() override {
    return Call(true, [&] { return Cork(false); });
  }

  MMRESULT Stop() override {
    return Call(false, [&] {
      // Input captured before the cork arrives before the server's reply to it, so it is in the
      // buffer being filled when that buffer comes back.
      const MMRESULT result = Cork(true);
      queue_.ReturnPartial();
      return result;
    });
  }

 private:
  MMRESULT ResetStream() override {
    MMRESULT result = MMSYSERR_NOERROR;
    if (!failed_ && (Cork(true) != MMSYSERR_NOERROR || !Await(&pa_stream_flush))) result = Fail(MMSYSERR_ERROR);
    // Every buffer comes back even when the server failed, so no reader waits for one.
    queue_.RetireAll(0);
    return result;
  }

  void Disconnecting() override { pa_stream_set_read_callback(stream_, nullptr, nullptr); }

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
};

}  // namespace

std::shared_ptr<WaveInSystem> MakePulseAudioWaveIn() {
  return MakePulseSystem<WaveInSystem, WaveIn, WaveInCallback, PulseWaveIn>();
}

}  // namespace melvox::platform
