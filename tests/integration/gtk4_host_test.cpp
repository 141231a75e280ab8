// The GTK4 host example: on X11 (Xvfb) its drawing area shows the very pixels of the headless graphs,
// at its first size and once made larger, and a click on the envelope is heard on the sound server; a
// file it cannot open ends it with status 1; on Wayland (a headless Weston, where it is installed) its
// snapshot is the headless picture. Skips when the example is not built, no display opens or no sound
// server answers.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graph/graph_picture.h"
#include "integration/child_process.h"
#include "integration/monitor_recorder.h"
#include "platform/canvas.h"
#include "platform/png_file.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/wav_bytes.h"
#include "x_display.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = 22050;
const std::string kHost = MELVOX_GTK4_HOST_PATH;

// The four graphs of the file, width x height each (the example's first size: 800 x 150), drawn headless.
platform::Bitmap Headless(const std::string& file, int32_t width = 800, int32_t height = 150) {
  CountedPtr<CSoundSource> sound = OpenSoundFile(file.c_str());
  return DrawGraphPicture(sound.Get(), 15, width, height, 0);
}

std::string Phrase(const TempDir& folder) {
  return folder.Write("phrase.wav", PcmWav16(samples::SpeechLike(kRate, samples::DemoPhrase(), {}), kRate));
}

TEST(Gtk4HostTest, OnX11ItRefusesBadFilesShowsTheHeadlessPixelsAndIsHeardOnAClick) {
  if (kHost.empty()) GTEST_SKIP() << "the GTK4 example is not built here";
  XDisplay display;
  if (!display.Open()) GTEST_SKIP() << "no X display";
  TempDir folder;
  for (const std::string& file : {folder.File("missing.wav"), folder.Write("text.wav", {'n', 'o', '\n'})}) {
    Child host({kHost, file}, {"GDK_BACKEND=x11"});
    EXPECT_EQ(host.Line("ready"), "") << file;
    EXPECT_EQ(host.Status(10000), 1) << file;
  }
  MonitorRecorder monitor;
  std::string error;
  if (!monitor.Start(error)) GTEST_SKIP() << "no PulseAudio server answers: " << error;
  const std::string file = Phrase(folder);
  Child host({kHost, file}, {"GDK_BACKEND=x11"});
  int32_t x = -1, y = -1;
  ASSERT_EQ(std::sscanf(host.Line("area: ").c_str(), "area: %d %d", &x, &y), 2) << "the example did not start";
  ASSERT_EQ(host.Line("ready"), "ready");
  const std::string found = Xdotool("search --onlyvisible --pid " + std::to_string(host.Pid()));
  ASSERT_FALSE(found.empty()) << "no window of the example";
  const auto window = static_cast<xcb_window_t>(std::stoul(found));

  // The area, located by what the example printed, holds exactly the headless picture (so it is of
  // that size too); made larger, it shows the graphs drawn for their new size once it settles.
  auto shown = [&](int32_t w, int32_t h) {
    platform::Bitmap part(w, h);
    platform::Canvas(part).BitBlt(0, 0, w, h, display.Screenshot(window), x, y);
    return part;
  };
  const platform::Bitmap first = Headless(file);
  EXPECT_TRUE(WaitUntil([&] { return shown(800, 603) == first; }, 10000)) << "not the headless pixels";
  Xdotool("windowsize " + std::to_string(window) + " 1000 " + std::to_string(y + 4 * 200 + 3));
  const platform::Bitmap larger = Headless(file, 1000, 200);
  EXPECT_TRUE(WaitUntil([&] { return shown(1000, 803) == larger; }, 10000)) << "not the headless pixels once larger";

  // A click in the envelope plays the sound: the host reports it and the sink's monitor hears it.
  ASSERT_TRUE(monitor.WaitFor(kRate / 5));
  const size_t mark = monitor.Samples().size();
  Xdotool("mousemove --window " + std::to_string(window) + " " + std::to_string(x + 100) + " " +
          std::to_string(y + 100) + " click 1");
  EXPECT_EQ(host.Line("play start"), "play start");
  EXPECT_EQ(host.Line("ended"), "ended");
  ASSERT_TRUE(monitor.WaitFor(monitor.Samples().size() + kRate / 5));  // what the sink still held
  const std::vector<int16_t> heard = monitor.Samples();
  EXPECT_EQ(LoudPieces(heard, 0, mark, 500.0), 0u) << "sound before the click";
  EXPECT_GE(LoudPieces(heard, mark, heard.size(), 500.0), 50u) << "less than 0.5 s of sound after the click";

  display.SendClose(window);
  EXPECT_EQ(host.Status(5000), 0);
}

TEST(Gtk4HostTest, OnWaylandTheSnapshotIsTheHeadlessPicture) {
  if (kHost.empty()) GTEST_SKIP() << "the GTK4 example is not built here";
  if (std::system("command -v weston >/dev/null 2>&1") != 0) GTEST_SKIP() << "weston is not installed";
  TempDir runtime;  // the compositor's socket; private, so no other compositor is in the way
  const std::string runtime_entry = "XDG_RUNTIME_DIR=" + runtime.Path();
  Child compositor({"weston", "--backend=headless-backend.so", "--socket=melvox-test", "--idle-time=0", "--no-config",
                    "--log=" + runtime.File("weston.log")},
                   {runtime_entry});
  ASSERT_TRUE(WaitUntil([&] { return access(runtime.File("melvox-test").c_str(), F_OK) == 0; }))
      << "weston did not come up";

  TempDir folder;
  const std::string file = Phrase(folder);
  const std::string snapshot = folder.File("snapshot.png");
  // No DISPLAY: nothing can reach an X server.
  Child host({kHost, file, "--snapshot", snapshot},
             {runtime_entry, "WAYLAND_DISPLAY=melvox-test", "GDK_BACKEND=wayland", "DISPLAY"});
  EXPECT_EQ(host.Line("ready"), "ready");
  ASSERT_EQ(host.Status(20000), 0);
  EXPECT_TRUE(platform::ReadPng(snapshot) == Headless(file)) << "the snapshot differs from the headless picture";
  compositor.Stop(SIGTERM);
}

}  // namespace
}  // namespace melvox::testing
