// CRecordingEngine: records the default input device into a RIFF/WAVE file through 20 capture buffers
// that a worker thread writes out and hands back.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/recording_owner.h"
#include "core/thread.h"
#include "platform/event.h"
#include "platform/riff_writer.h"
#include "platform/wave_in.h"

namespace melvox {

// The recording format: PCM, mono, 22050 Hz, 16 bits.
WAVEFORMATEX RecordingFormat();

// Start opens the file (emptying it; see RiffWriter::OpenPrivate) with a 44-byte header whose sizes are
// 0, opens the input device and queues the 20 buffers; the worker thread appends each buffer the device
// returns to the file and gives it back, and after every third buffer tells the owner the largest
// sample magnitude over the three. Stop ends the worker, resets and closes the device and rewrites the
// header with the final sizes; input still in the buffers when the worker ended is not written. Once a
// write fails (a full disk) nothing more is written: the header then counts the whole frames that
// reached the file, and Stop reports the failure. A device whose server went away (a buffer back with
// WHDR_DEVICE_ERROR, or an add refused with MMSYSERR_NODRIVER) ends the capture: nothing more is
// recorded or reported, DeviceLost says so, and Stop completes the file and then reports the loss.
//
// Threading: Start, Stop and SetOwner run on the caller's thread (one at a time). The worker thread
// alone touches the file, the byte count, the write failure and the peak while it runs; Stop touches
// them after it has ended. The device's callback only sets data_event_. The owner is called on the
// worker thread.
class CRecordingEngine : public CThread {
 public:
  static constexpr int kBufferCount = 20;
  static constexpr uint32_t kBufferBytes = 1024;
  // The level is reported after this many buffers (1536 samples, about 70 ms).
  static constexpr int32_t kBuffersPerLevel = 3;

  CRecordingEngine();
  // Ends a recording that runs (without a throw).
  ~CRecordingEngine() override;

  // Stops a recording that runs (a failure of its file is not reported), then records into path.
  // Throws CMVException 10 when the file cannot be opened, 11 when its header cannot be written, 13
  // when the device does not open (the file is then left as a valid empty recording).
  void Start(const char* path);
  // Ends the recording and completes the file. Harmless when nothing records. After completing the
  // file it throws CMVException 13 when the device was lost during the recording, else 11 when a write
  // failed: the file then holds the samples written before, with a header that counts them (unless the
  // header itself could not be written).
  void Stop();
  // Stops a recording that runs (a failure of its file is not reported) and leaves path as a valid
  // empty recording; throws as Start does for the file.
  void Clear(const char* path);
  // Opens the input device for the recording format; throws CMVException 13 when it does not open.
  void OpenDevice();
  void SetOwner(IRecordingOwner* owner) { owner_ = owner; }

  // The worker thread.
  uint32_t Run() override;

  // The name of the backend the device was last opened with ("pulse", "null", "test"); empty before.
  const char* DeviceName() const;
  // Sample bytes written by the last recording; read it while nothing records.
  uint32_t DataBytes() const { return data_bytes_; }
  // Whether the device of the recording that runs (or ran last) was lost; any thread.
  bool DeviceLost() const { return device_lost_.load(); }

 private:
  // Opens path as an empty recording (the header with sizes 0, on disk); the file stays open.
  void OpenEmpty(const char* path);
  // Writes the 44-byte header with the current byte count at the start of the file and flushes it;
  // the file position is then 44. False when it did not reach the file.
  bool WriteHeader();
  // Ends a recording that runs and completes its file; false when anything failed to reach it.
  bool Finish();
  // Writes out the returned buffer at index, measures its peak, reports the level every third buffer
  // and gives the buffer back to the device (unless stopping).
  void TakeBuffer(int index, bool stopping, int32_t& reports);

  std::shared_ptr<platform::WaveInSystem> system_;  // the backend of device_, for its name
  std::unique_ptr<platform::WaveIn> device_;        // null while closed
  const WAVEFORMATEX format_;
  std::array<WAVEHDR, kBufferCount> headers_;
  alignas(int16_t) char buffers_[kBufferCount][kBufferBytes] = {};
  platform::RiffWriter file_;
  uint32_t data_bytes_ = 0;
  bool write_failed_ = false;  // a write of this recording failed; nothing more is written
  platform::Event stop_event_{platform::EventMode::kManualReset};
  platform::Event data_event_{platform::EventMode::kAutoReset};
  IRecordingOwner* owner_ = nullptr;
  int32_t peak_ = 0;
  // The header the device returns next: buffers come back in the order they were queued, and the
  // worker takes them in that order, so the file keeps the order of the input.
  int next_index_ = 0;
  // Which headers are in the device's ring (queued and not yet taken back); worker thread while it
  // runs, Start before. Kept here rather than read from the flags: the device clears WHDR_INQUEUE
  // before it sets WHDR_DONE, so a header on its way back would look out of the ring for a moment.
  std::array<bool, kBufferCount> queued_{};
  std::atomic<bool> device_lost_{false};
};

}  // namespace melvox
