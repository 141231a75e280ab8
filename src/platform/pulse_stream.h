// What the PulseAudio output and input devices share: one stream on the process's connection, its
// set-up and the wait for the server to have it ready, the header rules, reset and close, and its
// failure. A stream that fails (the server went away, or dropped it) returns every queued buffer at
// once marked WHDR_DEVICE_ERROR; afterwards the calls that need the server fail with
// MMSYSERR_NODRIVER, while reset and close still succeed.
#pragma once

#include <memory>
#include <utility>

#include "platform/pulse_context.h"
#include "platform/wave_out.h"

namespace melvox::platform {

// Device is the interface (WaveOut or WaveIn), Queue the direction's queue (WaveOutQueue or
// WaveInQueue). The direction adds its own stream connection, its calls and its part of a reset.
//
// Threading: every call takes the main-loop lock, which guards the stream, the queue and the failed
// mark; the server's callbacks run on the main loop's thread with that lock held, and only fill and
// return buffers and signal. The direction's destructor calls Shutdown.
template <typename Device, typename Queue>
class PulseStream : public Device {
 public:
  ~PulseStream() override = default;
  PulseStream(const PulseStream&) = delete;
  PulseStream& operator=(const PulseStream&) = delete;

  MMRESULT Prepare(WAVEHDR* header) override {
    return Call(false, [&] { return Queue::Prepare(header); });
  }
  MMRESULT Unprepare(WAVEHDR* header) override {
    return Call(false, [&] { return Queue::Unprepare(header); });
  }
  MMRESULT Reset() override {
    return Call(false, [&] { return ResetStream(); });
  }
  MMRESULT Close() override {
    return Call(false, [&] {
      if (!queue_.Empty()) return WAVERR_STILLPLAYING;
      Disconnect();
      return MMSYSERR_NOERROR;
    });
  }

 protected:
  PulseStream(std::shared_ptr<PulseContext> context, std::shared_ptr<PulseErrorDetails> details,
              const pa_sample_spec& sample_format, typename Queue::Callback callback)
      : context_(std::move(context)),
        sample_format_(sample_format),
        queue_(std::move(callback), static_cast<uint32_t>(pa_frame_size(&sample_format))),
        details_(std::move(details)) {}

  // Resets and disconnects a stream still open; from the direction's destructor, so that its own
  // part of the reset runs.
  void Shutdown() {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return;
    ResetStream();
    Disconnect();
  }

  // Creates the stream, named name, and connects it through connect(stream) (the direction's
  // callbacks and pa_stream_connect_*, negative on failure), then waits until the server has it
  // ready. Lock held.
  template <typename Connect>
  MMRESULT OpenStream(const char* name, Connect connect) {
    stream_ = pa_stream_new(context_->Context(), name, &sample_format_, nullptr);
    if (stream_ == nullptr) return Fail(MMSYSERR_ERROR);
    pa_stream_set_state_callback(stream_, &PulseStream::OnStateChanged, this);
    if (connect(stream_) < 0) return Fail(MMSYSERR_ERROR);
    if (!context_->AwaitReady(stream_)) return Fail(MMSYSERR_ERROR);
    return MMSYSERR_NOERROR;
  }

  // Runs body with the main-loop lock held on an open stream: MMSYSERR_INVALHANDLE once closed, and
  // MMSYSERR_NODRIVER after a failure when the call needs the server.
  template <typename Body>
  MMRESULT Call(bool needs_server, Body body) {
    PulseContext::ScopedLock lock(*context_);
    if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
    if (needs_server && failed_) return MMSYSERR_NODRIVER;
    return body();
  }

  // Corks (true) or uncorks the stream, waiting for the server's reply. Lock held.
  MMRESULT Cork(bool cork) {
    if (failed_) return MMSYSERR_NODRIVER;
    if (!context_->Await(pa_stream_cork(stream_, cork ? 1 : 0, &PulseStream::OnSuccess, this))) {
      return Fail(MMSYSERR_ERROR);
    }
    return MMSYSERR_NOERROR;
  }

  // Runs a stream operation that reports success (pa_stream_flush, pa_stream_update_timing_info) and
  // waits for the server's reply; false when it did not complete. Lock held.
  bool Await(pa_operation* (*operation)(pa_stream*, pa_stream_success_cb_t, void*)) {
    return context_->Await(operation(stream_, &PulseStream::OnSuccess, this));
  }

  // Keeps the server's reason for a failure. Lock held.
  MMRESULT Fail(MMRESULT result) {
    details_->Keep(result, context_->LastError());
    return result;
  }

  // The direction's reset: drops what the stream holds and returns every queued buffer, even when
  // the server fails. Lock held.
  virtual MMRESULT ResetStream() = 0;
  // Lets go of what the direction added to the stream (callbacks, timers) before it is disconnected.
  // Lock held.
  virtual void Disconnecting() {}

  const std::shared_ptr<PulseContext> context_;
  const pa_sample_spec sample_format_;
  // Guarded by the main-loop lock, as are the stream and the failed mark.
  Queue queue_;
  pa_stream* stream_ = nullptr;
  bool failed_ = false;

 private:
  void Disconnect() {
    Disconnecting();
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }

  static void OnSuccess(pa_stream*, int, void* self) { static_cast<PulseStream*>(self)->context_->Signal(); }

  // Main-loop thread, lock held. A failed stream returns every queued buffer at once, marked as a
  // device error, so that nobody waits for one.
  static void OnStateChanged(pa_stream* stream, void* self_data) {
    auto* self = static_cast<PulseStream*>(self_data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
      if (!self->failed_) self->details_->Keep(MMSYSERR_NODRIVER, self->context_->LastError());
      self->failed_ = true;
      self->queue_.RetireAll(WHDR_DEVICE_ERROR);
    }
    self->context_->Signal();
  }

  const std::shared_ptr<PulseErrorDetails> details_;
};

}  // namespace melvox::platform
