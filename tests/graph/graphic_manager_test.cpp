// The graph manager and its windows in a headless parent and on a graph surface: creation, sounds handed
// over, errors, what a click, a drag, a press during playback and a resize do, and what a host copies.
#include "graph/graphic_manager.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "graph/graph_picture.h"
#include "graph/graph_surface.h"
#include "graph/graph_type.h"
#include "melvox/errors.h"
#include "platform/headless_window_system.h"
#include "platform/test_wave_out.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "support/wait.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = 22050;
constexpr int32_t kWidth = 400;
constexpr int32_t kHeight = 40;  // of each graph; the four are stacked with one row between

// Counts what the manager tells its host, and collects the rectangles a graph surface announces.
class Counter final : public IGraphicListener, public IPlaybackObserver, public IGraphSurfaceListener {
 public:
  void OnPlayStart() override { ++starts; }
  void OnRedraw() override { ++redraws; }
  void OnPlaybackEnd() override { ++ends; }
  void OnSurfaceChanged(int32_t left, int32_t top, int32_t right, int32_t bottom) override {
    const std::lock_guard<std::mutex> guard(mutex_);
    changed_.push_back(GraphRect{left, top, right, bottom});
  }
  std::vector<GraphRect> TakeChanges() {
    const std::lock_guard<std::mutex> guard(mutex_);
    return std::exchange(changed_, {});
  }
  std::atomic<int> starts{0}, redraws{0}, ends{0};

 private:
  std::mutex mutex_;
  std::vector<GraphRect> changed_;
};

// The test device at 100 times real time, message boxes captured, a phrase of speech in a WAV file,
// and a manager with the four graphs shown in a headless parent 400 x 200 or, on_surface, on a graph
// surface that has the phrase already.
class Desk {
 public:
  explicit Desk(bool on_surface = false) {
    platform::SetWaveOutSystem(device);
    if (on_surface) surface = CreateGraphSurface(kWidth, 4 * kHeight + 3, &counter);
    for (int32_t i = 0; i < 4; ++i) {
      const GraphRect rect{0, i * (kHeight + 1), kWidth, i * (kHeight + 1) + kHeight};
      const auto type = kGraphOrder[static_cast<size_t>(i)];
      const WindowHandle graph =
          manager->CreateGraphs(on_surface ? surface->GetHandle() : parent, 10 + i, static_cast<uint8_t>(type), &rect);
      EXPECT_TRUE(on_surface ? surface->ShowGraph(graph, true) : manager->Window(type)->Show(true));
    }
    manager->AddListener(&counter);
    manager->SetPlaybackObserver(&counter);
    if (on_surface) manager->SetSoundFile(file.c_str(), 0);
  }
  ~Desk() {
    manager->Release();
    if (surface != nullptr) surface->Release();
    platform::SetWaveOutSystem(nullptr);
  }
  // Pumps the window thread until what played has ended and the observer was told.
  bool WaitForEnd(int ends) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (counter.ends.load() < ends && std::chrono::steady_clock::now() < deadline) {
      system->WaitForMessages(10);
      system->DispatchMessages();
    }
    return counter.ends.load() >= ends;
  }
  void Click(int32_t type, int32_t x1, int32_t x2) {
    const auto row = std::find(kGraphOrder.begin(), kGraphOrder.end(), type) - kGraphOrder.begin();
    const auto y = static_cast<int32_t>(row) * (kHeight + 1) + 20;
    system->DeliverPointer(parent, WM_LBUTTONDOWN, x1, y);
    system->DeliverPointer(parent, WM_MOUSEMOVE, x2, y);
    system->DeliverPointer(parent, WM_LBUTTONUP, x2, y);
  }
  // Bytes the device was given since the last call.
  size_t Played() {
    const size_t bytes = device->Written().size();
    device->ClearWritten();
    return bytes;
  }
  // What a host copies from the surface: opaque 0xAARRGGBB, row after row.
  std::vector<uint32_t> Pixels() {
    std::vector<uint32_t> pixels(size_t(surface->GetWidth()) * surface->GetHeight());
    surface->CopyPixels(GraphRect{0, 0, surface->GetWidth(), surface->GetHeight()}, pixels.data(),
                        surface->GetWidth() * 4);
    return pixels;
  }

  TempDir folder;
  std::vector<int16_t> speech = samples::SpeechLike(kRate, samples::DemoPhrase(), {});
  std::string file = folder.Write("phrase.wav", PcmWav16(speech, kRate));
  std::shared_ptr<platform::TestWaveOutSystem> device = platform::TestWaveOutSystem::Make(100);
  std::shared_ptr<platform::HeadlessWindowSystem> system = platform::HeadlessWindowSystem::Make();
  HWND parent = system->CreateParent(400, 200);
  CGraphicManager* manager = static_cast<CGraphicManager*>(GetGraphicManager());
  Counter counter;
  MessageBoxes boxes;
  IGraphSurface* surface = nullptr;
};

TEST(GraphicManagerTest, MakesWindowsInTheirOrderReplacesOlderOnesAndStandsInForAnUnknownParent) {
  Desk desk;  // for the test device and the file; the manager here is another
  const HWND parent = desk.system->CreateParent(300, 100);
  IGraphicManager* manager = GetGraphicManager();
  const GraphRect rect{10, 20, 110, 70};
  EXPECT_EQ(manager->CreateGraphs(parent, 3, 0, &rect), 0u);
  EXPECT_EQ(manager->CreateGraphs(parent, 3, 0xF0, &rect), 0u);  // no graph bit

  // Envelope first, pitch second; the pitch window's handle is returned.
  const WindowHandle last = manager->CreateGraphs(parent, 3, GRAPH_ENVELOPE | GRAPH_PITCH, &rect);
  const WindowHandle envelope = manager->GetGraphWindow(GRAPH_ENVELOPE);
  EXPECT_EQ(last, manager->GetGraphWindow(GRAPH_PITCH));
  EXPECT_LT(envelope, last);
  EXPECT_EQ(manager->GetGraphWindow(GRAPH_CROSSING), 0u);
  EXPECT_EQ(desk.system->ControlId(last), 3);
  EXPECT_EQ(desk.system->WindowRect(last), (platform::RECT{10, 20, 110, 70}));
  EXPECT_FALSE(desk.system->IsVisible(last));  // the host shows them

  // A null rectangle: windows and views of no size; the envelope's older window is gone.
  manager->CreateGraphs(parent, 4, GRAPH_ENVELOPE | GRAPH_SPECTRUM, nullptr);
  EXPECT_FALSE(desk.system->IsWindow(envelope));
  const WindowHandle spectrum = manager->GetGraphWindow(GRAPH_SPECTRUM);
  EXPECT_EQ(desk.system->WindowRect(spectrum), (platform::RECT{0, 0, 0, 0}));
  EXPECT_EQ(static_cast<CGraphicManager*>(manager)->Window(GRAPH_SPECTRUM)->View()->Area().right, 0);
  EXPECT_EQ(manager->GetGraphWindow(GRAPH_PITCH), last);

  // A parent that no window system knows gets a stand-in, whose own window thread handles the end of
  // playback and tells the observer.
  Counter counter;
  manager->SetPlaybackObserver(&counter);
  EXPECT_NE(manager->CreateGraphs(0x1234567, 1, GRAPH_ENVELOPE, &rect), 0u);
  manager->SetSoundFile(desk.file.c_str(), 0);
  manager->PlayGraph(GRAPH_ENVELOPE);
  EXPECT_TRUE(WaitUntil([&] { return counter.ends.load() == 1; }));
  manager->Release();
}

TEST(GraphicManagerTest, SoundsReachEveryWindowAndFailuresAreShownThenThrown) {
  Desk desk;
  auto views_with_input = [&] {
    int count = 0;
    for (const GraphType type : kGraphOrder) count += desk.manager->Window(type)->View()->GetInput() != nullptr;
    return count;
  };
  desk.manager->SelectSound(true);  // before any file: no sound anywhere
  EXPECT_EQ(views_with_input(), 0);

  EXPECT_EQ(HostMessageOf([&] { desk.manager->SetSoundFile(desk.folder.File("missing.wav").c_str(), 0); }),
            "Cannot open file");
  EXPECT_EQ(desk.boxes.Entries(), std::vector<std::string>{"Error: Cannot open file"});

  desk.manager->SetSoundFile(desk.file.c_str(), 1);
  EXPECT_EQ(views_with_input(), 4);
  desk.manager->SelectSound(true);  // the slowed version: 1.1 times as long
  EXPECT_EQ(views_with_input(), 4);

  desk.manager->SetSoundFile(nullptr, 0);
  EXPECT_EQ(views_with_input(), 0);
  desk.manager->RefreshGraphs();  // no file: nothing to do
  EXPECT_EQ(views_with_input(), 0);

  // A listener registered twice hears once; removing a stranger changes nothing.
  desk.manager->AddListener(&desk.counter);
  Counter stranger;
  desk.manager->RemoveListener(&stranger);
  desk.manager->RedrawGraphs();
  EXPECT_EQ(desk.counter.redraws.load(), 1);
}

TEST(GraphicManagerTest, ClicksAndDragsPlayTheirRange) {
  Desk desk;
  desk.manager->SetSoundFile(desk.file.c_str(), 0);
  CGraphWindow& envelope = *desk.manager->Window(GRAPH_ENVELOPE);
  const auto length = static_cast<uint32_t>(desk.speech.size());

  // The sample under x: the shown range (the whole sound) spread over the 400 columns.
  EXPECT_EQ(envelope.SampleAt(0), 0u);
  EXPECT_EQ(envelope.SampleAt(400), length - 1);

  // A click plays the whole shown range; the observer hears of the end on the window thread.
  desk.Click(GRAPH_ENVELOPE, 100, 100);
  EXPECT_EQ(desk.counter.starts.load(), 1);
  EXPECT_EQ(desk.counter.redraws.load(), 1);  // a press stops and repaints first
  ASSERT_TRUE(desk.WaitForEnd(1));
  // 2 bytes a frame; the buffer that crosses the end of the range plays whole.
  EXPECT_NEAR(static_cast<double>(desk.Played()), 2.0 * length, 4096.0);

  // A drag plays the samples under it, whichever way it went; a release outside is clamped.
  desk.Click(GRAPH_ENVELOPE, 300, 100);
  ASSERT_TRUE(desk.WaitForEnd(2));
  const size_t leftwards = desk.Played();
  desk.Click(GRAPH_ENVELOPE, 100, 300);
  ASSERT_TRUE(desk.WaitForEnd(3));
  EXPECT_EQ(desk.Played(), leftwards);
  EXPECT_NEAR(static_cast<double>(leftwards), double(length), 4096.0);  // half the sound
  desk.Click(GRAPH_ENVELOPE, 200, 900);
  ASSERT_TRUE(desk.WaitForEnd(4));
  EXPECT_NEAR(static_cast<double>(desk.Played()), double(length), 4096.0);

  // Locked graphs and a window whose end is not handled yet ignore the mouse.
  desk.manager->LockGraphs(1);
  desk.Click(GRAPH_PITCH, 10, 10);
  EXPECT_EQ(desk.counter.starts.load(), 4);
  desk.manager->LockGraphs(0);
  desk.Click(GRAPH_ENVELOPE, 10, 10);
  EXPECT_EQ(desk.counter.starts.load(), 5);
  while (!desk.system->WaitForMessages(10)) {
  }
  desk.Click(GRAPH_ENVELOPE, 10, 10);  // busy: the end is queued, not handled
  EXPECT_EQ(desk.counter.starts.load(), 5);
  ASSERT_TRUE(desk.WaitForEnd(5));
}

// (What a resize shows until RefreshGraphs, GraphX11Test checks as the host resizes a graph.)
TEST(GraphicManagerTest, APressDuringPlaybackStopsItStoppedPlaybackIsNeverReportedAndHostCallsGoOn) {
  Desk desk;
  platform::SetWaveOutSystem(platform::TestWaveOutSystem::Make(1));  // real time: still playing
  desk.manager->SetSoundFile(desk.file.c_str(), 0);
  desk.manager->PlayGraph(GRAPH_SPECTRUM);
  desk.Click(GRAPH_PITCH, 0, 0);  // graphs are locked while PlayGraph's range plays
  EXPECT_EQ(desk.counter.redraws.load(), 0);
  desk.manager->LockGraphs(0);
  desk.system->DeliverPointer(desk.parent, WM_LBUTTONDOWN, 50, 70);  // the pitch graph
  EXPECT_EQ(desk.counter.redraws.load(), 1);
  desk.system->DeliverPointer(desk.parent, WM_LBUTTONUP, 50, 70);
  desk.manager->RedrawGraphs();  // stops the pitch tone too
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  desk.system->DispatchMessages();
  EXPECT_EQ(desk.counter.ends.load(), 0);  // stopped playback is never reported

  // A new sound, another version and other graphs while a graph plays (fast again, so some end).
  platform::SetWaveOutSystem(desk.device);
  for (int round = 0; round < 4; ++round) {
    desk.manager->SetSoundFile(desk.file.c_str(), round % 2);
    desk.manager->PlayGraph(kGraphOrder[static_cast<size_t>(round)]);
    desk.manager->SelectSound(round % 2 == 0);
    desk.manager->PlayGraph(GRAPH_ENVELOPE);
    desk.system->DispatchMessages();
    desk.manager->RedrawGraphs();
  }
}

// On a graph surface, the pixels a host copies are the headless windows' pixels and every changed
// pixel is announced.
TEST(GraphicManagerTest, SurfaceHostsCopyTheHeadlessPixelsAndHearOfEveryChange) {
  Desk desk(true);
  CountedPtr<CSoundSource> sound = OpenSoundFile(desk.file.c_str());
  const platform::Bitmap expected = DrawGraphPicture(sound.Get(), 15, kWidth, kHeight, 0);
  std::vector<uint32_t> argb;
  for (int32_t i = 0; i < kWidth * expected.Height(); ++i) {
    const platform::COLORREF c = expected.GetPixel(i % kWidth, i / kWidth);
    argb.push_back(0xFF000000u | platform::GetRValue(c) << 16 | platform::GetGValue(c) << 8 | platform::GetBValue(c));
  }
  EXPECT_TRUE(WaitUntil([&] { return std::equal(argb.begin(), argb.end(), desk.Pixels().begin()); }));

  // While a graph plays, its cursor moves: every pixel that changes lies in an announced rectangle.
  platform::SetWaveOutSystem(platform::TestWaveOutSystem::Make(1));
  desk.counter.TakeChanges();
  std::vector<uint32_t> before = desk.Pixels();
  std::vector<GraphRect> since_before;  // announced after `before` was copied
  desk.manager->PlayGraph(GRAPH_PITCH);
  for (int round = 0; round < 5; ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const std::vector<uint32_t> after = desk.Pixels();
    // A change is announced just after it is composed: one more pass of the window thread and every
    // change in the copy has been announced.
    static_cast<CGraphSurface*>(desk.surface)->System().RunOnWindowThread([] {});
    std::vector<GraphRect> announced = desk.counter.TakeChanges();
    // What was announced before the last copy may show only in this one.
    const std::vector<GraphRect> since_after = announced;
    announced.insert(announced.end(), since_before.begin(), since_before.end());
    size_t changed = 0;
    for (size_t i = 0; i < after.size(); ++i) {
      if (before[i] == after[i]) continue;
      ++changed;
      const auto x = static_cast<int32_t>(i % kWidth), y = static_cast<int32_t>(i / kWidth);
      bool covered = false;
      for (const GraphRect& r : announced) covered |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
      ASSERT_TRUE(covered) << "pixel " << x << "," << y << " changed unannounced";
    }
    EXPECT_TRUE(changed > 0 || round > 0);  // the cursor has moved by the first look
    before = after;
    since_before = since_after;
  }
  desk.manager->RedrawGraphs();
}

// The surface's forwarded pointer plays what mouse messages play (ClicksAndDrags), and a host thread
// may copy while a graph plays and the surface goes.
TEST(GraphicManagerTest, SurfacePointerPlaysLikeTheMouseAndCopiesGoOnWhileTheSurfaceGoes) {
  Desk desk(true);
  desk.surface->PointerPress(300, 20);
  desk.surface->PointerMotion(200, 20, true);
  desk.surface->PointerMotion(100, 520, true);  // the drag leaves the surface
  desk.surface->PointerRelease(100, 520);
  EXPECT_TRUE(WaitUntil([&] { return desk.counter.ends.load() == 1; }));
  EXPECT_NEAR(static_cast<double>(desk.Played()), double(desk.speech.size()), 4096.0);  // half the sound

  platform::SetWaveOutSystem(platform::TestWaveOutSystem::Make(2));
  std::atomic<bool> stop{false};
  std::thread copier([&] {
    std::vector<uint32_t> pixels(size_t(kWidth) * 10);
    while (!stop.load()) desk.surface->CopyPixels(GraphRect{0, 100, kWidth, 110}, pixels.data(), kWidth * 4);
  });
  desk.manager->PlayGraph(GRAPH_ENVELOPE);
  desk.surface->PointerPress(100, 100);  // the crossing graph: stops the envelope and plays its own
  desk.surface->PointerRelease(100, 100);
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
