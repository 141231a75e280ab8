// `melvox play` and `melvox record` against a PulseAudio server of the test's own that is killed while
// they run: one message, the position reached, exit status 1, and no waiting for the time limit.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "integration/child_process.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/wav_bytes.h"
#include "tools/cli_runner.h"

namespace melvox {
namespace {

using Clock = std::chrono::steady_clock;

// Runs melvox with args against a server with a null sink in a folder of its own, killed (SIGKILL)
// 1.5 s after the start; sets `took` to how long melvox ran.
testing::CliResult RunAndKillServer(const std::vector<std::string>& args, Clock::duration& took) {
  const testing::TempDir folder;
  const std::string socket = folder.File("native");
  testing::Child server(
      {"pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "-L",
       "module-native-protocol-unix auth-anonymous=1 socket=" + socket, "-L", "module-null-sink sink_name=lost_out"},
      {"XDG_RUNTIME_DIR=" + folder.Path(), "HOME=" + folder.Path(), "PULSE_SERVER"});
  const bool up = testing::WaitUntil([&] { return ::access(socket.c_str(), F_OK) == 0; }, 5000);
  const char* run_server = std::getenv("PULSE_SERVER");  // the integration run's own, for the other tests
  const std::string saved = run_server != nullptr ? run_server : "";
  ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  const auto start = Clock::now();
  std::thread killer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    server.Stop(SIGKILL);
  });
  const testing::CliResult result = up ? testing::RunCli(args) : testing::CliResult{-1, "", "no server came up"};
  took = Clock::now() - start;
  killer.join();
  run_server != nullptr ? ::setenv("PULSE_SERVER", saved.c_str(), 1) : ::unsetenv("PULSE_SERVER");
  return result;
}

TEST(LostServerTest, PlayAndRecordEndAtOnceWithOneMessageAndStatusOne) {
  if (std::system("command -v pulseaudio >/dev/null 2>&1") != 0) GTEST_SKIP() << "pulseaudio is not installed";
  testing::TempDir folder;
  // 20 s of sound: the kill comes long before the end.
  const std::string sound =
      folder.Write("tone.wav", testing::PcmWav16(samples::Tone(22050, 440.0f, 20000, 8000.0f), 22050));
  Clock::duration took{};

  const testing::CliResult play = RunAndKillServer({"play", sound}, took);
  EXPECT_EQ(play.status, 1) << play.err;
  EXPECT_EQ(play.out.rfind("device: pulse\n", 0), 0u) << play.out;
  EXPECT_EQ(play.err.rfind("melvox: No sound server is available.", 0), 0u) << play.err;
  EXPECT_EQ(play.err.find('\n'), play.err.size() - 1) << "one message: " << play.err;
  // The position reached, not the whole length (printed as 20.xx s).
  EXPECT_EQ(play.out.find("position: 2"), std::string::npos) << play.out;
  EXPECT_LT(took, std::chrono::seconds(5));

  const testing::CliResult record = RunAndKillServer({"record", folder.File("rec.wav"), "--seconds", "20"}, took);
  EXPECT_EQ(record.status, 1) << record.err;
  EXPECT_EQ(record.err, "Could not init audio system\n");
  EXPECT_LT(took, std::chrono::seconds(5)) << "the meter stops at once";
}

}  // namespace
}  // namespace melvox
