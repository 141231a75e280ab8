// The wave-input device: records the default input into buffers of PCM frames that the caller hands
// it, and returns every buffer, in the order added, with the count of bytes recorded into it. Three
// backends implement it (PulseAudio, a null device delivering silence at real time, a test device
// delivering scripted samples on a fast clock); the one in use is chosen at run time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/wave_format.h"
#include "platform/wave_out.h"

namespace melvox {

// Device callback message: a buffer came back (full, or partly filled by a stop or a reset).
constexpr uint32_t WIM_DATA = 0x3C0;  // 960

namespace platform {

// Called by the device for each buffer that comes back (message WIM_DATA), on a thread of the device
// or inside Stop and Reset, possibly while the device holds its own lock: it must only signal (set an
// event), never call the device or wait.
using WaveInCallback = std::function<void(uint32_t message, WAVEHDR* header)>;

// One open input stream, created stopped. Buffers are filled one after another in the order added;
// each comes back once with WHDR_DONE set (WHDR_INQUEUE cleared first), dwBytesRecorded holding its
// count of bytes (whole frames), and one callback. Input that arrives while no buffer is queued waits
// and fills the next buffers added; a stop or reset drops what still waits. Input that arrives while
// the device is stopped is not captured.
//
// Threading: every call takes the device's own lock, so the caller may use one device from two
// threads; the device's own thread only fills and returns buffers. Destroying a device must not race
// with calls to it.
class WaveIn {
 public:
  virtual ~WaveIn() = default;

  // Marks a header prepared. MMSYSERR_INVALPARAM for a null header or buffer.
  virtual MMRESULT Prepare(WAVEHDR* header) = 0;
  // Clears the prepared mark. WAVERR_STILLPLAYING while the header is queued.
  virtual MMRESULT Unprepare(WAVEHDR* header) = 0;
  // Queues a prepared header for filling: dwBytesRecorded becomes 0 and WHDR_DONE is cleared.
  // WAVERR_UNPREPARED, WAVERR_STILLPLAYING, MMSYSERR_INVALPARAM (a length of less than one frame) as
  // the header demands.
  virtual MMRESULT AddBuffer(WAVEHDR* header) = 0;
  // Starts recording into the queued buffers.
  virtual MMRESULT Start() = 0;
  // Stops recording. The buffer being filled comes back with the bytes it holds (when it holds any);
  // the empty buffers stay queued for the next Start.
  virtual MMRESULT Stop() = 0;
  // Stops recording and returns every queued buffer (the one being filled with its bytes, the others
  // with 0), callbacks included, before it returns.
  virtual MMRESULT Reset() = 0;
  // Closes the stream. WAVERR_STILLPLAYING while buffers are queued (Reset first). Destroying a
  // device that is still open resets and closes it.
  virtual MMRESULT Close() = 0;
};

// A backend: opens input devices and explains their failure codes.
//
// Threading: Open and ErrorText may be called from any thread.
class WaveInSystem {
 public:
  virtual ~WaveInSystem() = default;

  // Opens the default input for a PCM format (IsPlayableFormat: the formats every backend serves in
  // both directions). On success device holds the new, stopped device; else it is empty and the
  // result says why.
  virtual MMRESULT Open(const WAVEFORMATEX& format, WaveInCallback callback, std::unique_ptr<WaveIn>& device) = 0;
  // The text for a result code of this backend's devices, with the backend's own detail of its last
  // failure of that code when it has one.
  virtual std::string ErrorText(MMRESULT result) const { return WaveErrorText(result); }
  // Short name: "pulse", "null" or "test".
  virtual const char* Name() const = 0;
};

// The input backend in use, chosen as the output's (CurrentWaveOutSystem): never the null device
// unless it was put in use.
std::shared_ptr<WaveInSystem> CurrentWaveInSystem();
// Puts a backend in use (a test device; UseWaveBackend puts a named one in use for both directions);
// null returns to the automatic choice. Devices already open keep their backend.
void SetWaveInSystem(std::shared_ptr<WaveInSystem> system);

}  // namespace platform
}  // namespace melvox
