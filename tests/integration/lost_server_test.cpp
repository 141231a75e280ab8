// `melvox play` and `melvox record` against a PulseAudio server of the test's own that is killed while
// they run: one message, the position reached, exit status 1, and no waiting for the time limit.
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/wav_bytes.h"
#include "tools/cli_runner.h"

extern char** environ;

namespace melvox {
namespace {

using Clock = std::chrono::steady_clock;

// A server with a null sink in a folder of its own, killed (SIGKILL) by Kill or at the end.
class PrivateServer {
 public:
  PrivateServer() : socket_(folder_.File("native")) {
    std::vector<std::string> args = {"pulseaudio",
                                     "--daemonize=no",
                                     "-n",
                                     "--exit-idle-time=-1",
                                     "--disallow-exit",
                                     "--log-target=file:" + folder_.File("log"),
                                     "-L",
                                     "module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
                                     "-L",
                                     "module-null-sink sink_name=lost_out"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + folder_.Path(), "HOME=" + folder_.Path()};
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    if (posix_spawnp(&pid_, "pulseaudio", nullptr, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    if (pid_ > 0) up_ = testing::WaitUntil([&] { return ::access(socket_.c_str(), F_OK) == 0; }, 5000);
  }
  ~PrivateServer() { Kill(); }
  bool Up() const { return up_; }
  std::string Address() const { return "unix:" + socket_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  testing::TempDir folder_;
  std::string socket_;
  pid_t pid_ = -1;
  bool up_ = false;
};

// Runs melvox with args against a new private server that is killed after `after`; how long it ran.
testing::CliResult RunAndKill(const std::vector<std::string>& args, std::chrono::milliseconds after,
                              Clock::duration& took) {
  PrivateServer server;
  if (!server.Up()) return {-1, "", "no private PulseAudio server came up"};
  const char* was = std::getenv("PULSE_SERVER");
  const std::string saved = was != nullptr ? was : "";
  ::setenv("PULSE_SERVER", server.Address().c_str(), 1);
  const auto start = Clock::now();
  std::thread killer([&] {
    std::this_thread::sleep_for(after);
    server.Kill();
  });
  testing::CliResult result = testing::RunCli(args);
  took = Clock::now() - start;
  killer.join();
  if (was != nullptr) ::setenv("PULSE_SERVER", saved.c_str(), 1);
  return result;
}

TEST(LostServerTest, PlayAndRecordEndAtOnceWithOneMessageAndStatusOne) {
  if (std::system("command -v pulseaudio >/dev/null 2>&1") != 0) GTEST_SKIP() << "pulseaudio is not installed";
  testing::TempDir folder;
  // 20 s of speech: the kill comes long before the end.
  std::vector<int16_t> speech;
  while (speech.size() < 20u * 22050) {
    const std::vector<int16_t> phrase = samples::SpeechLike(22050, samples::DemoPhrase(), samples::Voice{});
    speech.insert(speech.end(), phrase.begin(), phrase.end());
  }
  const std::string sound = folder.Write("speech.wav", testing::PcmWav16(speech, 22050));
  Clock::duration took{};

  const testing::CliResult play = RunAndKill({"play", sound}, std::chrono::milliseconds(1500), took);
  EXPECT_EQ(play.status, 1) << play.err;
  EXPECT_EQ(play.out.rfind("device: pulse\n", 0), 0u) << play.out;
  EXPECT_EQ(play.err.rfind("melvox: No sound server is available.", 0), 0u) << play.err;
  EXPECT_EQ(play.err.find('\n'), play.err.size() - 1) << "one message: " << play.err;
  // The position reached, not the whole length (printed as 20.xx s).
  EXPECT_EQ(play.out.find("position: 2"), std::string::npos) << play.out;
  EXPECT_LT(took, std::chrono::seconds(5));

  const testing::CliResult record =
      RunAndKill({"record", folder.File("rec.wav"), "--seconds", "20"}, std::chrono::milliseconds(1500), took);
  EXPECT_EQ(record.status, 1) << record.err;
  EXPECT_EQ(record.err, "Could not init audio system\n");
  EXPECT_LT(took, std::chrono::seconds(5)) << "the meter stops at once";
}

}  // namespace
}  // namespace melvox
