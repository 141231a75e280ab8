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
// Input that finds no queued buffer is not dropped: it stays with the server (whose record buffer
// holds well over a minute) until the next buffer is added, so a reader that falls behind for a while
// loses no input and its recording keeps its timing.
//
// Threading: every call takes the main-loop lock; the read callback runs on the main loop's thread
// with that lock held and fills and returns buffers there, as does AddBuffer for input kept waiting.
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
      if (!failed_) Drain();
      return MMSYSERR_NOERROR;
    });
  }

  MMRESULT Start() override {
    return Call(true, [&] { return Cork(false); });
  }

  MMRESULT Stop() override {
    return Call(false, [&] {
      // Input captured before the cork arrives before the server's reply to it, so it is in the
      // buffers when they come back, as far as they hold it; the rest is dropped, so that a later
      // start does not begin with input from before this stop.
      MMRESULT result = Cork(true);
      if (result == MMSYSERR_NOERROR) {
        Drain();
        if (partial_ > 0) DropFragment();
        if (!Await(&pa_stream_flush)) result = Fail(MMSYSERR_ERROR);
      }
      queue_.ReturnPartial();
      return result;
    });
  }

 private:
  MMRESULT ResetStream() override {
    MMRESULT result = MMSYSERR_NOERROR;
    if (!failed_ && partial_ > 0) DropFragment();
    if (!failed_ && (Cork(true) != MMSYSERR_NOERROR || !Await(&pa_stream_flush))) result = Fail(MMSYSERR_ERROR);
    // Every buffer comes back even when the server failed, so no reader waits for one.
    queue_.RetireAll(0);
    return result;
  }

  void Disconnecting() override { pa_stream_set_read_callback(stream_, nullptr, nullptr); }

  // Main-loop thread, lock held: takes what the server has handed over.
  static void OnReadable(pa_stream*, size_t, void* self) { static_cast<PulseWaveIn*>(self)->Drain(); }

  // Lock held: moves input into the queued buffers, each returned once full, for as long as there are
  // buffers. Fragments come in any size; the server hands out the same fragment again until it is
  // dropped, so a fragment that fills the last queued buffer stays with the server, its bytes already
  // taken counted in partial_, and the fragments after it wait there too. A hole (input the server
  // lost) becomes silence of its length, so the recording keeps its timing.
  void Drain() {
    while (!queue_.Empty()) {
      const void* data = nullptr;
      size_t bytes = 0;
      if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) return;  // empty: nothing to drop
      const char* rest = data != nullptr ? static_cast<const char*>(data) + partial_ : nullptr;  // null: silence
      partial_ += queue_.Fill(rest, bytes - partial_);
      if (partial_ == bytes) DropFragment();
    }
  }

  // Lock held: lets go of the fragment being taken, e.g. before a flush drops what follows it.
  void DropFragment() {
    pa_stream_drop(stream_);
    partial_ = 0;
  }

  size_t partial_ = 0;  // bytes of the server's current fragment already in buffers; lock held
};

}  // namespace

std::shared_ptr<WaveInSystem> MakePulseAudioWaveIn() {
  return MakePulseSystem<WaveInSystem, WaveIn, WaveInCallback, PulseWaveIn>();
}

}  // namespace melvox::platform
