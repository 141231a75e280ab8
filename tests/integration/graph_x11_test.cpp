// The graphs on a real X server (scripts/with-x starts Xvfb): the example host shows the very pixels
// of the headless windows and plays on a click; in a host window made here, a drag plays, a resize by
// the host waits for RefreshGraphs, and a host window destroyed under a playing graph ends cleanly.
// Skips when no display opens.
#include <atomic>
#include <string>

#include <gtest/gtest.h>

#include "graph/graph_picture.h"
#include "graph/graphic_manager.h"
#include "integration/child_process.h"
#include "platform/test_wave_out.h"
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

TEST(GraphX11Test, TheExampleHostShowsTheHeadlessPixelsAndPlaysOnAClick) {
  XDisplay display;
  if (!display.Open()) GTEST_SKIP() << "no X display";
  if (std::string(MELVOX_GRAPH_HOST_PATH).empty()) GTEST_SKIP() << "the example host is not built here";
  TempDir folder;
  const std::string file =
      folder.Write("phrase.wav", PcmWav16(samples::SpeechLike(kRate, samples::DemoPhrase(), {}), kRate));
  Child host({MELVOX_GRAPH_HOST_PATH, file});
  const std::string window_line = host.Line("window: ");
  ASSERT_FALSE(window_line.empty());
  const auto window = static_cast<xcb_window_t>(std::stoul(window_line.substr(8), nullptr, 16));
  const GraphType types[] = {GRAPH_ENVELOPE, GRAPH_PITCH, GRAPH_CROSSING, GRAPH_SPECTRUM};
  for (int i = 0; i < 4; ++i) {
    const platform::Bitmap expected = Headless(file, types[i], 800, 150);
    EXPECT_TRUE(WaitUntil([&] { return Part(display.Screenshot(window), i * 154, 800, 150) == expected; }))
        << "graph " << types[i];
  }
  Xdotool("mousemove --window " + std::to_string(window) + " 100 75 click 1");
  EXPECT_EQ(host.Line("redraw"), "redraw");
  EXPECT_EQ(host.Line("play start"), "play start");
  EXPECT_EQ(host.Line("ended"), "ended");  // 1.4 s of sound on the null or PulseAudio device
  Xdotool("key --window " + std::to_string(window) + " q");
  EXPECT_EQ(host.Status(5000), 0);
}

class Counter final : public IGraphicListener, public IPlaybackObserver {
 public:
  void OnPlayStart() override { ++starts; }
  void OnRedraw() override { ++redraws; }
  void OnPlaybackEnd() override { ++ends; }
  std::atomic<int> starts{0}, redraws{0}, ends{0};
};

TEST(GraphX11Test, GraphsInAHostWindowPlayFollowTheHostsResizeAndOutliveIt) {
  XDisplay display;
  if (!display.Open() || !platform::X11WindowSystem::Shared()) GTEST_SKIP() << "no X display";
  TempDir folder;
  const std::string file =
      folder.Write("phrase.wav", PcmWav16(samples::SpeechLike(kRate, samples::DemoPhrase(), {}), kRate));
  MessageBoxes boxes;
  auto device = platform::TestWaveOutSystem::Make(20);
  platform::SetWaveOutSystem(device);
  const xcb_window_t host = display.MakeHost(400, 200);
  auto* manager = static_cast<CGraphicManager*>(GetGraphicManager());
  Counter counter;
  manager->AddListener(&counter);
  manager->SetPlaybackObserver(&counter);
  const GraphRect top{0, 0, 400, 90};
  const GraphRect bottom{0, 100, 400, 190};
  const auto envelope = static_cast<xcb_window_t>(manager->CreateGraphs(host, 1, GRAPH_ENVELOPE, &top));
  const auto pitch = static_cast<xcb_window_t>(manager->CreateGraphs(host, 2, GRAPH_PITCH, &bottom));
  xcb_map_window(display.Connection(), envelope);  // the host shows the graphs with its own requests
  xcb_map_window(display.Connection(), pitch);
  xcb_flush(display.Connection());
  manager->SetSoundFile(file.c_str(), 0);
  auto* system = manager->System();
  EXPECT_TRUE(WaitUntil([&] { return display.Screenshot(host) == system->Compose(host); }));

  // A drag plays through the X server's pointer events; the end reaches the observer from the window
  // thread. (Which samples a drag plays, and what a press during playback does, the headless tests check.)
  Xdotool("mousemove --window " + std::to_string(envelope) + " 300 45 mousedown 1 mousemove --window " +
          std::to_string(envelope) + " 100 45 mouseup 1");
  EXPECT_TRUE(WaitUntil([&] { return counter.ends.load() == 1; }));
  EXPECT_GT(device->Written().size(), 0u);
  EXPECT_EQ(counter.starts.load(), 1);
  platform::SetWaveOutSystem(platform::TestWaveOutSystem::Make(1));

  // The host makes a graph narrower: a grey frame until RefreshGraphs draws it for its size.
  display.Resize(envelope, 200, 90);
  auto interior_white = [&] {
    const platform::Bitmap shown = display.Screenshot(envelope);
    if (shown.Width() != 200 || shown.GetPixel(0, 45) != kGraphFrameColor) return false;
    for (int32_t x = 1; x < 199; ++x) {
      if (shown.GetPixel(x, 45) != platform::RGB(255, 255, 255)) return false;
    }
    return true;
  };
  EXPECT_TRUE(WaitUntil(interior_white));
  manager->RefreshGraphs();
  EXPECT_TRUE(WaitUntil([&] { return !interior_white(); }));

  // The host window goes while a graph plays: the graphs end quietly, the manager can still be released.
  manager->PlayGraph(GRAPH_PITCH);
  xcb_destroy_window(display.Connection(), host);
  xcb_flush(display.Connection());
  EXPECT_TRUE(WaitUntil([&] { return !system->IsWindow(envelope); }));
  manager->RedrawGraphs();
  manager->Release();
  platform::SetWaveOutSystem(nullptr);
  EXPECT_EQ(boxes.Count(), 0u);
}

}  // namespace
}  // namespace melvox::testing
