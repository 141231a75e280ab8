// Many short plays through the player in a row, with listeners attached, so that a race or a deadlock
// between the host's calls, the engine's worker and its end notification shows up (and under
// ThreadSanitizer, so that an unguarded access is reported).
#include <gtest/gtest.h>

#include "audio/engine_fixture.h"
#include "audio/sound_player.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox {
namespace {

using testing::CountingOwner;
using testing::PcmWav16;
using testing::TempDir;
using testing::TestDeviceScope;

constexpr int kCycles = 500;
constexpr int64_t kPatienceMs = 5000;
constexpr uint32_t kRate = 22050;

// A player with a tone of `ms` loaded and two listeners, a before b.
struct ListenedPlayer {
  explicit ListenedPlayer(int ms)
      : path(folder.Write("tone.wav", PcmWav16(samples::Tone(kRate, 440.0f, ms, 9000.0f), kRate))) {
    player.AddListener(&a);
    player.AddListener(&b);
    player.Load(path.c_str(), 0);
  }
  TempDir folder;
  std::string path;
  CSoundPlayer player;
  CountingOwner a;
  CountingOwner b;
};

TEST(SoundPlayerStressTest, PlayThenStopAtOnceNeverTellsTheListeners) {
  TestDeviceScope scope(20.0);  // 20000 frames last 45 ms: Stop always comes first
  ListenedPlayer listened(907);
  CSoundPlayer& player = listened.player;
  for (int i = 0; i < kCycles; ++i) {
    if (i % 2 == 0) {
      player.PlayOriginal();
    } else {
      player.PlaySlowed();
    }
    if (i % 3 != 0) player.Stop();  // else the next play stops it
  }
  player.Stop();
  player.Stop();  // on a stopped player
  EXPECT_EQ(listened.a.Ended(), 0);
  EXPECT_EQ(listened.b.Ended(), 0);
  EXPECT_EQ(scope.Device().LiveDevices(), 0u);
  EXPECT_EQ(scope.Device().OpenCount(), static_cast<uint32_t>(kCycles));
  EXPECT_TRUE(scope.Boxes().empty());
}

TEST(SoundPlayerStressTest, PlayToTheNaturalEndTellsTheListenersEveryTime) {
  TestDeviceScope scope(100.0);  // 2500 frames (3 buffers) last about 1 ms
  ListenedPlayer listened(113);
  CSoundPlayer& player = listened.player;
  CountingOwner& a = listened.a;
  CountingOwner& b = listened.b;
  for (int i = 0; i < kCycles; ++i) {
    // The next play follows the end notification at once: the player itself waits for the worker
    // to leave it, and opens the file again (the natural end released the source).
    player.PlayOriginal();
    // While it plays (or already notifies), b leaves and comes back, behind a.
    player.RemoveListener(&b);
    player.AddListener(&b);
    ASSERT_TRUE(a.WaitEnded(kPatienceMs)) << "cycle " << i;
  }
  player.Stop();
  EXPECT_EQ(a.Ended(), kCycles);
  // b misses the ends that came while it was away, and hears each other one once.
  EXPECT_LE(b.Ended(), kCycles);
  EXPECT_EQ(scope.Device().LiveDevices(), 0u);
  EXPECT_TRUE(scope.Boxes().empty());
}

}  // namespace
}  // namespace melvox
