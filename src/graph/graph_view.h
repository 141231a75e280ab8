// CGraphView: the base of the four graph views. A view is a sound node between the sound it shows and
// the playback engine, and a drawing kept in an off-screen bitmap with a play cursor and a drag
// highlight.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/critical_section.h"
#include "graph/shared_analysis.h"
#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/gdi_types.h"
#include "platform/window.h"
#include "sound/counted_ptr.h"
#include "sound/sound_node.h"
#include "sound/wave.h"

namespace melvox {

// The grey of every graph's frame and curve, and the colours of the fill and the play cursor.
constexpr platform::COLORREF kGraphFrameColor = platform::RGB(100, 100, 100);
constexpr platform::COLORREF kGraphFillColor = platform::RGB(200, 200, 200);
constexpr platform::COLORREF kPlayCursorColor = platform::RGB(40, 30, 200);

// A view keeps one value per pixel column of its area (filled by the derived view's SetSound from an
// analysis of the sound), draws them into its bitmap when they changed, and copies the bitmap to the
// window on every paint. As a sound node it passes frames through unchanged; the position the engine
// reports (SetPosition) becomes a vertical cursor line drawn straight into the window. Between a press
// inside its area and the release it shows the dragged columns inverted.
//
// The derived view also makes the sound that a click plays (its analysis node: the sound itself, or a
// sound made from its analysis); the window makes that node the view's input while it plays.
//
// Threading: SetPosition runs on the playback engine's thread, everything else on the window thread.
// The view's lock guards the bitmap and the area: Paint, Resize and the drag inversion hold it while
// they work, and SetPosition skips its update when the lock is held instead of waiting, so the engine's
// thread never waits for the window thread. The last position any view received is shared by all
// views of the process, as an atomic. A sound is handed over (SetSound) only while no engine plays the
// view.
class CGraphView : public CSoundNode {
 public:
  // area: (0, 0, width, height) in the window's client coordinates; window: where the view draws its
  // cursor and highlight and whose mouse it captures (not owned, may be null).
  CGraphView(const platform::RECT& area, platform::Window* window);
  ~CGraphView() override;

  // Frames pass through from the input unchanged; false without input.
  bool Read(void* buffer, uint32_t capacity, uint32_t& frames) override;
  // Moves the play cursor to the frame being heard (engine thread); not passed on up the chain.
  void SetPosition(int32_t frame) override;
  // A view never closes the sound it shows.
  void Close() override {}

  // Draws the values into the bitmap: a grey frame on white and one symmetric bar per column. False
  // when a drawing operation fails.
  virtual bool Draw();
  // Takes a new sound (null for none) and the analysis option (non-zero: detect the sound's start and
  // end first). The base keeps the sound as input and its format, or frees the values without a sound;
  // the derived views compute their values first and call it last. Returns whether an input was set.
  virtual bool SetSound(CSoundNode* sound, int32_t option);
  // Copies the bitmap to canvas at the area's position, drawing it first when it is dirty; makes the
  // bitmap on the first paint. False when the bitmap cannot be made or drawn.
  virtual bool Paint(platform::Canvas& canvas);
  // The node a click plays, or null.
  virtual CSoundNode* GetAnalysisNode() { return analysis_node_.Get(); }
  virtual void MouseMove(int32_t x, int32_t y);
  virtual void MouseUp(int32_t x, int32_t y);
  virtual void MouseDown(int32_t x, int32_t y);

  // A new area: drops the bitmap and marks the view dirty; the values stay those of the old width
  // until the next SetSound.
  void Resize(const platform::RECT& area);

  // The analyses to share with the other views of one hand-out (null: the view makes its own). The
  // caller keeps it alive while it hands the sound over.
  void ShareAnalysis(CSharedAnalysis* shared) { shared_ = shared; }

  const std::vector<int32_t>& Values() const { return values_; }
  const platform::RECT& Area() const { return area_; }
  bool IsDragging() const { return dragging_ != 0; }

 protected:
  int32_t Width() const { return area_.right - area_.left; }
  int32_t Height() const { return area_.bottom - area_.top; }
  // The canvas of the bitmap, for Draw; valid while Paint draws.
  platform::Canvas& Memory() { return *memory_; }

  // The first steps of every derived SetSound: drops the analysis node and keeps sound as input.
  void BeginSetSound(CSoundNode* sound);
  // SetSound of a view that analyses its sound: drops the analysis node and keeps sound as input; then
  // show(entry) computes the columns and the analysis node from the entry's wave (start and end
  // detected when option is non-zero), analysis and spectral analysis, the ones shared in this hand-out
  // or made here; last the base SetSound. False when the sound gives no wave.
  template <typename Show>
  bool SetAnalysedSound(CSoundNode* sound, int32_t option, Show show) {
    BeginSetSound(sound);
    if (sound == nullptr) return CGraphView::SetSound(nullptr, option);
    CSharedAnalysis local;
    const CSharedAnalysis::Entry* analysed = (shared_ != nullptr ? *shared_ : local).Of(*sound, option);
    if (analysed == nullptr) return false;
    show(*analysed);
    return CGraphView::SetSound(sound, option);
  }
  // Makes the analysis node a memory source over wave (null leaves it empty).
  void SetAnalysisNode(std::unique_ptr<CWave> wave);

  std::vector<int32_t> values_;

 private:
  // Inverts the columns x1 .. x2 - 1 (client coordinates, clamped into the area) of the bitmap and
  // shows them in the window.
  void InvertColumns(int32_t x1, int32_t x2);
  // Where the cursor of frame p lies as a fraction of the width; false when it cannot be told.
  bool CursorFraction(int32_t frame, double& fraction);

  platform::RECT area_;
  int32_t dirty_ = 1;
  platform::Window* window_;
  platform::Bitmap bitmap_;
  std::unique_ptr<platform::Canvas> memory_;  // null until the first paint, and after a resize
  int32_t cursor_column_ = 0;
  CCriticalSection lock_;
  int32_t dragging_ = 0;
  int32_t anchor_x_ = 0;
  int32_t current_x_ = 0;
  CountedPtr<CSoundNode> analysis_node_;
  CSharedAnalysis* shared_ = nullptr;
};

// The selection of the sound a node serves: read from the wave of a memory source without copying
// it, else from a decoded copy (GetWave). False when the node gives no wave.
bool SelectionOf(CSoundNode& node, int32_t& start, int32_t& end);

// Carries a wave's selection over to a sound made from it with another length (a tone, a
// resynthesis): both ends scaled by the ratio of the sample counts (double precision, truncated), the
// end kept below the made sound's sample count.
void CarrySelection(const CWave& from, CWave& to);

}  // namespace melvox
