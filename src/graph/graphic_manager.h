// CGraphicManager: the object behind IGraphicManager.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/playback_engine.h"
#include "graph/graph_window.h"
#include "melvox/graphic_manager.h"
#include "platform/window_system.h"
#include "sound/counted_ptr.h"
#include "sound/sound_node.h"

namespace melvox {

// Owns the graph windows (at most one per type, in a map iterated in ascending type order), the loaded
// sound file and its slowed version, and the playback engine the windows share.
//
// Threading: the public operations marshal to the window thread of the windows' system (see
// IGraphicManager) and run there; so do the windows' messages, which call Redraw and TellPlayStart.
// Lock runs on the window thread or, from a window's OnPlaybackEnded, on the engine's thread: the
// window map is guarded by windows_mutex_ for that, which is held only to walk or change the map.
// stopping_ is atomic: the window thread sets it around its own stops and the engine's thread reads
// and clears it. Before a sound is handed to the windows, and before windows go, the engine is
// stopped, so its thread never reads a view or a sound that is being replaced.
class CGraphicManager final : public IGraphicManager {
 public:
  CGraphicManager();

  WindowHandle CreateGraphs(WindowHandle parent, int32_t controlId, uint8_t types, const GraphRect* rect) override;
  WindowHandle GetGraphWindow(int32_t type) override;
  void RefreshGraphs() override;
  void SetSoundFile(const char* path, int32_t option) override;
  void PlayGraph(int32_t type) override;
  void SetPlaybackObserver(IPlaybackObserver* observer) override;
  void RedrawGraphs() override;
  void AddListener(IGraphicListener* listener) override;
  void RemoveListener(IGraphicListener* listener) override;
  void LockGraphs(int32_t locked) override;
  void Release() override;
  void NotifyPlayStart() override;
  void SelectSound(bool slowed) override;
  void SetSlowdown(int32_t level) override;

  // What the windows call on the window thread (Lock also on the engine's thread).
  void Redraw();
  void TellPlayStart();
  void Lock(int32_t locked);

  // The window of a type (null when none) and the engine, for tests and the command-line tool.
  CGraphWindow* Window(int32_t type);
  CPlaybackEngine& Engine() { return engine_; }
  platform::WindowSystem* System() const { return system_.get(); }

 private:
  ~CGraphicManager();

  // Runs body on the window thread, with failures leaving as CMsgException.
  template <typename Body>
  auto OnWindowThread(Body&& body) -> decltype(body());
  // Runs body; a failure is shown in a box captioned "Error" and thrown on as CMsgException.
  void ReportingErrors(const std::function<void()>& body);
  // Stops the engine as the library's own stop (no window is told), waiting for its worker to be gone.
  void StopPlayback();
  // Gives the current sound, the observer and the option to every window (all, or those whose update
  // is pending) in ascending type order.
  void HandSound(bool pending_only);
  std::vector<CGraphWindow*> Windows();

  CSoundNode* current_ = nullptr;
  CountedPtr<CSoundSource> loaded_;
  CountedPtr<CSoundSource> slowed_;
  uint8_t use_slowed_ = 0;
  int32_t level_ = -10;
  std::mutex windows_mutex_;
  std::map<int32_t, std::unique_ptr<CGraphWindow>> windows_;
  CPlaybackEngine engine_;
  IPlaybackObserver* observer_ = nullptr;
  std::string file_name_;
  HWND parent_ = 0;
  std::atomic<int32_t> stopping_{0};
  int32_t option_ = 0;
  std::vector<IGraphicListener*> listeners_;
  std::shared_ptr<platform::WindowSystem> system_;  // of the windows; null before CreateGraphs
};

}  // namespace melvox
