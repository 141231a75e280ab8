// The sound player: the one object of the process that plays a sound file, unchanged or slowed, and
// tells the host when the sound has played out.
#pragma once

#include <cstdint>

#include "melvox/export.h"

namespace melvox {

// Implemented by the host and handed to ISoundPlayer::AddListener; the player never owns it.
//
// Threading: OnPlaybackEnded runs on the player's playback thread, not on the host's thread. It may
// call Stop, AddListener and RemoveListener; a PlayOriginal or PlaySlowed called from inside it does
// not start playback (post it to the host's own thread instead), and it must not wait for the thread
// that calls the player. A host class that is not final needs a virtual destructor of its own.
class MELVOX_API IPlayerListener {
 public:
  // The sound played to its end by itself (never after ISoundPlayer::Stop), or playback ended early
  // because the audio device failed (its sound server went away; the message box said so).
  virtual void OnPlaybackEnded() = 0;

 protected:
  ~IPlayerListener() = default;
};

// Loads one sound file (WAV with mono PCM or IMA ADPCM samples, or Ogg Vorbis) and keeps two versions
// of it: the file's own sound and a slowed one, longer by whole pitch periods without a drop in pitch.
// Either version plays whole, or only its useful part (from the detected start to the detected end of
// the sound) when Load was asked for that.
//
// Every operation except AddListener and RemoveListener throws CMsgException on failure, with the
// library's message ("Cannot open file", "Incorrect wave format", "Could not init audio system",
// "Nothing to play.", ...); a failed audio device is also shown in a message box.
//
// Threading: call every operation from one thread, the host's. Listeners are called on the playback
// thread. The object lives until the process ends: get it with GetPlayer, never delete it.
class MELVOX_API ISoundPlayer {
 public:
  // Stops playback, opens path, prepares its slowed version at the current slow-down level and, when
  // use_selection is not 0, finds the start and end of the sound in both versions; playback is then
  // restricted to them until the next Load. On failure nothing is loaded: both plays say "Nothing to
  // play." and GetDuration gives 0 until a Load succeeds.
  virtual void Load(const char* path, int32_t use_selection) = 0;
  // Plays the file's own sound (stopping what plays). "Nothing to play." before a Load. A file whose
  // size or modification time changed since Load is loaded again first (its slowed version and
  // selections with it), so that what plays and the part played belong together.
  virtual void PlayOriginal() = 0;
  // Plays the slowed version (stopping what plays). "Nothing to play." when there is none: before a
  // Load, or for a sound the analysis does not take (a rate outside 8000..96000 Hz).
  virtual void PlaySlowed() = 0;
  // The slow-down level, in percent of the sound's length: the slowed version is (100 - level) / 100
  // times as long as the sound. Held within -100..-10 (-10: 1.1 times, the default; -100: twice).
  // A new level prepares the slowed version again (before any Load it is only kept for the Load);
  // what plays goes on playing.
  virtual void SetSlowdown(int32_t level) = 0;
  // The length of the file's own sound in milliseconds (truncated), whatever version plays; 0 when
  // nothing is loaded.
  virtual int32_t GetDuration() = 0;
  // Stops playback; listeners are not told. Harmless when nothing plays.
  virtual void Stop() = 0;
  // Registers a listener (once; null is ignored). Listeners are called in the order they were added.
  virtual void AddListener(IPlayerListener* listener) = 0;
  // Unregisters a listener. Called from another thread than the playback thread, it waits for a
  // notification in progress, so once it returns the listener is not called again.
  virtual void RemoveListener(IPlayerListener* listener) = 0;

 protected:
  ~ISoundPlayer() = default;
};

// The player of the process, made on the first call and stopped when the process ends. The first call
// should come from the host's thread (two threads racing on the first call are not guarded against).
MELVOX_API ISoundPlayer& GetPlayer();

}  // namespace melvox
