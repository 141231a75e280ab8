#include "play_follow.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/event.h"

namespace melvox::cli {
namespace {

constexpr int64_t kRefreshMs = 100;

// Registered with the player while one playback is followed; only signals (it runs on the player's
// playback thread).
class EndListener final : public IPlayerListener {
 public:
  explicit EndListener(CSoundPlayer& player) : player_(player) { player_.AddListener(this); }
  ~EndListener() { player_.RemoveListener(this); }
  EndListener(const EndListener&) = delete;
  EndListener& operator=(const EndListener&) = delete;

  void OnPlaybackEnded() override { ended_.Set(); }
  bool WaitEnded(int64_t timeout_ms) { return ended_.Wait(timeout_ms); }

 private:
  CSoundPlayer& player_;
  platform::Event ended_{platform::EventMode::kManualReset};
};

double Seconds(int64_t frames, uint32_t rate) { return rate != 0 ? static_cast<double>(frames) / rate : 0.0; }

}  // namespace

PlayEnd PlayAndFollow(CSoundPlayer& player, bool slowed, const char* indent, const std::function<bool()>& should_stop) {
  const bool live = ::isatty(::fileno(stdout)) == 1;
  EndListener listener(player);
  if (slowed) {
    player.PlaySlowed();
  } else {
    player.PlayOriginal();
  }
  std::printf("%sdevice: %s\n", indent, player.DeviceName());
  std::fflush(stdout);

  const CSoundPlayer::PlayRange range = player.LastRange();
  const int64_t total = std::max<int64_t>(0, int64_t{range.end} - range.start);
  int64_t elapsed = 0;
  auto show = [&](const char* start, const char* end) {
    std::printf("%s%sposition: %.2f s / %.2f s%s", start, indent, Seconds(elapsed, range.rate),
                Seconds(total, range.rate), end);
    std::fflush(stdout);
  };
  bool ended = false;
  for (;;) {
    if (listener.WaitEnded(kRefreshMs)) {
      ended = true;
      break;
    }
    // The buffer that crosses the end of the range plays whole, so the position may pass it.
    if (const int32_t position = player.GetPlayPosition(); position >= 0) {
      elapsed = std::clamp<int64_t>(int64_t{position} - range.start, 0, total);
    }
    if (should_stop()) break;
    // Erasing to the end of the line keeps a shorter line from leaving characters behind.
    if (live) show("\r", "\033[K");
  }
  const bool lost = ended && player.DeviceLost();
  if (ended && !lost) {
    elapsed = total;
  } else if (!ended) {
    player.Stop();
  }
  show(live ? "\r" : "", live ? "\033[K\n" : "\n");
  return lost ? PlayEnd::kDeviceLost : ended ? PlayEnd::kPlayedOut : PlayEnd::kStopped;
}

}  // namespace melvox::cli
