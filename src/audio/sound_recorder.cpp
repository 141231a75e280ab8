#include "audio/sound_recorder.h"

#include <algorithm>

#include "audio/recording_comparison.h"
#include "core/mv_exception.h"
#include "core/public_call.h"
#include "platform/temp_file.h"

namespace melvox {

CSoundRecorder::CSoundRecorder() {
  engine_.SetOwner(this);
  if (!platform::CreateTempFile("tmp", file_name_)) throw CMVException(kErrCannotOpenFile);
  try {
    // An empty recording until the first one: Compare before it compares an empty sound.
    engine_.Clear(file_name_.c_str());
  } catch (const CMVException&) {
    platform::DeleteFile(file_name_.c_str());
    throw;
  }
  notify_queue_.SetWaitTime(kNotifyWaitMs);
}

CSoundRecorder::~CSoundRecorder() {
  try {
    engine_.Stop();
  } catch (const CMVException&) {
    // A device lost, or a file that could not be written whole, at the end of the process: the file
    // goes anyway.
  }
  platform::DeleteFile(file_name_.c_str());
}

void CSoundRecorder::Start() {
  GuardPublicCall([this] { engine_.Start(file_name_.c_str()); });
}

void CSoundRecorder::Stop() {
  GuardPublicCall([this] { engine_.Stop(); });
}

void CSoundRecorder::AddListener(IRecorderListener* listener) {
  if (listener == nullptr) return;
  CLock lock(listeners_lock_);
  if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) return;
  listeners_.push_back(listener);
  notify_queue_.Reserve(listeners_.size());
}

void CSoundRecorder::RemoveListener(IRecorderListener* listener) {
  {
    CLock lock(listeners_lock_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
  }
  // No new level is queued for it now; drop the ones waiting and let a call in progress end.
  notify_queue_.Remove(listener);
}

int32_t CSoundRecorder::Compare(const char* reference) {
  return GuardPublicCall([&] { return CompareRecording(reference, file_name_.c_str()); });
}

void CSoundRecorder::OnLevel(int32_t value) {
  CLock lock(listeners_lock_);
  for (IRecorderListener* listener : listeners_) notify_queue_.Push(listener, value);
}

CSoundRecorder& ProcessRecorder() {
  static CSoundRecorder recorder;
  return recorder;
}

// The library's entry point for the recorder lives next to it, so that src/core stays below the
// modules whose objects it would otherwise have to hand out. A constructor that throws leaves the
// recorder unmade, and the next call tries again.
ISoundRecorder& GetRecorder() {
  return GuardPublicCall([]() -> ISoundRecorder& { return ProcessRecorder(); });
}

}  // namespace melvox
