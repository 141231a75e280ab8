#include <gtest/gtest.h>

#include "platform/test_wave_in.h"
#include "platform/test_wave_out.h"
#include "platform/wave_backend.h"
#include "platform/wave_device_suite.h"

namespace melvox::platform {
namespace {

// The null devices, put in use by name, run at real time; the test device's clock may run faster. Their
// clock is the steady clock the test reads, so a buffer never comes back before its last frame is due
// (0.1 ms covers the rounding of the clock arithmetic); the upper bound only catches a device that
// stalls.
TEST(WaveDeviceTest, ClockedBackendsKeepTheContractOfEveryBackend) {
  ASSERT_EQ(UseWaveBackend("null"), MMSYSERR_NOERROR);
  EXPECT_EQ(UseWaveBackend("alsa"), MMSYSERR_BADDEVICEID);  // and the null devices stay in use
  for (const auto& [system, speed] : {std::pair<std::shared_ptr<WaveOutSystem>, double>{CurrentWaveOutSystem(), 1.0},
                                      {TestWaveOutSystem::Make(10.0), 10.0}}) {
    SCOPED_TRACE(system->Name());
    testing::ExpectWaveOutContract(*system, {speed, 0.1, 500.0, 0});
  }
  // The null input device keeps real time; the test device runs slowly (a buffer in 232 ms), so that
  // the stops land far from a buffer's end.
  testing::ExpectWaveInContract(*CurrentWaveInSystem(), 1.0, 21.5);
  testing::ExpectWaitingInputFillsLateBuffers(*CurrentWaveInSystem());
  testing::ExpectWaveInContract(*TestWaveInSystem::Make(0.1), 0.1, 2.5);
  SetWaveOutSystem(nullptr);
  SetWaveInSystem(nullptr);
}

}  // namespace
}  // namespace melvox::platform
