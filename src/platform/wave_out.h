// The wave-output device: plays buffers of PCM frames on the default output, in the order written, and
// hands every buffer back marked done. Three backends implement it (PulseAudio, a null device paced
// at real time, a test device with a fast clock); the one in use is chosen at run time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/wave_format.h"

namespace melvox {

// Result of a device call: 0 for success, else one of the failure codes below.
using MMRESULT = uint32_t;
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;        // the device failed (details in the error text)
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;  // no such device
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;  // the device was closed
constexpr MMRESULT MMSYSERR_NODRIVER = 6;     // no sound server answers, or it went away
constexpr MMRESULT MMSYSERR_NOMEM = 7;        // out of memory
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;  // a null header, a null buffer, or a partial frame
constexpr MMRESULT WAVERR_BADFORMAT = 32;     // the PCM format cannot be played
constexpr MMRESULT WAVERR_STILLPLAYING = 33;  // the buffer, or a buffer of the device, is still queued
constexpr MMRESULT WAVERR_UNPREPARED = 34;    // the buffer was not prepared

// Header flags.
constexpr uint32_t WHDR_DONE = 0x00000001;      // the device has finished with the buffer
constexpr uint32_t WHDR_PREPARED = 0x00000002;  // prepared, may be written
constexpr uint32_t WHDR_INQUEUE = 0x00000010;   // written and not yet done
// Set together with WHDR_DONE when the buffer came back because the device failed (the sound server
// went away), not because it was played.
constexpr uint32_t WHDR_DEVICE_ERROR = 0x00010000;

// Device callback messages.
constexpr uint32_t WOM_DONE = 0x3BD;  // 957: a buffer came back

// One buffer of frames handed to the device. The caller owns it and its data; between Write and the
// done notification the device owns the flags (it reads the data only during Write).
struct WAVEHDR {
  char* lpData = nullptr;
  uint32_t dwBufferLength = 0;  // bytes to play: whole frames
  uint32_t dwBytesRecorded = 0;
  uintptr_t dwUser = 0;
  // The device sets WHDR_DONE from its own thread while the writer's thread looks at the flags, so
  // they are atomic; |=, &= and plain reads work as on a plain integer.
  std::atomic<uint32_t> dwFlags{0};
  uint32_t dwLoops = 0;
};

namespace platform {

// The fixed text of a result code; every code above has its own, unknown ones a generic text.
std::string WaveErrorText(MMRESULT result);

// Called by the device for each buffer that comes back (message WOM_DONE), on a thread of the device
// or inside Reset, possibly while the device holds its own lock: it must only signal (set an event),
// never call the device or wait.
using WaveOutCallback = std::function<void(uint32_t message, WAVEHDR* header)>;

// One open output stream. Buffers come back done in the order written, one callback each.
//
// Threading: every call takes the device's own lock, so two threads may call one device (the engine
// restarts it while its worker already asks for the position); a device's own thread only retires
// buffers and runs the callback. Destroying a device must not race with calls to it.
class WaveOut {
 public:
  virtual ~WaveOut() = default;

  // Marks a header prepared. MMSYSERR_INVALPARAM for a null header or buffer.
  virtual MMRESULT Prepare(WAVEHDR* header) = 0;
  // Clears the prepared mark. WAVERR_STILLPLAYING while the header is queued.
  virtual MMRESULT Unprepare(WAVEHDR* header) = 0;
  // Copies the header's frames to the device and queues the header; it comes back with WHDR_DONE
  // once the device has consumed them. WAVERR_UNPREPARED, WAVERR_STILLPLAYING, MMSYSERR_INVALPARAM
  // (a length that is not whole frames) as the header demands.
  virtual MMRESULT Write(WAVEHDR* header) = 0;
  // Freezes playback and the position; buffers written while paused wait.
  virtual MMRESULT Pause() = 0;
  // Resumes after Pause.
  virtual MMRESULT Restart() = 0;
  // Drops every queued frame, returns every queued buffer done (callbacks included, before Reset
  // returns) and sets the position to 0. A paused device stays paused.
  virtual MMRESULT Reset() = 0;
  // Frames played since the device was opened or last reset (never decreasing in between).
  virtual MMRESULT GetPosition(uint32_t& samples) = 0;
  // Closes the stream. WAVERR_STILLPLAYING while buffers are queued (Reset first). Destroying a
  // device that is still open resets and closes it.
  virtual MMRESULT Close() = 0;
};

// A backend: opens devices and explains their failure codes.
//
// Threading: Open and ErrorText may be called from any thread.
class WaveOutSystem {
 public:
  virtual ~WaveOutSystem() = default;

  // Opens the default output for a PCM format (8-bit unsigned or 16-bit signed samples). On success
  // device holds the new device; else it is empty and the result says why.
  virtual MMRESULT Open(const WAVEFORMATEX& format, WaveOutCallback callback, std::unique_ptr<WaveOut>& device) = 0;
  // The text for a result code of this backend's devices, with the backend's own detail of its last
  // failure of that code when it has one.
  virtual std::string ErrorText(MMRESULT result) const { return WaveErrorText(result); }
  // Short name: "pulse", "null" or "test".
  virtual const char* Name() const = 0;
};

// Whether every backend accepts format: PCM, 8 or 16 bits, 1 to 8 channels, a rate from 1 to
// 384000 Hz, and a block alignment that matches bits and channels.
bool IsPlayableFormat(const WAVEFORMATEX& format);

// The backend in use (wave_backend.cpp): the one put in use, else PulseAudio when a server answers
// (then kept), else a backend whose opens fail with MMSYSERR_NODRIVER (not kept: the next call asks
// again). The null device is never chosen here: a host without a server hears of it instead of playing
// silently.
std::shared_ptr<WaveOutSystem> CurrentWaveOutSystem();
// Puts a backend in use (a test device; UseWaveBackend puts a named one in use for both directions);
// null returns to the automatic choice. Devices already open keep their backend.
void SetWaveOutSystem(std::shared_ptr<WaveOutSystem> system);

}  // namespace platform
}  // namespace melvox
