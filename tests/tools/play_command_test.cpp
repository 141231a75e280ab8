// `melvox play` on the null device (real time, so the sounds are short): what it prints, and Ctrl-C.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

TEST(PlayCommandTest, PlaysToTheEndAndReportsTheDeviceAndTheWholeRange) {
  TempDir folder;
  const std::string path = folder.Write("tone.wav", PcmWav16(samples::Tone(22050, 440.0f, 250, 9000.0f), 22050));
  const CliResult original = RunCli({"play", path, "--device", "null"});
  EXPECT_EQ(original.status, 0) << original.err;
  EXPECT_EQ(original.out, "device: null\nposition: 0.25 s / 0.25 s\n");

  // -150 is held at -100: twice as long, or a period or two short of it (whole pitch periods are
  // inserted).
  const CliResult held = RunCli({"play", path, "--device", "null", "--slowed", "--level", "-150"});
  EXPECT_EQ(held.status, 0) << held.err;
  const std::string head = "level: -150 is held at -100 (the player keeps -100 to -10)\ndevice: null\nposition: ";
  ASSERT_EQ(held.out.compare(0, head.size(), head), 0) << held.out;
  const double total = std::strtod(held.out.c_str() + head.size(), nullptr);
  EXPECT_GT(total, 0.45);
  EXPECT_LE(total, 0.50);
  // A missing file or a --level out of range fail as in every command (see the info and stretch
  // tests); the device names are this command's own.
  EXPECT_EQ(RunCli({"play", path, "--device", "alsa"}).status, 2);
}

TEST(PlayCommandTest, CtrlCStopsPlaybackEndsThePositionLineAndExitsWith130) {
  TempDir folder;
  const std::string path = folder.Write("long.wav", PcmWav16(samples::Tone(22050, 440.0f, 5000, 9000.0f), 22050));
  const CliResult run = RunCliInterrupted({"play", path, "--device", "null"}, "device: ");
  EXPECT_EQ(run.status, 130) << run.err;
  const std::string prefix = "device: null\nposition: ";
  ASSERT_EQ(run.out.compare(0, prefix.size(), prefix), 0) << run.out;
  // Stopped early: the elapsed time is short of the 5 s (the interrupt comes right after playback
  // starts; only a program that ignored it would reach the end).
  const double elapsed = std::strtod(run.out.c_str() + prefix.size(), nullptr);
  EXPECT_LT(elapsed, 4.0) << run.out;
  EXPECT_EQ(run.out.back(), '\n');
}

}  // namespace
}  // namespace melvox::testing
