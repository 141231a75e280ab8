// The sound recorder: the one object of the process that records the default input into a temporary
// WAV file, reports the input level while it records, and compares the recording with a reference.
#pragma once

#include <cstdint>

#include "melvox/export.h"

namespace melvox {

// Implemented by the host and handed to ISoundRecorder::AddListener; the recorder never owns it.
//
// Threading: OnLevel runs on the recorder's notification thread, not on the host's thread, at most
// once per 50 ms across all listeners. It may call AddListener, RemoveListener and Stop; it must not
// wait for the thread that calls the recorder. A host class that is not final needs a virtual
// destructor of its own.
class MELVOX_API IRecorderListener {
 public:
  // The input level of the running recording: the largest sample magnitude, 0 .. 32767, over the
  // last three buffers recorded (1536 samples, about 70 ms).
  virtual void OnLevel(int32_t value) = 0;

 protected:
  ~IRecorderListener() = default;
};

// Records the default input device at 22050 Hz, 16-bit mono into one temporary WAV file (made when
// the recorder is, as an empty recording; rewritten by every recording; deleted when the process ends
// normally), and compares the recording with a reference sound file.
//
// Start, Stop and Compare throw CMsgException on failure, with the library's message ("Cannot open
// file", "File I/O error", "Could not init audio system", "Incorrect wave format", ...). No message box
// is shown.
//
// Threading: call every operation from one thread, the host's. Listeners are called on the recorder's
// notification thread. Get the object with GetRecorder; it lives until the process ends.
class MELVOX_API ISoundRecorder {
 public:
  // Starts a new recording into the temporary file (stopping one that runs): the file is emptied and
  // gets a 44-byte header, the samples follow as they are recorded. The file is opened by its name,
  // never through a symbolic link ("Cannot open file" when one stands there), and made anew with mode
  // 0600 when it was deleted.
  virtual void Start() = 0;
  // Stops the recording and completes the file's header. Harmless when nothing records. When the
  // input device failed during the recording (its sound server went away), the file holds what came
  // before and Stop then throws "Could not init audio system"; when the recording could not be written
  // whole (a full disk), the file holds the samples written until then, with a header that counts
  // them, and Stop throws "File I/O error".
  virtual void Stop() = 0;
  // The path of the temporary file, the same for the life of the recorder.
  virtual const char* GetFileName() = 0;
  // Registers a listener (once; null is ignored). Listeners are called in the order they were added.
  virtual void AddListener(IRecorderListener* listener) = 0;
  // Unregisters a listener and drops the levels still waiting for it. Called from another thread
  // than the notification thread, it waits for a notification in progress, so once it returns the
  // listener is not called again.
  virtual void RemoveListener(IRecorderListener* listener) = 0;
  // The similarity of the recording (as the file stands: before the first recording and during a
  // recording, an empty sound) with the sound file at reference, in percent, 0 .. 100. 0 when either
  // sound is longer than 10 seconds.
  virtual int32_t Compare(const char* reference) = 0;
  virtual ~ISoundRecorder() = default;
};

// The recorder of the process, made on the first call (which creates its temporary file) and
// destroyed when the process ends. Throws CMsgException ("Cannot open file") when the temporary file
// cannot be created; the next call tries again. The first call should come from the host's thread.
MELVOX_API ISoundRecorder& GetRecorder();

}  // namespace melvox
