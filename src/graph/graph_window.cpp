#include "graph/graph_window.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "graph/graphic_manager.h"
#include "melvox/graphic_manager.h"

namespace melvox {

CGraphWindow::CGraphWindow(CGraphicManager* manager, HWND parent, CPlaybackEngine* engine,
                           std::atomic<int32_t>* stopping, int32_t control_id, const platform::RECT* rect)
    : manager_(manager), engine_(engine), stopping_(stopping) {
  Create(parent, rect != nullptr ? *rect : platform::RECT{0, 0, 0, 0}, control_id);
}

CGraphWindow::~CGraphWindow() { DestroyWindow(); }

void CGraphWindow::SetSound(CSoundNode* sound, IPlaybackObserver* observer, int32_t option, CSharedAnalysis* shared) {
  shown_start_ = UINT32_MAX;
  shown_end_ = UINT32_MAX;
  observer_ = observer;
  try {
    if (view_) {
      view_->ShareAnalysis(shared);
      struct Unshare {
        CGraphView& view;
        ~Unshare() { view.ShareAnalysis(nullptr); }
      } unshare{*view_};
      view_->SetSound(sound, option);
      if (sound != nullptr) view_->SetInput(sound);
      CSoundNode* source = view_->GetAnalysisNode();
      if (source != nullptr) {
        view_->SetInput(source);
      } else {
        source = view_->GetInput();
      }
      int32_t start = 0;
      int32_t end = 0;
      if (source != nullptr && SelectionOf(*source, start, end)) {
        shown_start_ = static_cast<uint32_t>(start);
        shown_end_ = static_cast<uint32_t>(end);
      }
    }
  } catch (const std::exception&) {
    throw;
  } catch (...) {  // a failure that is not a standard one (the library's own): the window repaints
  }
  update_pending_ = 0;
  Invalidate(nullptr, true);
  Update();
}

uint32_t CGraphWindow::SampleAt(int32_t x) const {
  const platform::RECT area = view_ ? view_->Area() : platform::RECT{0, 0, 0, 0};
  const int32_t span = area.right - area.left;
  if (span == 0) return shown_start_;
  const auto offset = static_cast<float>(x - area.left);
  const auto range = static_cast<float>(static_cast<int32_t>(shown_end_ - shown_start_));
  const float fraction = offset / static_cast<float>(span) * 100.0f * (range / -100.0f);
  return shown_start_ - static_cast<uint32_t>(static_cast<int64_t>(std::trunc(fraction)));
}

bool CGraphWindow::ViewFormatHasChannels() {
  WAVEFORMATEX format{};
  view_->GetFormat(format);
  return format.nChannels != 0;
}

void CGraphWindow::Play() {
  if (!view_) return;
  stopping_->store(1);
  engine_->StopAndWait();
  stopping_->store(0);
  if (!ViewFormatHasChannels()) {
    OnPlaybackEnded();
    return;
  }
  engine_->SetOwner(this);
  engine_->SetInput(view_.Get());
  const auto length = static_cast<uint32_t>(engine_->GetLength());
  if (shown_end_ == UINT32_MAX) {
    shown_start_ = 0;
    shown_end_ = length;
  }
  shown_end_ = std::min(shown_end_, length);
  manager_->Lock(1);
  engine_->Play(static_cast<int32_t>(shown_start_), shown_end_);
}

void CGraphWindow::OnPlaybackEnded() {
  engine_->SetInput(nullptr);
  Invalidate(nullptr, true);
  if (stopping_->load() != 0) {  // the library stopped it itself: nobody is told
    playing_.store(0);
    stopping_->store(0);
  } else {
    busy_.store(1);
    if (!Post(WM_GRAPH_PLAYED, 0, 0)) busy_.store(0);  // the window is gone: nothing will handle it
  }
  manager_->Lock(0);
}

void CGraphWindow::Played() {
  Invalidate(nullptr, true);
  Update();
  playing_.store(0);
  if (observer_ != nullptr) observer_->OnPlaybackEnd();
  engine_->SetInput(nullptr);
  busy_.store(0);
}

void CGraphWindow::Paint() {
  const auto canvas = BeginPaint();
  if (!canvas) return;
  if (update_pending_ != 0 || !view_) {
    // Until the manager hands the sound again, the values belong to the old size: only a grey frame.
    const platform::RECT client = ClientRect();
    const platform::Pen pen = (*canvas)->SelectPen(platform::Pen{1, kGraphFrameColor});
    const platform::Brush brush = (*canvas)->SelectBrush(platform::Brush{platform::RGB(255, 255, 255)});
    (*canvas)->Rectangle(0, 0, client.right, client.bottom);
    (*canvas)->SelectPen(pen);
    (*canvas)->SelectBrush(brush);
    return;
  }
  view_->Paint(**canvas);
}

void CGraphWindow::Press(int32_t x, int32_t y) {
  if (Ignoring()) return;
  manager_->Redraw();
  engine_->SetInput(nullptr);
  view_->Rewind();
  if (view_->GetInput() == nullptr) return;
  view_->MouseDown(x, y);
  try {
    if (CSoundNode* node = view_->GetAnalysisNode()) view_->SetInput(node);
    engine_->SetInput(view_.Get());
    if (shown_end_ == UINT32_MAX) {
      shown_start_ = 0;
      shown_end_ = static_cast<uint32_t>(engine_->GetLength());
    }
    press_position_ = SampleAt(x);
  } catch (...) {  // the press selects nothing then; the window goes on
  }
}

void CGraphWindow::Release(int32_t x, int32_t y) {
  if (Ignoring() || view_->GetInput() == nullptr) return;
  view_->MouseUp(x, y);
  const platform::RECT area = view_->Area();
  x = std::clamp(x, area.left, area.right);
  if (!ViewFormatHasChannels()) return;
  try {
    manager_->TellPlayStart();
    engine_->SetOwner(this);
    playing_.store(1);
    uint32_t release = SampleAt(x);
    if (release == press_position_) {  // a click: the whole shown range
      press_position_ = shown_start_;
      release = shown_end_;
    }
    // The worker of the last playback may still be telling this window of its end: let it finish, or
    // the engine could not start a new one.
    engine_->StopAndWait();
    engine_->Play(static_cast<int32_t>(std::min(press_position_, release)), std::max(press_position_, release));
  } catch (...) {  // a device that does not open was shown in a message box already
  }
}

LRESULT CGraphWindow::HandleMessage(uint32_t message, WPARAM wparam, LPARAM lparam) {
  const int32_t x = GET_X_LPARAM(lparam);
  const int32_t y = GET_Y_LPARAM(lparam);
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the view draws every pixel
    case WM_SIZE:
      if (view_) {
        view_->Resize(platform::RECT{0, 0, LOWORD(lparam), HIWORD(lparam)});
        update_pending_ = 1;
      }
      return 0;
    case WM_LBUTTONDOWN:
      if (view_) Press(x, y);
      return 0;
    case WM_MOUSEMOVE:
      if (view_ && !Ignoring() && view_->GetInput() != nullptr) view_->MouseMove(x, y);
      return 0;
    case WM_LBUTTONUP:
      if (view_) Release(x, y);
      return 0;
    case WM_GRAPH_PLAYED:
      Played();
      return 0;
    default:
      return platform::Window::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace melvox
