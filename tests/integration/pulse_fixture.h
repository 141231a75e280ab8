// What the tests against a real PulseAudio server share: both PulseAudio backends in use and message
// boxes failing the test. Each test skips when no server answers (run it through scripts/with-pulse).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/wave_backend.h"
#include "platform/wave_in.h"
#include "support/wait.h"

namespace melvox::testing {

class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (platform::UseWaveBackend("pulse") != MMSYSERR_NOERROR) GTEST_SKIP() << "no PulseAudio server answers";
    output_ = platform::CurrentWaveOutSystem();
    input_ = platform::CurrentWaveInSystem();
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
