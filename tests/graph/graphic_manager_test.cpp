// The graph manager and its windows in a headless parent: creation, sounds handed over, errors, and
// what a click, a drag, a press during playback and a resize do.
#include "graph/graphic_manager.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/recording_comparison.h"
#include "graph/graph_type.h"
#include "melvox/errors.h"
#include "platform/headless_window_system.h"
#include "platform/test_wave_out.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "support/wait.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = 22050;

class Counter final : public IGraphicListener, public IPlaybackObserver {
 public:
  void OnPlayStart() override { ++starts; }
  void OnRedraw() override { ++redraws; }
  void OnPlaybackEnd() override { ++ends; }
  std::atomic<int> starts{0}, redraws{0}, ends{0};
};

// A headless parent 400 x 200, the test device at 100 times real time, message boxes captured, a
// phrase of speech in a WAV file, and a manager with the four graphs of 400 x 40 stacked.
class Desk {
 public:
  Desk() {
    platform::SetWaveOutSystem(device);
    for (int32_t i = 0; i < 4; ++i) {
      const GraphRect rect{0, i * 50, 400, i * 50 + 40};
      manager->CreateGraphs(parent, 10 + i, static_cast<uint8_t>(kGraphOrder[static_cast<size_t>(i)]), &rect);
    }
    for (const GraphType type : kGraphOrder) manager->Window(type)->Show(true);
    manager->AddListener(&counter);
    manager->SetPlaybackObserver(&counter);
  }
  ~Desk() {
    manager->Release();
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
    const auto y =
        static_cast<int32_t>(std::find(kGraphOrder.begin(), kGraphOrder.end(), type) - kGraphOrder.begin()) * 50 + 20;
    system->DeliverPointer(parent, WM_LBUTTONDOWN, x1, y);
    system->DeliverPointer(parent, WM_MOUSEMOVE, x2, y);
    system->DeliverPointer(parent, WM_LBUTTONUP, x2, y);
  }
  // Frames the device was given since the last call.
  size_t Played() {
    const size_t bytes = device->Written().size();
    device->ClearWritten();
    return bytes;
  }

  TempDir folder;
  std::string file = folder.Write("phrase.wav", PcmWav16(samples::SpeechLike(kRate, samples::DemoPhrase(), {}), kRate));
  std::shared_ptr<platform::TestWaveOutSystem> device = platform::TestWaveOutSystem::Make(100);
  std::shared_ptr<platform::HeadlessWindowSystem> system = platform::HeadlessWindowSystem::Make();
  HWND parent = system->CreateParent(400, 200);
  CGraphicManager* manager = static_cast<CGraphicManager*>(GetGraphicManager());
  Counter counter;
  MessageBoxes boxes;
};

TEST(GraphicManagerTest, MakesWindowsInTheirOrderAndReplacesOlderOnes) {
  auto system = platform::HeadlessWindowSystem::Make();
  const HWND parent = system->CreateParent(300, 100);
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
  EXPECT_EQ(system->ControlId(last), 3);
  EXPECT_EQ(system->WindowRect(last), (platform::RECT{10, 20, 110, 70}));
  EXPECT_FALSE(system->IsVisible(last));  // the host shows them

  // A null rectangle: windows and views of no size; the envelope's older window is gone.
  manager->CreateGraphs(parent, 4, GRAPH_ENVELOPE | GRAPH_SPECTRUM, nullptr);
  EXPECT_FALSE(system->IsWindow(envelope));
  const WindowHandle spectrum = manager->GetGraphWindow(GRAPH_SPECTRUM);
  EXPECT_EQ(system->WindowRect(spectrum), (platform::RECT{0, 0, 0, 0}));
  EXPECT_EQ(static_cast<CGraphicManager*>(manager)->Window(GRAPH_SPECTRUM)->View()->Area().right, 0);
  EXPECT_EQ(manager->GetGraphWindow(GRAPH_PITCH), last);
  manager->Release();
}

TEST(GraphicManagerTest, AParentNoWindowSystemKnowsGetsAStandInWithAThreadOfItsOwn) {
  Desk desk;  // for the test device and the file
  IGraphicManager* manager = GetGraphicManager();
  Counter counter;
  manager->SetPlaybackObserver(&counter);
  const GraphRect rect{0, 0, 300, 60};
  EXPECT_NE(manager->CreateGraphs(0x1234567, 1, GRAPH_ENVELOPE, &rect), 0u);
  manager->SetSoundFile(desk.file.c_str(), 0);
  manager->PlayGraph(GRAPH_ENVELOPE);
  // The stand-in's window thread handles the end and tells the observer.
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
  EXPECT_FALSE(desk.manager->Window(GRAPH_PITCH)->View()->Values().empty());
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
  const uint32_t length = static_cast<uint32_t>(samples::SpeechLike(kRate, samples::DemoPhrase(), {}).size());

  // The sample under x: the shown range (the whole sound) spread over the 400 columns, truncated.
  EXPECT_EQ(envelope.SampleAt(0), 0u);
  EXPECT_EQ(envelope.SampleAt(200), (length - 1) / 2);
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

TEST(GraphicManagerTest, PressDuringPlaybackStopsItAndAResizeWaitsForRefresh) {
  Desk desk;
  platform::SetWaveOutSystem(platform::TestWaveOutSystem::Make(1));  // real time: still playing
  desk.manager->SetSoundFile(desk.file.c_str(), 0);
  desk.manager->PlayGraph(GRAPH_SPECTRUM);
  CGraphWindow& spectrum = *desk.manager->Window(GRAPH_SPECTRUM);
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

  // A resize shows the grey frame until RefreshGraphs computes the graph for the new size.
  spectrum.Move(platform::RECT{0, 150, 200, 190});
  const auto frame_only = [&] {
    const platform::Bitmap pixels = desk.system->ReadPixels(spectrum.Handle());
    for (int32_t x = 1; x < 199; ++x) {
      for (int32_t y = 1; y < 39; ++y) {
        if (pixels.GetPixel(x, y) != platform::RGB(255, 255, 255)) return false;
      }
    }
    return pixels.GetPixel(0, 0) == kGraphFrameColor;
  };
  desk.system->DispatchMessages();
  EXPECT_TRUE(frame_only());
  desk.manager->RefreshGraphs();
  EXPECT_FALSE(frame_only());
  EXPECT_EQ(spectrum.View()->Area().right, 200);
}

TEST(GraphicManagerTest, HostCallsWhileTheEnginePlaysAndTheRecorderCompares) {
  Desk desk;
  const std::string other =
      desk.folder.Write("other.wav", PcmWav16(samples::SpeechLike(kRate, samples::OtherPhrase(), {}), kRate));
  std::atomic<bool> stop{false};
  std::thread comparer([&] {
    while (!stop.load()) EXPECT_GE(CompareRecording(desk.file.c_str(), other.c_str()), 0);
  });
  for (int round = 0; round < 4; ++round) {
    desk.manager->SetSoundFile(desk.file.c_str(), round % 2);
    desk.manager->PlayGraph(kGraphOrder[static_cast<size_t>(round)]);
    desk.manager->SelectSound(round % 2 == 0);
    desk.manager->PlayGraph(GRAPH_ENVELOPE);
    desk.system->DispatchMessages();
    desk.manager->RedrawGraphs();
  }
  stop = true;
  comparer.join();
}

}  // namespace
}  // namespace melvox::testing
