#include "graph/graphic_manager.h"

#include <algorithm>
#include <new>
#include <utility>

#include "analysis/slowed_sound.h"
#include "core/mv_exception.h"
#include "core/public_call.h"
#include "graph/graph_type.h"
#include "melvox/errors.h"
#include "platform/headless_window_system.h"
#include "platform/message_box.h"
#include "platform/window_backend.h"
#include "sound/open_sound_file.h"

namespace melvox {
namespace {

// The size of a window that stands in for a parent no window system knows: room for the rectangle.
int32_t StandInSide(int32_t far_edge) { return std::clamp(far_edge, 1, platform::Bitmap::kMaxSide); }

}  // namespace

CGraphicManager::CGraphicManager() = default;

CGraphicManager::~CGraphicManager() {
  engine_.SetOwner(nullptr);
  // The engine's thread may be inside a view: it stops before the windows and their views go.
  StopPlayback();
  engine_.SetInput(nullptr);
  std::map<int32_t, std::unique_ptr<CGraphWindow>> windows;
  {
    const std::lock_guard<std::mutex> guard(windows_mutex_);
    windows.swap(windows_);
  }
  windows.clear();
  listeners_.clear();
}

template <typename Body>
auto CGraphicManager::OnWindowThread(Body&& body) -> decltype(body()) {
  return GuardPublicCall([&]() -> decltype(body()) {
    if (!system_ || system_->IsWindowThread()) return body();
    using Result = decltype(body());
    if constexpr (std::is_void_v<Result>) {
      system_->RunOnWindowThread(body);
    } else {
      Result result{};
      system_->RunOnWindowThread([&] { result = body(); });
      return result;
    }
  });
}

void CGraphicManager::ReportingErrors(const std::function<void()>& body) {
  try {
    body();
  } catch (const CMVException& error) {
    const char* text = error.GetMessage() != nullptr ? error.GetMessage() : "";
    platform::ShowMessageBox(text, "Error");
    throw CMsgException(text);
  } catch (...) {
    platform::ShowMessageBox("Unexpected error", "Error");
    throw CMsgException();
  }
}

std::vector<CGraphWindow*> CGraphicManager::Windows() {
  const std::lock_guard<std::mutex> guard(windows_mutex_);
  std::vector<CGraphWindow*> windows;
  for (const auto& entry : windows_) windows.push_back(entry.second.get());
  return windows;
}

CGraphWindow* CGraphicManager::Window(int32_t type) {
  const std::lock_guard<std::mutex> guard(windows_mutex_);
  const auto it = windows_.find(type);
  return it != windows_.end() ? it->second.get() : nullptr;
}

void CGraphicManager::StopPlayback() {
  stopping_.store(1);
  // Also waits for a worker still inside a window's end notification: what comes next may replace or
  // destroy that window.
  engine_.StopAndWait();
  stopping_.store(0);
}

WindowHandle CGraphicManager::CreateGraphs(WindowHandle parent, int32_t controlId, uint8_t types,
                                           const GraphRect* rect) {
  std::shared_ptr<platform::WindowSystem> system = platform::WindowSystemForParent(parent);
  HWND host = parent;
  if (!system) {
    // No window of ours and no display: the graphs live in a parent that nobody sees, with a window
    // thread of its own that tells the observer of the end of playback as usual.
    auto stand_in = platform::HeadlessWindowSystem::Make(true);
    host = stand_in->CreateParent(StandInSide(rect != nullptr ? rect->right : 0),
                                  StandInSide(rect != nullptr ? rect->bottom : 0));
    system = std::move(stand_in);
  }
  system_ = system;
  return OnWindowThread([&]() -> WindowHandle {
    parent_ = host;
    const platform::RECT area =
        rect != nullptr ? platform::RECT{rect->left, rect->top, rect->right, rect->bottom} : platform::RECT{0, 0, 0, 0};
    HWND last = 0;
    for (const GraphType type : kGraphOrder) {
      if ((types & static_cast<uint8_t>(type)) == 0) continue;
      if (Window(type) != nullptr) {  // the older window of the type goes first
        StopPlayback();
        engine_.SetInput(nullptr);
        std::unique_ptr<CGraphWindow> older;
        {
          const std::lock_guard<std::mutex> guard(windows_mutex_);
          older = std::move(windows_[type]);
          windows_.erase(type);
        }
      }
      auto window = std::make_unique<CGraphWindow>(this, host, &engine_, &stopping_, controlId, &area);
      const platform::RECT view_area{0, 0, area.right - area.left, area.bottom - area.top};
      window->SetView(CountedPtr<CGraphView>(MakeGraphView(type, view_area, window.get()).release()));
      last = window->Handle();
      const std::lock_guard<std::mutex> guard(windows_mutex_);
      windows_[type] = std::move(window);
    }
    return last;
  });
}

WindowHandle CGraphicManager::GetGraphWindow(int32_t type) {
  return OnWindowThread([&]() -> WindowHandle {
    CGraphWindow* window = Window(type);
    return window != nullptr ? window->Handle() : 0;
  });
}

void CGraphicManager::HandSound(bool pending_only) {
  StopPlayback();
  CSharedAnalysis shared;  // one analysis of the sound for all the windows
  for (CGraphWindow* window : Windows()) {
    if (!pending_only || window->IsUpdatePending()) window->SetSound(current_, observer_, option_, &shared);
  }
}

void CGraphicManager::RefreshGraphs() {
  OnWindowThread([&] {
    if (file_name_.empty()) return;
    ReportingErrors([&] { HandSound(true); });
  });
}

void CGraphicManager::SetSoundFile(const char* path, int32_t option) {
  OnWindowThread([&] {
    ReportingErrors([&] {
      option_ = option;
      file_name_ = path != nullptr ? path : "";
      current_ = nullptr;
      StopPlayback();
      engine_.SetInput(nullptr);
      if (file_name_.empty()) {
        if (loaded_) loaded_->Close();
        if (slowed_) slowed_->Close();
        for (CGraphWindow* window : Windows()) window->SetSound(nullptr, nullptr, option_);
        return;
      }
      loaded_ = OpenSoundFile(file_name_.c_str());
      slowed_ = PrepareSlowed(*loaded_, level_);
      current_ = use_slowed_ != 0 ? slowed_.Get() : loaded_.Get();
      HandSound(false);
    });
  });
}

void CGraphicManager::PlayGraph(int32_t type) {
  OnWindowThread([&] {
    if (CGraphWindow* window = Window(type)) window->Play();
  });
}

void CGraphicManager::SetPlaybackObserver(IPlaybackObserver* observer) {
  OnWindowThread([&] { observer_ = observer; });
}

void CGraphicManager::Redraw() {
  stopping_.store(1);
  engine_.Stop();
  for (CGraphWindow* window : Windows()) {
    window->Invalidate(nullptr, true);
    window->Update();
  }
  for (IGraphicListener* listener : std::vector<IGraphicListener*>(listeners_)) listener->OnRedraw();
  stopping_.store(0);
}

void CGraphicManager::RedrawGraphs() {
  OnWindowThread([&] { Redraw(); });
}

void CGraphicManager::AddListener(IGraphicListener* listener) {
  OnWindowThread([&] {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
  });
}

void CGraphicManager::RemoveListener(IGraphicListener* listener) {
  OnWindowThread(
      [&] { listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end()); });
}

void CGraphicManager::Lock(int32_t locked) {
  const std::lock_guard<std::mutex> guard(windows_mutex_);
  for (const auto& entry : windows_) entry.second->SetLocked(locked);
}

void CGraphicManager::LockGraphs(int32_t locked) {
  OnWindowThread([&] { Lock(locked); });
}

void CGraphicManager::Release() {
  // The windows belong to the window thread: the manager goes there.
  if (system_ && !system_->IsWindowThread()) {
    const std::shared_ptr<platform::WindowSystem> system = system_;
    system->RunOnWindowThread([this] { delete this; });
    return;
  }
  delete this;
}

void CGraphicManager::TellPlayStart() {
  for (IGraphicListener* listener : std::vector<IGraphicListener*>(listeners_)) listener->OnPlayStart();
}

void CGraphicManager::NotifyPlayStart() {
  OnWindowThread([&] { TellPlayStart(); });
}

void CGraphicManager::SelectSound(bool slowed) {
  OnWindowThread([&] {
    use_slowed_ = slowed ? 1 : 0;
    current_ = slowed ? slowed_.Get() : loaded_.Get();
    HandSound(false);
  });
}

void CGraphicManager::SetSlowdown(int32_t level) {
  OnWindowThread([&] { level_ = level; });
}

IGraphicManager* GetGraphicManager() {
  try {
    return new CGraphicManager;
  } catch (...) {  // no memory, or no engine
    return nullptr;
  }
}

}  // namespace melvox
