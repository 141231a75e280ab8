// What the tests against a real PulseAudio server share: both PulseAudio backends in use and message
// boxes failing the test. Each test skips when no server answers (run it through scripts/with-pulse).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/pulse_wave_in.h"
#include "platform/pulse_wave_out.h"
#include "support/wait.h"

namespace melvox::testing {

class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    output_ = platform::MakePulseAudioWaveOut();
    input_ = platform::MakePulseAudioWaveIn();
    if (output_ == nullptr || input_ == nullptr) GTEST_SKIP() << "no PulseAudio server answers";
    platform::SetWaveOutSystem(output_);
    platform::SetWaveInSystem(input_);
    boxes_ = std::make_unique<MessageBoxes>();
  }
  void TearDown() override {
    if (boxes_ == nullptr) return;
    EXPECT_EQ(boxes_->Entries(), std::vector<std::string>{}) << "device errors";
    boxes_.reset();
    platform::SetWaveOutSystem(nullptr);
    platform::SetWaveInSystem(nullptr);
  }

  std::shared_ptr<platform::WaveOutSystem> output_;
  std::shared_ptr<platform::WaveInSystem> input_;
  std::unique_ptr<MessageBoxes> boxes_;
};

}  // namespace melvox::testing
