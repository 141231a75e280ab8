// What the playback tests against a real PulseAudio server share: the backend in use with message
// boxes collected, a sequence of tones to play, and the checks of what the sink's monitor recorded and
// of the positions reported while it played.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "integration/monitor_recorder.h"
#include "platform/message_box.h"
#include "platform/wave_out.h"

namespace melvox::testing {

// Puts the PulseAudio backend in use for the test and fails it on any message box; skips the test
// when no server answers (run it through scripts/with-pulse).
class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts recording the sink's monitor and waits for 200 ms of the quiet before playback; mark is
  // then the count of samples recorded so far.
  void StartRecording(size_t& mark);
  // Waits for half a second more (the tail of what played, and quiet after it) and stops recording.
  std::vector<int16_t> FinishRecording();

 private:
  MonitorRecorder recorder_;
  std::shared_ptr<platform::WaveOutSystem> system_;
  platform::MessageBoxHandler previous_;
  std::mutex mutex_;
  std::vector<std::string> boxes_;
};

// Five 200 ms sine tones of different pitch, one after another, 16-bit mono at MonitorRecorder::kRate.
std::vector<int16_t> ToneSequence();

// Checks a recording of the monitor in which the tone sequence of `length` samples was played after
// the sample `mark` (taken when playback was asked for): it starts promptly, has no gap, is followed
// by quiet, and holds the tones in order.
void ExpectToneSequenceRecorded(const std::vector<int16_t>& recorded, size_t mark, size_t length);

// Checks the positions reported while the sequence played: never negative, never backwards, and up to
// its end, give or take what the sink still held.
void ExpectPositionsRiseToTheEnd(const std::vector<int32_t>& positions, uint32_t length);

}  // namespace melvox::testing
