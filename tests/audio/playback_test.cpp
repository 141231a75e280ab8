// The playback engine, which plays a range of its input on the wave-output device, and the player, the
// host's face of it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/endpoint_detector.h"
#include "analysis/slowed_sound.h"
#include "audio/audio_fixture.h"
#include "audio/playback_engine.h"
#include "audio/sound_player.h"
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

// A node between engine and source that records every position reported up the chain.
class PositionRecorder : public CSoundNode, public Log<int32_t> {
 public:
  explicit PositionRecorder(CSoundNode* source) : CSoundNode(source) {}
  void SetPosition(int32_t frame) override {
    Add(frame);
    CSoundNode::SetPosition(frame);
  }
};

// A node that passes frames through but says its length is unknown.
class UnknownLength : public CSoundNode {
 public:
  explicit UnknownLength(CSoundNode* source) : CSoundNode(source) {}
  int32_t GetLength() override { return -1; }
};

constexpr uint32_t kFramesPerBuffer = CPlaybackEngine::kBufferBytes / 2;  // 16-bit mono
// Generous bounds for "it happens": only a hung engine or player exceeds them.
constexpr int64_t kPatienceMs = 5000;

TEST(PlaybackEngineTest, PlaysExactlyTheFramesOfARangeFromAnyStartFrameWithRisingPositions) {
  constexpr uint32_t kLength = 12000;
  // Start frames on and off the buffer grid; ends inside a buffer, on its edge, and past the sound.
  const std::pair<int32_t, uint32_t> cases[] = {{0, kLength}, {1, kLength},        {1023, 3000},
                                                {1024, 1025}, {1025, 1025 + 2048}, {3001, 20000}};
  TestDeviceScope scope(50.0);
  CountedPtr<CSoundSource> source = NumberedFrames(kLength);
  PositionRecorder recorder(source.Get());
  CPlaybackEngine engine;
  CountingOwner owner;
  engine.SetOwner(&owner);
  ASSERT_TRUE(engine.SetInput(&recorder));
  for (const auto& [start, end] : cases) {
    SCOPED_TRACE("start " + std::to_string(start) + ", end " + std::to_string(end));
    scope.Device().ClearWritten();
    const size_t reported = recorder.Entries().size();
    ASSERT_TRUE(engine.Play(start, end));
    ASSERT_TRUE(owner.WaitEnded(kPatienceMs));
    ASSERT_TRUE(WaitIdle(engine, kPatienceMs));
    const std::vector<int16_t> expected = PlayedFrames(Numbered(kLength), static_cast<uint32_t>(start), end);
    EXPECT_EQ(AsFrames(scope.Device().Written()), expected);

    const std::vector<int32_t> all = recorder.Entries();
    const std::vector<int32_t> positions(all.begin() + static_cast<long>(reported), all.end());
    ASSERT_FALSE(positions.empty());
    EXPECT_GE(positions.front(), start);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << "a position went backwards";
    // The last pass runs after the device returned the last buffer, so every frame has been counted.
    EXPECT_EQ(positions.back(), start + static_cast<int32_t>(expected.size()));
  }
  EXPECT_EQ(owner.Ended(), static_cast<int>(std::size(cases)));
  EXPECT_TRUE(scope.Boxes().empty());
  // Every play has its own length: one left from the play before would make an empty range wait it.
  ASSERT_TRUE(engine.Play(50, 50));
  EXPECT_EQ(engine.GetTimeout(), -1);
  engine.Stop();
}

TEST(PlaybackEngineTest, NothingToPlayEndsWhenTheFirstWaitTimesOut) {
  TestDeviceScope scope(50.0);
  CountedPtr<CSoundSource> source = NumberedFrames(5000);
  UnknownLength unknown(source.Get());
  struct Case {
    const char* name;
    CSoundNode* input;
    int32_t start;
    uint32_t end;
  };
  const Case cases[] = {{"unknown length", &unknown, 0, 5000}, {"empty range", source.Get(), 2000, 2000}};
  CPlaybackEngine engine;
  CountingOwner owner;
  engine.SetOwner(&owner);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A play stopped first: the buffers its device hands back must not end the next play's wait.
    ASSERT_TRUE(engine.SetInput(source.Get()));
    ASSERT_TRUE(engine.Play(0, 5000));
    engine.StopAndWait();
    scope.Device().ClearWritten();
    ASSERT_TRUE(engine.SetInput(c.input));
    const auto before = Clock::now();
    ASSERT_TRUE(engine.Play(c.start, c.end));
    EXPECT_EQ(engine.GetTimeout(), -1);
    ASSERT_TRUE(owner.WaitEnded(kPatienceMs));
    // The wait is 999 ms on the steady clock that the test reads too, so it cannot end sooner.
    EXPECT_GE(owner.EndedAt() - before, std::chrono::milliseconds(999));
    EXPECT_TRUE(scope.Device().Written().empty());
    ASSERT_TRUE(WaitIdle(engine, kPatienceMs));
  }
  EXPECT_EQ(owner.Ended(), 2);  // the natural ends only
}

TEST(PlaybackEngineTest, DeviceErrorsAreShownAndPlaybackGoesOnButALostDeviceEndsIt) {
  struct Case {
    platform::WaveOp op;
    MMRESULT result;
    uint32_t after;  // calls that succeed before the failure
    bool drops;      // whether the frames of buffer `after` are lost
  };
  constexpr uint32_t kLength = 5000;
  const Case cases[] = {
      {platform::WaveOp::kPause, MMSYSERR_ERROR, 0, false},  // not fatal: plays on
      // The third buffer's frames are read and then dropped; Play stops queuing there, and the worker
      // refills the returned buffers with the frames after the lost ones.
      {platform::WaveOp::kPrepare, MMSYSERR_NOMEM, 2, true},
      {platform::WaveOp::kWrite, MMSYSERR_NOMEM, 2, true},
      {platform::WaveOp::kReset, MMSYSERR_ERROR, 0, false},  // at the Stop after the end
      {platform::WaveOp::kClose, MMSYSERR_ERROR, 0, false},
  };
  CountedPtr<CSoundSource> source = NumberedFrames(kLength);
  for (const Case& c : cases) {
    SCOPED_TRACE("operation " + std::to_string(static_cast<int>(c.op)));
    TestDeviceScope scope(50.0);
    CPlaybackEngine engine;
    CountingOwner owner;
    engine.SetOwner(&owner);
    ASSERT_TRUE(engine.SetInput(source.Get()));
    scope.Device().InjectFailure(c.op, c.result, c.after);
    ASSERT_TRUE(engine.Play(0, kLength));
    ASSERT_TRUE(owner.WaitEnded(kPatienceMs)) << "what was queued must still play out";
    engine.Stop();
    std::vector<int16_t> expected = PlayedFrames(Numbered(kLength), 0, kLength);
    if (c.drops) {
      const auto lost = expected.begin() + c.after * kFramesPerBuffer;
      expected.erase(lost, lost + kFramesPerBuffer);
    }
    EXPECT_EQ(AsFrames(scope.Device().Written()), expected);
    EXPECT_EQ(scope.Boxes(), std::vector<std::string>{scope.Device().ErrorText(c.result)});
    EXPECT_EQ(scope.Device().LiveDevices(), 0u) << "a device that failed to close is still let go";
  }

  // A lost device ends playback at once, with one message.
  TestDeviceScope scope(1.0);
  CountedPtr<CSoundSource> long_source = NumberedFrames(300000);  // 13.6 s
  CPlaybackEngine engine;
  CountingOwner owner;
  engine.SetOwner(&owner);
  ASSERT_TRUE(engine.SetInput(long_source.Get()));
  ASSERT_TRUE(engine.Play(0, 300000));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(engine.DeviceLost());
  scope.Device().LoseDevices();
  ASSERT_TRUE(owner.WaitEnded(kPatienceMs)) << "the owner hears that playback is over";
  EXPECT_TRUE(engine.DeviceLost());
  engine.Stop();
  EXPECT_EQ(scope.Boxes(), std::vector<std::string>{scope.Device().ErrorText(MMSYSERR_NODRIVER)});
  EXPECT_LT(AsFrames(scope.Device().Written()).size(), 30000u) << "nothing is read after the loss";
}

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

// Plays one version through the player, runs `meanwhile` while it plays, and returns the frames the
// device received.
std::vector<int16_t> PlayToTheEnd(
    CSoundPlayer& player, TestDeviceScope& scope, bool slowed, const std::function<void()>& meanwhile = [] {}) {
  CountingOwner listener;
  player.AddListener(&listener);
  scope.Device().ClearWritten();
  if (slowed) {
    player.PlaySlowed();
  } else {
    player.PlayOriginal();
  }
  meanwhile();
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

  // The version that plays stays alive although the player let go of it, and the source that plays is
  // not read for the new version under the engine.
  EXPECT_EQ(PlayToTheEnd(player, scope, true, [&] { player.SetSlowdown(-37); }), slowed[-100].samples);
  EXPECT_EQ(PlayToTheEnd(player, scope, false, [&] { player.SetSlowdown(-10); }), original.samples);
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
  EXPECT_TRUE(scope.Boxes().empty());
}

TEST(SoundPlayerTest, FailuresReachTheHostAsTheLibrarysMessages) {
  TestDeviceScope scope(100.0);
  TempDir folder;
  CSoundPlayer player;
  const auto nothing_to_play = [&] {
    EXPECT_EQ(HostMessageOf([&] { player.PlayOriginal(); }), "Nothing to play.");
    EXPECT_EQ(HostMessageOf([&] { player.PlaySlowed(); }), "Nothing to play.");
  };
  nothing_to_play();

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

  // A device that does not open (no message box before it: the check of the one it shows): its own text in a message
  // box, then the library's message.
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
  nothing_to_play();
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
