// CGraphWindow: the child window that shows one graph view, turns a click or a drag into a range of
// samples, and plays it through its manager's playback engine.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/playback_engine.h"
#include "audio/playback_owner.h"
#include "graph/graph_view.h"
#include "platform/window.h"
#include "sound/counted_ptr.h"

namespace melvox {

class CGraphicManager;
class IPlaybackObserver;

// Posted by a window to itself when what it played has run out (the engine's thread hands the rest
// of the work to the window thread this way).
constexpr uint32_t WM_GRAPH_PLAYED = WM_USER + 1;

// A hidden child of the manager's parent window until the host shows it. It paints its view (or, while
// an update is pending after a resize, only a grey frame), passes the left button to the view, and
// plays: a click plays the whole shown range, a drag the samples under it (mapped through the shown
// range, the selection of the sound the view plays); PlayGraph plays the shown range.
//
// Threading: everything runs on the window thread except OnPlaybackEnded, which runs on the engine's
// thread and touches only the engine, the window's invalidation and post (any thread), the flags
// playing, busy and locked (atomics), the manager's stopping flag (atomic) and the manager's
// LockGraphs (which guards its window list); everything else waits for WM_GRAPH_PLAYED on the window
// thread. busy keeps the mouse away from the engine between the two.
class CGraphWindow : public platform::Window, public IPlaybackOwner {
 public:
  // Creates the system window: a hidden child of parent at rect (null: all zero).
  CGraphWindow(CGraphicManager* manager, HWND parent, CPlaybackEngine* engine, std::atomic<int32_t>* stopping,
               int32_t control_id, const platform::RECT* rect);
  ~CGraphWindow() override;

  void SetView(CountedPtr<CGraphView> view) { view_ = std::move(view); }
  CGraphView* View() const { return view_.Get(); }
  // Gives the view a sound (null for none) and the option, keeps the observer for the end of
  // playback, takes the shown range from the sound the view plays, and repaints. A std::exception of
  // the view reaches the caller; any other failure is dropped and the window repaints anyway. shared
  // (may be null) holds the analysis of the sound for every window given it in one go.
  void SetSound(CSoundNode* sound, IPlaybackObserver* observer, int32_t option, CSharedAnalysis* shared = nullptr);
  // Plays the whole shown range (PlayGraph), locking the manager's graphs while it plays.
  void Play();
  void OnPlaybackEnded() override;

  void SetLocked(int32_t locked) { locked_.store(locked); }
  bool IsUpdatePending() const { return update_pending_ != 0; }
  bool IsPlaying() const { return playing_.load() != 0; }
  // The sample under client x: shown start plus (x - left) / (right - left) of the shown range,
  // truncated toward the start, in single precision as the mouse has always been mapped.
  uint32_t SampleAt(int32_t x) const;

  LRESULT HandleMessage(uint32_t message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Paint();
  void Press(int32_t x, int32_t y);
  void Release(int32_t x, int32_t y);
  void Played();
  bool Ignoring() const { return locked_.load() != 0 || busy_.load() != 0; }
  bool ViewFormatHasChannels();

  CGraphicManager* manager_;
  CountedPtr<CGraphView> view_;
  int32_t update_pending_ = 0;
  CPlaybackEngine* engine_;
  uint32_t press_position_ = 0;
  IPlaybackObserver* observer_ = nullptr;
  std::atomic<int32_t> playing_{0};
  std::atomic<int32_t> locked_{0};
  std::atomic<int32_t> busy_{0};
  std::atomic<int32_t>* stopping_;
  uint32_t shown_start_ = UINT32_MAX;  // all bits set: not known yet
  uint32_t shown_end_ = UINT32_MAX;
};

}  // namespace melvox
