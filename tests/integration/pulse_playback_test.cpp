// Plays a sequence of tones on a real PulseAudio server, through the playback engine and through the
// player, and checks on a recording of the sink's monitor that the tones arrive whole, in order and
// without a gap, and that the positions reported up the chain rise to the end.
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/engine_fixture.h"
#include "audio/playback_engine.h"
#include "audio/sound_player.h"
#include "integration/monitor_recorder.h"
#include "integration/tone_sequence.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox {
namespace {

using testing::CountingOwner;
using testing::MonitorRecorder;

constexpr uint32_t kRate = MonitorRecorder::kRate;

class PulsePlaybackTest : public testing::PulseTest {};

TEST_F(PulsePlaybackTest, TonesArriveWholeInOrderWithoutAGapWhilePositionsRiseToTheEnd) {
  const std::vector<int16_t> sequence = testing::ToneSequence();
  const auto length = static_cast<uint32_t>(sequence.size());
  CountedPtr<CSoundSource> source = MakeMemorySource(samples::MakeWave16(sequence, kRate));
  testing::PositionRecorder positions(source.Get());
  CPlaybackEngine engine;
  CountingOwner owner;
  engine.SetOwner(&owner);
  ASSERT_TRUE(engine.SetInput(&positions));

  size_t mark = 0;
  ASSERT_NO_FATAL_FAILURE(StartRecording(mark));
  ASSERT_TRUE(engine.Play(0, length));
  EXPECT_STREQ(engine.DeviceName(), "pulse");
  ASSERT_TRUE(owner.WaitEnded(10000));
  const std::vector<int16_t> recorded = FinishRecording();
  engine.Stop();

  testing::ExpectToneSequenceRecorded(recorded, mark, length);
  testing::ExpectPositionsRiseToTheEnd(positions.Positions(), length);
}

TEST_F(PulsePlaybackTest, AFileOfTonesPlaysThroughThePlayerWholeInOrderWhileThePositionRisesToTheEnd) {
  const std::vector<int16_t> sequence = testing::ToneSequence();
  const auto length = static_cast<uint32_t>(sequence.size());
  testing::TempDir folder;
  const std::string path = folder.Write("tones.wav", testing::PcmWav16(sequence, kRate));
  CSoundPlayer player;
  CountingOwner listener;
  player.AddListener(&listener);
  player.Load(path.c_str(), 0);

  size_t mark = 0;
  ASSERT_NO_FATAL_FAILURE(StartRecording(mark));
  player.PlayOriginal();
  EXPECT_STREQ(player.DeviceName(), "pulse");
  // The position as a host would poll it; -1 once the natural end has closed the device.
  std::vector<int32_t> positions;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!listener.WaitEnded(0)) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the natural end never came";
    if (const int32_t position = player.GetPlayPosition(); position >= 0) positions.push_back(position);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const std::vector<int16_t> recorded = FinishRecording();
  player.RemoveListener(&listener);

  testing::ExpectToneSequenceRecorded(recorded, mark, length);
  testing::ExpectPositionsRiseToTheEnd(positions, length);
}

}  // namespace
}  // namespace melvox
