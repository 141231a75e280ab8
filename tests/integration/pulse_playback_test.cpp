// Plays a sequence of tones through the playback engine on a real PulseAudio server and checks, on a
// recording of the sink's monitor, that the tones arrive whole, in order and without a gap, and that
// the positions the engine reports rise to the end.
#include <vector>

#include <gtest/gtest.h>

#include "audio/engine_fixture.h"
#include "audio/playback_engine.h"
#include "integration/monitor_recorder.h"
#include "integration/tone_sequence.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"

namespace melvox {
namespace {

using testing::CountingOwner;
using testing::MonitorRecorder;
using testing::PositionRecorder;

constexpr uint32_t kRate = MonitorRecorder::kRate;

class PulsePlaybackTest : public testing::PulseTest {};

TEST_F(PulsePlaybackTest, TonesArriveWholeInOrderWithoutAGapWhilePositionsRiseToTheEnd) {
  const std::vector<int16_t> sequence = testing::ToneSequence();
  const auto length = static_cast<uint32_t>(sequence.size());
  CountedPtr<CSoundSource> source = MakeMemorySource(samples::MakeWave16(sequence, kRate));
  PositionRecorder positions(source.Get());
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

}  // namespace
}  // namespace melvox
