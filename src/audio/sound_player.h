// CSoundPlayer: the process's one player behind ISoundPlayer and GetPlayer.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/playback_engine.h"
#include "core/critical_section.h"
#include "melvox/sound_player.h"
#include "platform/file_stamp.h"
#include "sound/counted_ptr.h"
#include "sound/sound_node.h"

namespace melvox {

// Keeps the loaded file's source and its slowed version (a CMemorySource made by PrepareSlowed),
// plays either through its own engine, whole or between the frames that endpoint detection found,
// and tells the listeners of a natural end. After Stop or a natural end the source is closed and
// released; the next operation that needs it opens the file again, or loads it again (slowed version
// and selections too) when its size or modification time changed since it was loaded. The slowed
// version stays. A Load that fails leaves nothing loaded.
//
// Threading. The host calls the operations on its own thread; the engine's worker calls
// OnPlaybackEnded and, from it, the listeners. The player lock guards the source holder (and
// playing_) against that worker; lock order is player lock, then engine lock, never the reverse.
// Nothing waits for the worker while holding the player lock: Load and Stop stop the engine before
// they take it, and PlayOriginal and PlaySlowed first wait for a worker that is still inside its end
// notification (which takes the player lock), so that the engine is idle when they start it. The
// listener list has a mutex of its own, held while the listeners are called; the worker's own calls
// of AddListener and RemoveListener from a listener use it without locking again.
class CSoundPlayer final : public ISoundPlayer, public IPlaybackOwner {
 public:
  // A range of frames handed to the engine, and the rate of the version it belongs to.
  struct PlayRange {
    int32_t start = 0;
    uint32_t end = 0;
    uint32_t rate = 0;
  };

  CSoundPlayer();
  // Stops the engine (waiting for a worker still in its notification), then closes the source.
  ~CSoundPlayer() override;

  // ISoundPlayer.
  void Load(const char* path, int32_t use_selection) override;
  void PlayOriginal() override;
  void PlaySlowed() override;
  void SetSlowdown(int32_t level) override;
  int32_t GetDuration() override;
  void Stop() override;
  void AddListener(IPlayerListener* listener) override;
  void RemoveListener(IPlayerListener* listener) override;

  // IPlaybackOwner: on the engine's worker thread.
  void OnPlaybackEnded() override;

  // For the command-line tool (not part of ISoundPlayer). The frame being heard, -1 while the
  // device is closed (before playing, after Stop or a natural end); any thread.
  int32_t GetPlayPosition() { return engine_.GetPlayPosition(); }
  // The range of the last PlayOriginal or PlaySlowed; host thread.
  PlayRange LastRange() const { return last_range_; }
  // The backend the engine's device was last opened with ("pulse", "null", "test"); host thread.
  const char* DeviceName() const { return engine_.DeviceName(); }
  // Whether the last play ended because the device was lost (its server went away); any thread.
  bool DeviceLost() const { return engine_.DeviceLost(); }

 private:
  // Under the lock: opens the file again when the source holder is empty, or loads it again when it
  // changed since it was loaded; "Cannot open file" when it is gone.
  void ReopenSource();
  // Under the lock: opens file_name_, prepares its slowed version and, with use_selection_, finds both
  // selections. On failure nothing is loaded (no file name, no versions) and the error goes on.
  void LoadFile();
  // Under the lock: closes and releases the source.
  void CloseSource();
  // Connects version to the engine and plays first..last, or the whole version without a selection.
  void PlayVersion(const CountedPtr<CSoundSource>& version, int32_t first, int32_t last);
  // Locks the listener list, unless the calling thread is the one notifying (which holds it already).
  std::unique_lock<std::mutex> LockListeners();
  void NotifyListeners();

  CPlaybackEngine engine_;
  CountedPtr<CSoundSource> source_;
  CountedPtr<CSoundSource> slowed_;
  std::string file_name_;
  platform::FileStamp stamp_;  // of the file when it was last loaded
  int32_t level_ = -10;
  CCriticalSection lock_;
  std::vector<IPlayerListener*> listeners_;
  int32_t source_first_ = -1;
  int32_t source_last_ = -1;
  int32_t slowed_first_ = -1;
  int32_t slowed_last_ = -1;
  int32_t use_selection_ = 0;

  // What the engine was last given to read, kept alive until the engine is stopped again: SetSlowdown
  // may replace the slowed holder while the old version still plays. Changed under the lock.
  CountedPtr<CSoundSource> playing_;
  PlayRange last_range_;
  std::mutex listeners_mutex_;
  std::atomic<std::thread::id> notifying_{};
};

// The player of the process (what GetPlayer hands out), made on the first call.
CSoundPlayer& ProcessPlayer();

}  // namespace melvox
