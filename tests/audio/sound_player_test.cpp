#include "audio/sound_player.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/endpoint_detector.h"
#include "analysis/slowed_sound.h"
#include "audio/audio_fixture.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "support/sound_data.h"
#include "support/thrown.h"

// The no-server case below starts libpulse's main loop, whose own synchronization (atomics and
// lock-free queues compiled without ThreadSanitizer) the sanitizer cannot see: not our races.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
  return "race:libpulsecommon\nrace:libpulse.so\n";
}

namespace melvox::testing {
namespace {

// Generous bounds for "it happens": only a hung player exceeds them.
constexpr int64_t kPatienceMs = 5000;
constexpr uint32_t kRate = 22050;

std::vector<int16_t> Speech() { return samples::SpeechLike(kRate, samples::DemoPhrase(), samples::Voice{}); }

// The samples of a 16-bit mono source (its length's worth: a slowed version's block can hold more),
// and the selection that endpoint detection gives its decoded sound.
struct Decoded {
  std::vector<int16_t> samples;
  int32_t first = 0;
  int32_t last = 0;
};
Decoded Decode(CSoundSource& source) {
  std::unique_ptr<CWave> wave = source.GetWave();
  std::vector<int16_t> samples = Samples16(*wave);
  samples.resize(static_cast<size_t>(source.GetLength()));
  DetectEndpoints(*wave);
  return {samples, wave->SelectionStart(), wave->SelectionEnd()};
}

// Plays one version through the player and returns the frames the device received.
std::vector<int16_t> PlayToTheEnd(CSoundPlayer& player, TestDeviceScope& scope, bool slowed) {
  CountingOwner listener;
  player.AddListener(&listener);
  scope.Device().ClearWritten();
  if (slowed) {
    player.PlaySlowed();
  } else {
    player.PlayOriginal();
  }
  EXPECT_TRUE(listener.WaitEnded(kPatienceMs));
  player.RemoveListener(&listener);
  return AsFrames(scope.Device().Written());
}

TEST(SoundPlayerTest, SlowdownIsHeldWithinItsRangeAndANewLevelLeavesWhatPlaysIntact) {
  // A slow clock, so that a new level is prepared (a few ms) while the sound still plays (1.4 s in
  // 140 ms).
  TestDeviceScope scope(10.0);
  TempDir folder;
  const std::string path = folder.Write("speech.wav", PcmWav16(Speech(), kRate));
  const Decoded original = Decode(*OpenSoundFile(path.c_str()));
  std::map<int32_t, Decoded> slowed;
  for (int32_t level : {-10, -37, -100}) slowed[level] = Decode(*PrepareSlowed(*OpenSoundFile(path.c_str()), level));
  CSoundPlayer player;
  player.Load(path.c_str(), 0);
  for (const auto& [level, held] : {std::pair{-10, -10}, {0, -10}, {-37, -37}, {-150, -100}}) {
    player.SetSlowdown(level);
    EXPECT_EQ(PlayToTheEnd(player, scope, true), slowed[held].samples) << "level " << level;
  }

  // The version that plays stays alive although the player let go of it ...
  CountingOwner listener;
  player.AddListener(&listener);
  scope.Device().ClearWritten();
  player.PlaySlowed();
  player.SetSlowdown(-37);
  ASSERT_TRUE(listener.WaitEnded(kPatienceMs));
  EXPECT_EQ(AsFrames(scope.Device().Written()), slowed[-100].samples);
  // ... and the source that plays is not read for the new version under the engine.
  scope.Device().ClearWritten();
  player.PlayOriginal();
  player.SetSlowdown(-10);
  ASSERT_TRUE(listener.WaitEnded(kPatienceMs));
  EXPECT_EQ(AsFrames(scope.Device().Written()), original.samples);
  player.RemoveListener(&listener);
  EXPECT_EQ(PlayToTheEnd(player, scope, true), slowed[-10].samples);

  // With -10 stored, a level held at -10 prepares nothing (the file is gone), another one must open it.
  player.Stop();
  std::remove(path.c_str());
  player.SetSlowdown(-10);
  player.SetSlowdown(0);
  EXPECT_EQ(HostMessageOf([&] { player.SetSlowdown(-11); }), "Cannot open file");
  EXPECT_EQ(HostMessageOf([&] { player.SetSlowdown(-11); }), "Cannot open file") << "a failed level is not kept";
}

TEST(SoundPlayerTest, EachVersionPlaysItsDetectedPartAndAChangedFileIsLoadedAgain) {
  TestDeviceScope scope(100.0);
  TempDir folder;
  const std::string path = folder.File("speech.wav");
  // Writes the speech after `quiet` samples of silence; returns what its detected part plays.
  auto part = [](const Decoded& d) {
    return PlayedFrames(d.samples, static_cast<uint32_t>(d.first), static_cast<uint32_t>(d.last));
  };
  auto write = [&](size_t quiet) {
    std::vector<int16_t> sound = Speech();
    sound.insert(sound.begin(), quiet, 0);
    WriteFileBytes(path, PcmWav16(sound, kRate));
    return part(Decode(*OpenSoundFile(path.c_str())));
  };
  const std::vector<int16_t> first = write(0);
  CSoundPlayer player;
  player.Load(path.c_str(), 1);
  EXPECT_EQ(PlayToTheEnd(player, scope, false), first);
  // Each version plays its own detected part (the slowed one's ends are not the original's).
  const Decoded slowed = Decode(*PrepareSlowed(*OpenSoundFile(path.c_str()), -10));
  ASSERT_GT(slowed.first, 0);
  EXPECT_EQ(PlayToTheEnd(player, scope, true), part(slowed));
  player.Stop();
  // The source was released; the file changed since Load, so it is loaded again, selection included.
  const std::vector<int16_t> second = write(3000);
  EXPECT_EQ(PlayToTheEnd(player, scope, false), second);
  const std::vector<int16_t> third = write(7000);
  EXPECT_EQ(PlayToTheEnd(player, scope, false), third);
  EXPECT_TRUE(scope.Boxes().empty());
}

TEST(SoundPlayerTest, FailuresReachTheHostAsTheLibrarysMessages) {
  TestDeviceScope scope(100.0);
  TempDir folder;
  CSoundPlayer player;
  EXPECT_EQ(HostMessageOf([&] { player.PlayOriginal(); }), "Nothing to play.");
  EXPECT_EQ(HostMessageOf([&] { player.PlaySlowed(); }), "Nothing to play.");

  // The duration is the file's length in single precision, truncated: 2008 / 8000 in single precision is
  // just below 0.251; in double precision 8008 / 8000 x 1000 falls just below 1001. The slowed version
  // (at -100) has no say.
  player.SetSlowdown(-100);
  for (const auto& [frames, rate, ms] : {std::tuple{11025u, 22050u, 500}, {2008u, 8000u, 250}, {8008u, 8000u, 1001}}) {
    player.Load(folder.Write("d.wav", PcmWav16(std::vector<int16_t>(frames, 100), rate)).c_str(), 0);
    EXPECT_EQ(player.GetDuration(), ms) << frames << " frames at " << rate << " Hz";
  }

  // The analysis takes no rate below 8000 Hz: no slowed version, while the original plays.
  const std::vector<int16_t> low = samples::Tone(4000, 440.0f, 200, 9000.0f);
  player.Load(folder.Write("low.wav", PcmWav16(low, 4000)).c_str(), 0);
  EXPECT_EQ(HostMessageOf([&] { player.PlaySlowed(); }), "Nothing to play.");
  EXPECT_EQ(PlayToTheEnd(player, scope, false), low);
  EXPECT_TRUE(scope.Boxes().empty());

  // A device that does not open: its own text in a message box, then the library's message.
  scope.Device().InjectFailure(platform::WaveOp::kOpen, MMSYSERR_NODRIVER);
  EXPECT_EQ(HostMessageOf([&] { player.PlayOriginal(); }), "Could not init audio system");
  EXPECT_EQ(scope.Boxes(), std::vector<std::string>{platform::WaveErrorText(MMSYSERR_NODRIVER)});
  EXPECT_EQ(PlayToTheEnd(player, scope, false), low) << "the next open may succeed";

  // No backend put in use and no sound server: the device does not open (never a silent null device).
  ::setenv("PULSE_SERVER", "unix:/nonexistent/melvox-test-server", 1);
  platform::SetWaveOutSystem(nullptr);
  EXPECT_EQ(HostMessageOf([&] { player.PlayOriginal(); }), "Could not init audio system");
  ::unsetenv("PULSE_SERVER");
  EXPECT_EQ(scope.Boxes().back(), platform::WaveErrorText(MMSYSERR_NODRIVER));

  // A Load that fails leaves nothing loaded, whether or not the last file is still open.
  player.Load(folder.File("low.wav").c_str(), 0);
  EXPECT_EQ(HostMessageOf([&] { player.Load(folder.File("missing.wav").c_str(), 0); }), "Cannot open file");
  EXPECT_EQ(HostMessageOf([&] { player.PlayOriginal(); }), "Nothing to play.");
  EXPECT_EQ(HostMessageOf([&] { player.PlaySlowed(); }), "Nothing to play.");
  EXPECT_EQ(player.GetDuration(), 0);
}

TEST(SoundPlayerTest, ListenersHearEveryNaturalEndOnceInOrder) {
  TestDeviceScope scope(100.0);
  TempDir folder;
  CSoundPlayer player;
  player.Load(folder.Write("tone.wav", PcmWav16(samples::Tone(kRate, 440.0f, 200, 9000.0f), kRate)).c_str(), 0);
  std::string heard;  // written on the worker thread, read after the last listener's event
  CountingOwner a;
  CountingOwner b;
  // b, told first, removes itself from inside its notification (on the worker thread): a, after it,
  // is still told, and b is not told again.
  b.action = [&] {
    heard += 'b';
    player.RemoveListener(&b);
  };
  a.action = [&] { heard += 'a'; };
  player.AddListener(&b);
  player.AddListener(&a);
  player.AddListener(&a);  // once only
  player.AddListener(nullptr);
  // Each play waits for a, the last listener, so no notification is left over for the next.
  player.PlayOriginal();
  ASSERT_TRUE(a.WaitEnded(kPatienceMs));
  EXPECT_EQ(heard, "ba");
  player.PlayOriginal();
  ASSERT_TRUE(a.WaitEnded(kPatienceMs));
  EXPECT_EQ(heard, "baa");
  EXPECT_EQ(b.Ended(), 1);
}

}  // namespace
}  // namespace melvox::testing
