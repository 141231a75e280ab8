#include "graph_viewer.h"

#include <chrono>
#include <cstdio>

#include "audio/sound_recorder.h"
#include "graph/graph_type.h"
#include "melvox/errors.h"

namespace melvox::cli {
namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kGraphHeight = 150;
constexpr int32_t kGap = 4;
constexpr auto kSettle = std::chrono::milliseconds(200);
constexpr auto kLongestRecording = std::chrono::seconds(5);

}  // namespace

GraphViewer::GraphViewer(const std::string& path, std::shared_ptr<platform::WindowSystem> screen)
    : path_(path), screen_(std::move(screen)) {
  const int32_t height = 4 * kGraphHeight + 3 * kGap;
  if (screen_->CreateTopLevel("melvox view: " + path, kWidth, height, this) == 0) {
    throw CMsgException("melvox view: the window could not be made on the display.");
  }
  manager_ = static_cast<CGraphicManager*>(GetGraphicManager());
  if (manager_ == nullptr) throw CMsgException("melvox view: no memory for the graphs.");
  for (size_t i = 0; i < kGraphOrder.size(); ++i) {
    const auto top = static_cast<int32_t>(i) * (kGraphHeight + kGap);
    const GraphRect rect{0, top, kWidth, top + kGraphHeight};
    manager_->CreateGraphs(Handle(), static_cast<int32_t>(i), static_cast<uint8_t>(kGraphOrder[i]), &rect);
  }
  screen_->RunOnWindowThread([this] {
    for (const GraphType type : kGraphOrder) manager_->Window(type)->Show(true);
  });
  manager_->SetSoundFile(path.c_str(), 0);
  ShowTitle("");
}

GraphViewer::~GraphViewer() {
  if (manager_ != nullptr) manager_->Release();
  screen_->RunOnWindowThread([this] { DestroyWindow(); });
}

void GraphViewer::ShowTitle(const std::string& note) {
  char level[64];
  std::snprintf(level, sizeof level, "s slowed (%.1fx as long, + slower, - faster)", (100 - level_) / 100.0);
  const std::string title = path_ + " - " + (note.empty() ? "" : note + " - ") + "o original, " + level +
                            ", r record, q quit" + (slowed_ ? " [slowed]" : "");
  screen_->SetTitle(Handle(), title);
}

void GraphViewer::PlaceGraphs(int32_t width, int32_t height) {
  const int32_t graph_height = std::max((height - 3 * kGap) / 4, 1);
  for (size_t i = 0; i < kGraphOrder.size(); ++i) {
    const auto top = static_cast<int32_t>(i) * (graph_height + kGap);
    if (CGraphWindow* window = manager_->Window(kGraphOrder[i])) {
      window->Move(platform::RECT{0, top, width, top + graph_height});
    }
  }
}

LRESULT GraphViewer::HandleMessage(uint32_t message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE: {
      if (manager_ != nullptr) PlaceGraphs(LOWORD(lparam), HIWORD(lparam));
      const std::lock_guard<std::mutex> guard(queue_mutex_);
      resize_pending_ = true;
      last_resize_ = std::chrono::steady_clock::now();
      break;
    }
    case WM_CHAR:
    case WM_CLOSE:
    case WM_DESTROY: {
      {
        const std::lock_guard<std::mutex> guard(queue_mutex_);
        keys_.push_back(message == WM_CHAR ? static_cast<char>(wparam) : 'q');
      }
      queued_.notify_all();
      break;
    }
    default:
      return platform::Window::HandleMessage(message, wparam, lparam);
  }
  return 0;
}

void GraphViewer::Run() {
  for (;;) {
    char key = 0;
    bool refresh = false;
    {
      std::unique_lock<std::mutex> lock(queue_mutex_);
      queued_.wait_for(lock, std::chrono::milliseconds(50), [this] { return !keys_.empty(); });
      if (!keys_.empty()) {
        key = keys_.front();
        keys_.pop_front();
      }
      if (resize_pending_ && std::chrono::steady_clock::now() - last_resize_ > kSettle) {
        resize_pending_ = false;
        refresh = true;
      }
    }
    if (refresh) manager_->RefreshGraphs();
    if (key == 'q' || key == 'Q') return;
    if (key != 0) Key(key);
  }
}

void GraphViewer::Key(char key) {
  try {
    switch (key) {
      case 'o':
      case 's':
        slowed_ = key == 's';
        manager_->SelectSound(slowed_);
        manager_->PlayGraph(GRAPH_ENVELOPE);
        ShowTitle("");
        break;
      case '+':
      case '-':
        level_ = std::clamp(level_ + (key == '+' ? -10 : 10), -100, -10);
        manager_->SetSlowdown(level_);
        manager_->SetSoundFile(path_.c_str(), 0);  // makes the slowed version at the new level
        ShowTitle("");
        break;
      case 'r':
        Record();
        break;
      default:
        break;
    }
  } catch (const CMsgException& error) {
    ShowTitle(error.what());
  }
}

void GraphViewer::Record() {
  CSoundRecorder& recorder = ProcessRecorder();
  ShowTitle("recording up to 5 s, r stops");
  recorder.Start();
  const auto until = std::chrono::steady_clock::now() + kLongestRecording;
  {
    std::unique_lock<std::mutex> lock(queue_mutex_);
    queued_.wait_until(lock, until, [this] { return !keys_.empty() && keys_.front() == 'r'; });
    if (!keys_.empty() && keys_.front() == 'r') keys_.pop_front();
  }
  recorder.Stop();
  ShowTitle("score " + std::to_string(recorder.Compare(path_.c_str())) + " % for " + path_);
}

}  // namespace melvox::cli
