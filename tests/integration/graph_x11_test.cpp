// The graphs on a real X server (scripts/with-x starts Xvfb): the example host shows the very pixels
// of the headless windows, again once the user made it larger, and plays on a click; a host window
// destroyed under a playing graph ends the graphs cleanly. Skips when no display opens (the click,
// when no sound server answers).
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graph/graph_picture.h"
#include "graph/graphic_manager.h"
#include "integration/child_process.h"
#include "platform/test_wave_out.h"
#include "platform/wave_backend.h"
#include "platform/wave_in.h"
#include "platform/x11_window_system.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/wav_bytes.h"
#include "x_display.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = 22050;

// Each graph of the file drawn headless, as the graph windows draw it.
platform::Bitmap Headless(const std::string& file, int32_t type, int32_t width, int32_t height) {
  CountedPtr<CSoundSource> sound = OpenSoundFile(file.c_str());
  return DrawGraphPicture(sound.Get(), static_cast<uint32_t>(type), width, height, 0);
}

platform::Bitmap Part(const platform::Bitmap& picture, int32_t top, int32_t width, int32_t height) {
  platform::Bitmap part(width, height);
  platform::Canvas(part).BitBlt(0, 0, width, height, picture, 0, top);
  return part;
}

// First: the window system's connection then stays open for the rest of the run, so that Xvfb, which
// resets when its last client leaves, refuses no later test's connection.
TEST(GraphX11Test, AHostWindowDestroyedUnderAPlayingGraphEndsTheGraphsQuietly) {
  XDisplay display;
  if (!display.Open() || !platform::X11WindowSystem::Shared()) GTEST_SKIP() << "no X display";
  TempDir folder;
  const std::string file =
      folder.Write("phrase.wav", PcmWav16(samples::SpeechLike(kRate, samples::DemoPhrase(), {}), kRate));
  MessageBoxes boxes;
  platform::SetWaveOutSystem(platform::TestWaveOutSystem::Make(1));  // real time: still playing
  const xcb_window_t host = display.MakeHost(400, 200);
  auto* manager = static_cast<CGraphicManager*>(GetGraphicManager());
  const GraphRect rect{0, 0, 400, 200};
  const WindowHandle pitch = manager->CreateGraphs(host, 1, GRAPH_PITCH, &rect);
  manager->SetSoundFile(file.c_str(), 0);
  manager->PlayGraph(GRAPH_PITCH);
  xcb_destroy_window(display.Connection(), host);
  xcb_flush(display.Connection());
  EXPECT_TRUE(WaitUntil([&] { return !manager->System()->IsWindow(pitch); }));
  manager->RedrawGraphs();
  manager->Release();
  platform::SetWaveOutSystem(nullptr);
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST(GraphX11Test, TheExampleHostShowsTheHeadlessPixelsAndPlaysOnAClick) {
  XDisplay display;
  if (!display.Open()) GTEST_SKIP() << "no X display";
  if (std::string(MELVOX_GRAPH_HOST_PATH).empty()) GTEST_SKIP() << "the example host is not built here";
  TempDir folder;
  const std::string file =
      folder.Write("phrase.wav", PcmWav16(samples::SpeechLike(kRate, samples::DemoPhrase(), {}), kRate));
  Child host({MELVOX_GRAPH_HOST_PATH, file});
  xcb_window_t window = 0;
  ASSERT_EQ(std::sscanf(host.Line("window: ").c_str(), "window: 0x%x", &window), 1) << "the example did not start";
  // Each graph, 4 pixels below the one before, as the headless windows draw it for its size.
  const GraphType types[] = {GRAPH_ENVELOPE, GRAPH_PITCH, GRAPH_CROSSING, GRAPH_SPECTRUM};
  const auto shows_headless = [&](int32_t width, int32_t height) {
    std::vector<platform::Bitmap> expected;
    for (const GraphType type : types) expected.push_back(Headless(file, type, width, height));
    return WaitUntil([&] {
      const platform::Bitmap shown = display.Screenshot(window);
      for (int i = 0; i < 4; ++i) {
        if (!(Part(shown, i * (height + 4), width, height) == expected[i])) return false;
      }
      return true;
    });
  };
  EXPECT_TRUE(shows_headless(800, 150));
  // Made larger, the host places the graphs anew with its own requests and refreshes them once the
  // size has settled.
  Xdotool("windowsize " + std::to_string(window) + " 1000 " + std::to_string(4 * 200 + 3 * 4));
  EXPECT_TRUE(shows_headless(1000, 200)) << "not the headless pixels once larger";
  // The host plays on whatever sound server answers; without one it would wait in its error box.
  const bool sound = platform::UseWaveBackend("pulse") == MMSYSERR_NOERROR;
  platform::SetWaveOutSystem(nullptr);
  platform::SetWaveInSystem(nullptr);
  if (sound) {
    Xdotool("mousemove --window " + std::to_string(window) + " 100 75 click 1");
    EXPECT_EQ(host.Line("play start"), "play start");
    EXPECT_EQ(host.Line("ended"), "ended");  // 1.4 s of sound
  }
  Xdotool("key --window " + std::to_string(window) + " q");
  EXPECT_EQ(host.Status(5000), 0);
  if (!sound) GTEST_SKIP() << "no PulseAudio server answers: the click was not tried";
}

}  // namespace
}  // namespace melvox::testing
