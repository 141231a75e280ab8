#include "graph/graph_view.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>

#include "analysis/endpoint_detector.h"
#include "sound/memory_source.h"

namespace melvox {
namespace {

// The last play position any view received: the engine of another graph manager may report its own.
std::atomic<uint32_t> g_last_position{0};

// Leaves a section entered with TryEnter.
class Entered {
 public:
  explicit Entered(CCriticalSection& section) : section_(section) {}
  ~Entered() { section_.Leave(); }
  Entered(const Entered&) = delete;
  Entered& operator=(const Entered&) = delete;

 private:
  CCriticalSection& section_;
};

}  // namespace

CGraphView::CGraphView(const platform::RECT& area, platform::Window* window) : area_(area), window_(window) {}

CGraphView::~CGraphView() = default;

bool CGraphView::Read(void* buffer, uint32_t capacity, uint32_t& frames) {
  if (input_ == nullptr) {
    frames = 0;
    return false;
  }
  return input_->Read(buffer, capacity, frames);
}

bool CGraphView::SetSound(CSoundNode* sound, int32_t /*option*/) {
  dirty_ = 1;
  if (sound == nullptr) {
    values_.clear();
    values_.shrink_to_fit();
  }
  return SetInput(sound);
}

void CGraphView::BeginSetSound(CSoundNode* sound) {
  analysis_node_.Reset();
  input_ = sound;
}

void CGraphView::SetAnalysisNode(std::unique_ptr<CWave> wave) {
  if (!wave) return;
  analysis_node_.Reset(new CMemorySource(CountedPtr<CWave>(wave.release())));
}

void CGraphView::Resize(const platform::RECT& area) {
  const CLock lock(lock_);
  area_ = area;
  memory_.reset();
  bitmap_ = platform::Bitmap();
  dirty_ = 1;
}

bool CGraphView::Paint(platform::Canvas& canvas) {
  const CLock lock(lock_);
  if (!memory_) {
    try {
      bitmap_ = platform::Bitmap(std::max(Width(), 0), std::max(Height(), 0));
      memory_ = std::make_unique<platform::Canvas>(bitmap_);
    } catch (const std::exception&) {  // a size the bitmap refuses, or no memory for it
      memory_.reset();
      bitmap_ = platform::Bitmap();
      return false;
    }
  }
  if (dirty_ != 0) {
    if (!Draw()) return false;
    dirty_ = 0;
  }
  canvas.BitBlt(area_.left, area_.top, Width(), Height(), bitmap_, 0, 0);
  return true;
}

bool CGraphView::Draw() {
  platform::Canvas& dc = Memory();
  const int32_t height = Height();
  const int32_t mid = height / 2;
  const platform::Pen previous = dc.SelectPen(platform::Pen{0, kGraphFrameColor});
  dc.Rectangle(0, 0, Width(), height);
  // An even height has no middle row: the bar reaches one row further up.
  const int32_t even = height % 2 == 0 ? 1 : 0;
  bool ok = true;
  for (size_t i = 0; i < values_.size() && ok; ++i) {
    const int32_t v = values_[i];
    if (v == 0) continue;
    const auto x = static_cast<int32_t>(i);
    dc.MoveTo(x, mid - v - even);
    ok = dc.LineTo(x, mid + v);
  }
  dc.SelectPen(previous);
  return ok;
}

bool CGraphView::CursorFraction(int32_t frame, double& fraction) {
  const auto p = static_cast<uint32_t>(frame);
  if (CSoundNode* node = GetAnalysisNode()) {
    int32_t start = 0;
    int32_t end = 0;
    if (!SelectionOf(*node, start, end)) return false;
    const double span = static_cast<double>(end) - start;
    const double offset = static_cast<uint32_t>(p - static_cast<uint32_t>(start));
    if (span <= 0.0) return false;
    fraction = std::min(offset / span, 1.0);
    return true;
  }
  const auto length = static_cast<uint32_t>(GetLength());
  if (length == 0) return false;
  fraction = static_cast<double>(p) / length;
  return true;
}

void CGraphView::SetPosition(int32_t frame) {
  // A paint or a new sound is in progress: this position is skipped, never waited for.
  if (!lock_.TryEnter()) return;
  const Entered entered(lock_);
  if (g_last_position.exchange(static_cast<uint32_t>(frame)) == static_cast<uint32_t>(frame)) return;
  if (window_ == nullptr || !window_->IsWindow()) return;
  double fraction = 0.0;
  if (!CursorFraction(frame, fraction)) return;
  // Never on the frame's columns: the first and the last.
  const double column = std::trunc(Width() * fraction);
  if (!(column >= 1.0 && column < Width() - 1)) return;
  const auto x = static_cast<int32_t>(column);
  if (x == cursor_column_) return;
  const std::unique_ptr<platform::WindowCanvas> dc = window_->GetDC();
  if (!dc) return;
  (*dc)->SelectPen(platform::Pen{0, kPlayCursorColor});
  // The old line goes back to what the bitmap shows there.
  (*dc)->BitBlt(area_.left + cursor_column_, area_.top, 1, Height(), bitmap_, cursor_column_, 0);
  (*dc)->MoveTo(area_.left + x, area_.bottom - 1);
  (*dc)->LineTo(area_.left + x, area_.top);
  cursor_column_ = x;
}

void CGraphView::MouseDown(int32_t x, int32_t y) {
  if (x < area_.left || x >= area_.right || y < area_.top || y >= area_.bottom) return;
  if (window_ != nullptr) window_->SetCapture();
  dragging_ = 1;
  anchor_x_ = x;
  current_x_ = x;
}

void CGraphView::MouseMove(int32_t x, int32_t /*y*/) {
  if (dragging_ == 0) return;
  InvertColumns(std::min(x, current_x_), std::max(x, current_x_));
  current_x_ = x;
}

void CGraphView::MouseUp(int32_t /*x*/, int32_t /*y*/) {
  if (dragging_ == 0) return;
  if (window_ != nullptr) window_->ReleaseCapture();
  InvertColumns(std::min(anchor_x_, current_x_), std::max(anchor_x_, current_x_));
  dragging_ = 0;
}

void CGraphView::InvertColumns(int32_t x1, int32_t x2) {
  const CLock lock(lock_);
  x1 = std::clamp(x1, area_.left, area_.right);
  x2 = std::clamp(x2, area_.left, area_.right);
  if (x1 >= x2 || !memory_) return;
  const platform::RECT strip{x1 - area_.left, 0, x2 - area_.left, Height()};
  memory_->InvertRect(strip);
  if (window_ == nullptr) return;
  if (const std::unique_ptr<platform::WindowCanvas> dc = window_->GetDC()) {
    (*dc)->BitBlt(x1, area_.top, x2 - x1, Height(), bitmap_, strip.left, 0);
  }
  const platform::RECT shown{x1, area_.top, x2, area_.bottom};
  window_->Invalidate(&shown, false);
}

bool SelectionOf(CSoundNode& node, int32_t& start, int32_t& end) {
  if (auto* memory = dynamic_cast<CMemorySource*>(&node)) {
    if (!memory->Wave()) return false;
    start = memory->Wave()->SelectionStart();
    end = memory->Wave()->SelectionEnd();
    return true;
  }
  const std::unique_ptr<CWave> wave = node.GetWave();
  if (!wave) return false;
  start = wave->SelectionStart();
  end = wave->SelectionEnd();
  return true;
}

void CarrySelection(const CWave& from, CWave& to) {
  if (from.SampleCount() == 0) return;
  const double ratio = static_cast<double>(to.SampleCount()) / from.SampleCount();
  const auto start = static_cast<int32_t>(std::trunc(from.SelectionStart() * ratio));
  auto end = static_cast<int32_t>(std::trunc(from.SelectionEnd() * ratio));
  if (end >= static_cast<int32_t>(to.SampleCount())) end = static_cast<int32_t>(to.SampleCount()) - 1;
  to.SetSelection(start, end);
}

}  // namespace melvox
