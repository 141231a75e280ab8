// The process's connection to a PulseAudio server: one threaded main loop and one context, shared by
// every output and input stream. Its main-loop lock is the lock of all those devices.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <pulse/pulseaudio.h>

namespace melvox::platform {

// Threading: the server calls back on the main loop's thread with the lock held. Everything else is
// called with the lock held (ScopedLock) from other threads; Wait must never run on the loop thread.
class PulseContext {
 public:
  // A connected context, or null with a reason in error when no server answers within the time-out.
  // Never starts a server (PA_CONTEXT_NOAUTOSPAWN).
  static std::shared_ptr<PulseContext> Connect(std::string& error);
  // The process's one connection, shared by the output and the input backend: the one made last
  // while it is still connected, else a new one (null with a reason when no server answers).
  static std::shared_ptr<PulseContext> Shared(std::string& error);
  ~PulseContext();
  PulseContext(const PulseContext&) = delete;
  PulseContext& operator=(const PulseContext&) = delete;

  pa_threaded_mainloop* Loop() { return loop_; }
  pa_context* Context() { return context_; }
  pa_mainloop_api* Api() { return pa_threaded_mainloop_get_api(loop_); }
  // True while the context is connected. Lock held.
  bool IsReady() { return pa_context_get_state(context_) == PA_CONTEXT_READY; }
  // The server's text for the context's last error. Lock held.
  std::string LastError() { return pa_strerror(pa_context_errno(context_)); }
  // Waits for an operation to finish; its callback, or a state change, signals the loop. Lock held;
  // takes over the operation's reference. False when it did not complete (stream or server failed).
  bool Await(pa_operation* operation);
  // Waits until a stream that is connecting is ready (true) or has failed (false); its state callback
  // signals the loop. Lock held.
  bool AwaitReady(pa_stream* stream);
  // Wakes the threads waiting in Await (from callbacks).
  void Signal() { pa_threaded_mainloop_signal(loop_, 0); }

  class ScopedLock {
   public:
    explicit ScopedLock(PulseContext& context) : loop_(context.loop_) { pa_threaded_mainloop_lock(loop_); }
    ~ScopedLock() { pa_threaded_mainloop_unlock(loop_); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

 private:
  PulseContext() = default;
  static void OnStateChanged(pa_context* context, void* self);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
};

// Failure details for the backends' ErrorText, kept by result code. Shared by a backend and its
// devices, so that a device can outlive the backend that opened it.
//
// Threading: every operation may be called from any thread.
class PulseErrorDetails {
 public:
  void Keep(uint32_t result, std::string detail);
  // The detail of the last failure with result; empty when there was none.
  std::string Get(uint32_t result) const;

 private:
  mutable std::mutex mutex_;
  std::map<uint32_t, std::string> details_;
};

}  // namespace melvox::platform
