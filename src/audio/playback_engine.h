// CPlaybackEngine: plays a range of frames of its input through the wave-output device, with a fixed
// ring of buffers that a worker thread refills.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/playback_owner.h"
#include "core/critical_section.h"
#include "core/thread.h"
#include "platform/event.h"
#include "platform/wave_out.h"
#include "sound/sound_node.h"

namespace melvox {

// The sink of a sound chain. Play queues all buffers on a paused device, starts the worker thread and
// restarts the device, so the first buffers play without a gap; the worker refills each buffer the
// device hands back, reports the frame being heard up the chain with SetPosition, and when the frames
// run out lets the queued buffers play out and tells the owner. Stop resets the device and does not
// tell the owner.
//
// Positions are frames of the input, counted from its first frame. A device error is shown at once in
// a message box with the device's own text; only a failed open also throws CMVException (13). A
// device whose server went away (a buffer back with WHDR_DEVICE_ERROR, or MMSYSERR_NODRIVER) is shown
// once per play, ends playback at once and tells the owner as an end would; DeviceLost says which.
//
// Threading: Play, Stop, SetInput and SetOwner run on the caller's thread (Stop also from inside
// OnPlaybackEnded, on the worker thread). Play holds the lock while it queues and CloseDevice takes
// it. The worker thread calls Read and SetPosition on the chain and OnPlaybackEnded on the owner
// without the lock; the chain is only changed after Stop. The device's callback only sets done_event_.
class CPlaybackEngine : public CSoundNode, public CThread {
 public:
  static constexpr int kBufferCount = 20;
  static constexpr uint32_t kBufferBytes = 2048;
  // The worker thread's exit code.
  static constexpr uint32_t kExitCode = 5;

  CPlaybackEngine();
  // Stops, waits for a worker that is still inside the owner's notification, and closes the device.
  // An owner must not destroy the engine from inside OnPlaybackEnded.
  ~CPlaybackEngine() override;

  // Stops, then makes node the input (null disconnects; a node's format is taken over).
  bool SetInput(CSoundNode* node) override;

  void SetOwner(IPlaybackOwner* owner) { owner_ = owner; }
  // Plays frames start up to end of the input: the buffer that crosses end plays whole. False without
  // input, for a format without bits or frame size, or when the worker thread cannot start. An input
  // of unknown length (-1) plays nothing, and the owner is told when the first wait times out.
  // Throws CMVException (13) when the device does not open.
  bool Play(int32_t start, uint32_t end);
  // Stops playback (waiting for the worker unless called from the owner's notification) and closes
  // the device. Harmless on a stopped engine.
  void Stop();
  // Stop, then also waits for a worker that is still inside the owner's notification, unless called
  // on that worker. Afterwards (from any other thread) no worker runs, so Play can start one. The
  // caller must hold nothing that the owner's notification takes.
  void StopAndWait();
  // Opens the device for the engine's format when it is closed; shows the device's error and throws
  // CMVException (13) when it does not open. True otherwise.
  bool OpenDevice();
  void CloseDevice();
  // Refills header i from the input and queues it; false when no frames come, the end frame was
  // reached, or the device refuses the buffer (its error shown).
  bool WriteBuffer(int i);

  // The worker thread.
  uint32_t Run() override;

  // Length of the current range in ms (truncated), -1 when unknown or when it truncates to 0.
  int32_t GetTimeout() const { return timeout_; }
  // The name of the backend the device was last opened with ("pulse", "null", "test"); empty before.
  const char* DeviceName() const;
  // The frame being heard: the start frame plus the device's position in samples, as the worker
  // reports it up the chain. -1 while the device is closed or cannot tell. Takes the lock; any thread.
  int32_t GetPlayPosition();
  // Whether the device of the last play was lost (its server went away); any thread.
  bool DeviceLost() const { return device_lost_.load(); }

 private:
  void ShowDeviceError(MMRESULT result);
  // Reads the frames before start and throws them away (through the input's input when there is one).
  void SkipFrames(int32_t start, uint32_t block_align);
  // One pass of the worker over the 20 headers after a wait; true when the worker should end.
  bool ServeHeaders(int wait_result, int& retries, bool& natural_end);

  std::array<WAVEHDR, kBufferCount> headers_;
  std::unique_ptr<char[]> buffers_;
  std::shared_ptr<platform::WaveOutSystem> system_;  // the backend of device_, for its error texts
  std::unique_ptr<platform::WaveOut> device_;        // null while closed
  platform::Event stop_event_{platform::EventMode::kManualReset};
  std::atomic<int32_t> playing_{0};
  platform::Event done_event_{platform::EventMode::kAutoReset};
  IPlaybackOwner* owner_ = nullptr;
  CCriticalSection lock_;
  int32_t start_frame_ = 0;
  uint32_t end_frame_ = 0;
  uint32_t queued_ = 0;
  int32_t timeout_ = -1;  // ms of the range, -1 when unknown
  std::atomic<int32_t> in_end_notification_{0};
  std::atomic<bool> device_lost_{false};  // set once per play by the first MMSYSERR_NODRIVER
};

}  // namespace melvox
