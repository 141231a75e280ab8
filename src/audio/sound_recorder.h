// CSoundRecorder: the process's one recorder behind ISoundRecorder and GetRecorder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/notify_queue.h"
#include "audio/recording_engine.h"
#include "audio/recording_owner.h"
#include "core/critical_section.h"
#include "melvox/sound_recorder.h"

namespace melvox {

// Records through its engine into one temporary file, made by the constructor in the temporary folder
// ("tmp" and six random characters, mode 0600) as an empty recording, and deleted by the destructor;
// passes each level the engine reports to the notification queue, once per listener; compares the file
// with a reference. Each recording opens the file by name again, never through a symbolic link, and
// makes it anew (exclusively, mode 0600) when it was deleted.
//
// Threading. The host calls the operations on its own thread. The engine's worker calls OnLevel, which
// only queues; the queue's thread calls the listeners. The listener lock guards the listener list
// against the worker (lock order: listener lock, then the queue's lock).
class CSoundRecorder final : public ISoundRecorder, public IRecordingOwner {
 public:
  // Levels reach the listeners at most once per this many ms.
  static constexpr int32_t kNotifyWaitMs = 50;

  // Creates the temporary file; throws CMVException 10 when it cannot be created, 11 when it cannot be
  // written.
  CSoundRecorder();
  // Stops a recording that runs and deletes the temporary file.
  ~CSoundRecorder() override;

  // ISoundRecorder.
  void Start() override;
  void Stop() override;
  const char* GetFileName() override { return file_name_.c_str(); }
  void AddListener(IRecorderListener* listener) override;
  void RemoveListener(IRecorderListener* listener) override;
  int32_t Compare(const char* reference) override;

  // IRecordingOwner: on the engine's worker thread.
  void OnLevel(int32_t value) override;

  // For the command-line tool (not part of ISoundRecorder), on the host's thread: the backend the
  // device was last opened with ("pulse", "null", "test"), and the sample bytes of the last recording
  // (while nothing records).
  const char* DeviceName() const { return engine_.DeviceName(); }
  uint32_t RecordedBytes() const { return engine_.DataBytes(); }
  // Whether the input device was lost (its server went away) during the recording; any thread.
  bool DeviceLost() const { return engine_.DeviceLost(); }

 private:
  CRecordingEngine engine_;
  std::string file_name_;
  CCriticalSection listeners_lock_;
  std::vector<IRecorderListener*> listeners_;  // guarded by listeners_lock_
  CNotifyQueue notify_queue_;
};

// The recorder of the process (what GetRecorder hands out), made on the first call.
CSoundRecorder& ProcessRecorder();

}  // namespace melvox
