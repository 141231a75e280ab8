// The graph surface: the pixels a host copies are the headless windows' pixels, every changed pixel is
// announced, the forwarded pointer plays what mouse messages play, and a host thread may copy while a
// graph plays and the surface goes.
#include "graph/graph_surface.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "graph/graph_picture.h"
#include "graph/graph_type.h"
#include "graph/graphic_manager.h"
#include "platform/test_wave_out.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = 22050;
constexpr int32_t kWidth = 300;
constexpr int32_t kHeight = 60;  // of each graph; four of them with one row between

// Collects the announced rectangles and counts the ends of playback.
class Host final : public IGraphSurfaceListener, public IPlaybackObserver {
 public:
  void OnSurfaceChanged(int32_t left, int32_t top, int32_t right, int32_t bottom) override {
    const std::lock_guard<std::mutex> guard(mutex_);
    changed_.push_back(GraphRect{left, top, right, bottom});
  }
  void OnPlaybackEnd() override { ++ends; }
  std::vector<GraphRect> TakeChanges() {
    const std::lock_guard<std::mutex> guard(mutex_);
    return std::exchange(changed_, {});
  }
  std::atomic<int> ends{0};

 private:
  std::mutex mutex_;
  std::vector<GraphRect> changed_;
};

struct SurfaceDesk {
  SurfaceDesk() {
    platform::SetWaveOutSystem(device);
    manager->SetPlaybackObserver(&host);
    for (int32_t i = 0; i < 4; ++i) {
      const GraphRect rect{0, i * (kHeight + 1), kWidth, i * (kHeight + 1) + kHeight};
      const WindowHandle graph = manager->CreateGraphs(surface->GetHandle(), i, uint8_t(kGraphOrder[size_t(i)]), &rect);
      EXPECT_TRUE(surface->ShowGraph(graph, true));
    }
    manager->SetSoundFile(file.c_str(), 0);
  }
  ~SurfaceDesk() {
    manager->Release();
    if (surface != nullptr) surface->Release();
    platform::SetWaveOutSystem(nullptr);
  }
  std::vector<uint32_t> Pixels() {
    std::vector<uint32_t> pixels(size_t(surface->GetWidth()) * surface->GetHeight());
    surface->CopyPixels(GraphRect{0, 0, surface->GetWidth(), surface->GetHeight()}, pixels.data(),
                        surface->GetWidth() * 4);
    return pixels;
  }

  TempDir folder;
  std::string file = folder.Write("phrase.wav", PcmWav16(samples::SpeechLike(kRate, samples::DemoPhrase(), {}), kRate));
  std::shared_ptr<platform::TestWaveOutSystem> device = platform::TestWaveOutSystem::Make(100);
  Host host;
  IGraphSurface* surface = CreateGraphSurface(kWidth, 4 * kHeight + 3, &host);
  IGraphicManager* manager = GetGraphicManager();
};

TEST(GraphSurfaceTest, HostsCopyTheHeadlessPixelsAndHearOfEveryChange) {
  SurfaceDesk desk;
  CountedPtr<CSoundSource> sound = OpenSoundFile(desk.file.c_str());
  const platform::Bitmap expected = DrawGraphPicture(sound.Get(), 15, kWidth, kHeight, 0);
  std::vector<uint32_t> argb;  // what the host copies: opaque 0xAARRGGBB, row after row
  for (int32_t i = 0; i < kWidth * expected.Height(); ++i) {
    const platform::COLORREF c = expected.GetPixel(i % kWidth, i / kWidth);
    argb.push_back(0xFF000000u | platform::GetRValue(c) << 16 | platform::GetGValue(c) << 8 | platform::GetBValue(c));
  }
  EXPECT_TRUE(WaitUntil([&] { return std::equal(argb.begin(), argb.end(), desk.Pixels().begin()); }));

  // While a graph plays, its cursor moves: every pixel that changes lies in an announced rectangle.
  platform::SetWaveOutSystem(platform::TestWaveOutSystem::Make(1));
  desk.host.TakeChanges();
  std::vector<uint32_t> before = desk.Pixels();
  std::vector<GraphRect> since_before;  // announced after `before` was copied
  desk.manager->PlayGraph(GRAPH_PITCH);
  for (int round = 0; round < 5; ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const std::vector<uint32_t> after = desk.Pixels();
    // A change is announced just after it is composed: one more pass of the window thread and every
    // change in the copy has been announced.
    static_cast<CGraphSurface*>(desk.surface)->System().RunOnWindowThread([] {});
    std::vector<GraphRect> announced = desk.host.TakeChanges();
    // What was announced before the last copy may show only in this one.
    const std::vector<GraphRect> since_after = announced;
    announced.insert(announced.end(), since_before.begin(), since_before.end());
    size_t changed = 0;
    for (int32_t y = 0; y < desk.surface->GetHeight(); ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        if (before[size_t(y) * kWidth + x] == after[size_t(y) * kWidth + x]) continue;
        ++changed;
        bool covered = false;
        for (const GraphRect& r : announced) covered |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        ASSERT_TRUE(covered) << "pixel " << x << "," << y << " changed unannounced";
      }
    }
    EXPECT_TRUE(changed > 0 || round > 0);  // the cursor has moved by the first look
    before = after;
    since_before = since_after;
  }
  desk.manager->RedrawGraphs();
}

TEST(GraphSurfaceTest, TheForwardedPointerPlaysWhatMouseMessagesPlay) {
  SurfaceDesk desk;
  auto drag = [&](int32_t from, int32_t to, int32_t y) {
    const int ends = desk.host.ends.load();
    desk.device->ClearWritten();
    desk.surface->PointerPress(from, y);
    desk.surface->PointerMotion((from + to) / 2, y, true);
    desk.surface->PointerMotion(to, y + 500, true);  // the drag leaves the surface
    desk.surface->PointerRelease(to, y + 500);
    EXPECT_TRUE(WaitUntil([&] { return desk.host.ends.load() > ends; }));
    return desk.device->Written().size();
  };
  // The samples under the drag, whichever way it went: two thirds of the envelope's width, as a drag
  // of the mouse plays them (graphic_manager_test).
  const size_t leftwards = drag(250, 50, 20);
  EXPECT_EQ(drag(50, 250, 20), leftwards);
  const auto length = static_cast<double>(samples::SpeechLike(kRate, samples::DemoPhrase(), {}).size());
  EXPECT_NEAR(static_cast<double>(leftwards), 2.0 * length * 200 / kWidth, 4096.0);
}

TEST(GraphSurfaceTest, AHostThreadCopiesWhileAGraphPlaysAndTheSurfaceGoes) {
  SurfaceDesk desk;
  platform::SetWaveOutSystem(platform::TestWaveOutSystem::Make(2));
  std::atomic<bool> stop{false};
  std::thread copier([&] {
    std::vector<uint32_t> pixels(size_t(kWidth) * 10);
    while (!stop.load()) desk.surface->CopyPixels(GraphRect{0, 100, kWidth, 110}, pixels.data(), kWidth * 4);
  });
  desk.manager->PlayGraph(GRAPH_ENVELOPE);
  desk.surface->PointerPress(100, 150);  // the crossing graph: stops the envelope and plays its own
  desk.surface->PointerRelease(100, 150);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  desk.surface->Resize(kWidth + 40, 300);
  stop = true;
  copier.join();
  desk.surface->Release();  // while the crossing graph plays
  desk.surface = nullptr;
  desk.manager->RedrawGraphs();
  EXPECT_EQ(CreateGraphSurface(0, 10, nullptr), nullptr);
}

}  // namespace
}  // namespace melvox::testing
