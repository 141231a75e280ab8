// The PulseAudio devices on a real server keep the promises of every backend, at the pace of the sink
// (tests/platform/wave_device_suite.h).
#include <gtest/gtest.h>

#include "integration/pulse_fixture.h"
#include "platform/wave_device_suite.h"

namespace melvox {
namespace {

using PulseDevicesTest = testing::PulseTest;

TEST_F(PulseDevicesTest, OutputKeepsTheContractOfEveryBackend) {
  // Done notifications come from the server's read index, asked for every 10 ms; the sink's latency
  // and scheduling add a few ms more (measured: -8..+11 ms around the ideal time). The position trails
  // the server's read index by what the sink still holds (about 30 ms) and one 10 ms timing update.
  testing::ExpectWaveOutContract(*output_, {1.0, 15.0, 40.0, 22050 * 60 / 1000});
}

TEST_F(PulseDevicesTest, InputKeepsTheContractOfEveryBackend) { testing::ExpectWaveInContract(*input_, 1.0, 21.5); }

}  // namespace
}  // namespace melvox
