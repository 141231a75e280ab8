#include "audio/sound_player.h"

#include <algorithm>
#include <climits>

#include "analysis/endpoint_detector.h"
#include "analysis/slowed_sound.h"
#include "core/mv_exception.h"
#include "core/public_call.h"
#include "melvox/errors.h"
#include "platform/file_stamp.h"
#include "sound/open_sound_file.h"

namespace melvox {
namespace {

constexpr int32_t kMildestLevel = -10;
constexpr int32_t kStrongestLevel = -100;
constexpr const char* kNothingToPlay = "Nothing to play.";

// The selection that endpoint detection leaves in the whole decoded sound of version, as first and
// last frame; unchanged when the version has no sound to decode.
void DetectSelection(CSoundSource& version, int32_t& first, int32_t& last) {
  std::unique_ptr<CWave> wave = version.GetWave();
  if (!wave) return;
  DetectEndpoints(*wave);
  first = wave->SelectionStart();
  last = wave->SelectionEnd();
}

}  // namespace

CSoundPlayer::CSoundPlayer() { engine_.SetOwner(this); }

CSoundPlayer::~CSoundPlayer() {
  engine_.StopAndWait();
  engine_.SetInput(nullptr);
  CLock lock(lock_);
  CloseSource();
  playing_.Reset();
}

void CSoundPlayer::ReopenSource() {
  if (source_) return;
  platform::FileStamp now;
  if (!platform::StampFile(file_name_.c_str(), now)) throw CMVException(kErrCannotOpenFile);
  // Changed since it was loaded: its selections and slowed version belong to the old content.
  if (now != stamp_) {
    LoadFile();
  } else {
    source_ = OpenSoundFile(file_name_.c_str());
  }
}

void CSoundPlayer::LoadFile() {
  try {
    CloseSource();
    // Taken before the file is read, so that a change while it is read shows at the next reopening.
    platform::StampFile(file_name_.c_str(), stamp_);
    source_ = OpenSoundFile(file_name_.c_str());
    slowed_ = PrepareSlowed(*source_, level_);
    if (use_selection_ != 0) {
      DetectSelection(*source_, source_first_, source_last_);
      if (slowed_) DetectSelection(*slowed_, slowed_first_, slowed_last_);
    }
  } catch (...) {
    // Nothing half loaded: the player has nothing to play, as before the first Load.
    CloseSource();
    slowed_.Reset();
    file_name_.clear();
    throw;
  }
}

void CSoundPlayer::CloseSource() {
  if (source_) {
    source_->Close();
    source_.Reset();
  }
}

void CSoundPlayer::Load(const char* path, int32_t use_selection) {
  GuardPublicCall([&] {
    engine_.StopAndWait();
    CLock lock(lock_);
    playing_.Reset();
    file_name_ = path != nullptr ? path : "";
    use_selection_ = use_selection;
    LoadFile();
  });
}

void CSoundPlayer::PlayVersion(const CountedPtr<CSoundSource>& version, int32_t first, int32_t last) {
  engine_.SetInput(version.Get());
  playing_ = version;
  WAVEFORMATEX format;
  version->GetFormat(format);
  // A selection is -1 only when the version had no sound to detect in; it then plays whole.
  if (use_selection_ != 0 && first >= 0 && last >= 0) {
    last_range_ = {first, static_cast<uint32_t>(last), format.nSamplesPerSec};
  } else {
    last_range_ = {0, static_cast<uint32_t>(engine_.GetLength()), format.nSamplesPerSec};
  }
  engine_.Play(last_range_.start, last_range_.end);
}

void CSoundPlayer::PlayOriginal() {
  GuardPublicCall([&] {
    if (file_name_.empty()) throw CMsgException(kNothingToPlay);
    engine_.StopAndWait();
    CLock lock(lock_);
    playing_.Reset();
    ReopenSource();
    PlayVersion(source_, source_first_, source_last_);
  });
}

void CSoundPlayer::PlaySlowed() {
  GuardPublicCall([&] {
    if (!slowed_) throw CMsgException(kNothingToPlay);
    engine_.StopAndWait();
    CLock lock(lock_);
    playing_.Reset();
    PlayVersion(slowed_, slowed_first_, slowed_last_);
  });
}

void CSoundPlayer::SetSlowdown(int32_t level) {
  GuardPublicCall([&] {
    level = std::clamp(level, kStrongestLevel, kMildestLevel);
    if (level == level_) return;
    CLock lock(lock_);
    // Nothing loaded: Load prepares the slowed version at this level.
    if (file_name_.empty()) {
      level_ = level;
      return;
    }
    ReopenSource();
    // The old slowed version may still play: playing_ keeps it alive. The source the engine reads
    // must not be rewound under it, so the slowed version is then made from a second opening.
    CountedPtr<CSoundSource> slowed;
    if (playing_.Get() == source_.Get()) {
      CountedPtr<CSoundSource> copy = OpenSoundFile(file_name_.c_str());
      slowed = PrepareSlowed(*copy, level);
    } else {
      slowed = PrepareSlowed(*source_, level);
    }
    // Only now, so that a failure leaves the old level with the version made at it.
    level_ = level;
    slowed_ = slowed;
  });
}

int32_t CSoundPlayer::GetDuration() {
  return GuardPublicCall([&] {
    CLock lock(lock_);
    if (file_name_.empty()) return 0;
    ReopenSource();
    const auto frames = static_cast<uint32_t>(source_->GetLength());
    WAVEFORMATEX format;
    source_->GetFormat(format);
    // Our sources refuse a rate of 0; should one come, there is no duration to give.
    if (format.nSamplesPerSec == 0) return 0;
    const float ms = static_cast<float>(frames) / static_cast<float>(format.nSamplesPerSec) * 1000.0f;
    return ms < 2147483648.0f ? static_cast<int32_t>(ms) : INT32_MAX;
  });
}

void CSoundPlayer::Stop() {
  GuardPublicCall([&] {
    engine_.StopAndWait();
    CLock lock(lock_);
    CloseSource();
    playing_.Reset();
  });
}

std::unique_lock<std::mutex> CSoundPlayer::LockListeners() {
  if (notifying_.load() == std::this_thread::get_id()) return {};
  return std::unique_lock<std::mutex>(listeners_mutex_);
}

void CSoundPlayer::AddListener(IPlayerListener* listener) {
  if (listener == nullptr) return;
  const std::unique_lock<std::mutex> lock = LockListeners();
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void CSoundPlayer::RemoveListener(IPlayerListener* listener) {
  const std::unique_lock<std::mutex> lock = LockListeners();
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void CSoundPlayer::NotifyListeners() {
  const std::lock_guard<std::mutex> lock(listeners_mutex_);
  notifying_.store(std::this_thread::get_id());
  // A listener may add or remove listeners: go through the list as it was, skipping any removed
  // meanwhile.
  const std::vector<IPlayerListener*> listeners = listeners_;
  for (IPlayerListener* listener : listeners) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) continue;
    try {
      listener->OnPlaybackEnded();
    } catch (...) {
      // The host's exception must not end the playback thread; the other listeners still hear.
    }
  }
  notifying_.store(std::thread::id());
}

void CSoundPlayer::OnPlaybackEnded() {
  engine_.SetInput(nullptr);
  {
    CLock lock(lock_);
    CloseSource();
  }
  NotifyListeners();
}

CSoundPlayer& ProcessPlayer() {
  static CSoundPlayer player;
  return player;
}

// The library's entry point for the player lives next to it, so that src/core stays below the
// modules whose objects it would otherwise have to hand out.
ISoundPlayer& GetPlayer() { return ProcessPlayer(); }

}  // namespace melvox
