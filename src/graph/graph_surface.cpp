#include "graph/graph_surface.h"

namespace melvox {

CGraphSurface::CGraphSurface(int32_t width, int32_t height, IGraphSurfaceListener* listener)
    : system_(platform::SurfaceWindowSystem::Make(width, height, [listener](const platform::RECT& rect) {
        if (listener != nullptr) listener->OnSurfaceChanged(rect.left, rect.top, rect.right, rect.bottom);
      })) {}

void CGraphSurface::CopyPixels(const GraphRect& rect, void* dest, int32_t stride) {
  system_->CopyPixels(platform::RECT{rect.left, rect.top, rect.right, rect.bottom}, static_cast<uint32_t*>(dest),
                      stride);
}

void CGraphSurface::PointerMotion(int32_t x, int32_t y, bool /*button_held*/) {
  // The window system knows whether the button is down from the press it was given.
  system_->Pointer(WM_MOUSEMOVE, x, y);
}

void CGraphSurface::Resize(int32_t width, int32_t height) {
  if (width < 1 || height < 1 || width > platform::Bitmap::kMaxSide || height > platform::Bitmap::kMaxSide) return;
  system_->Resize(width, height);
}

bool CGraphSurface::MoveGraph(WindowHandle graph, const GraphRect& rect) {
  return system_->MoveChild(graph, platform::RECT{rect.left, rect.top, rect.right, rect.bottom});
}

void CGraphSurface::Release() {
  system_->Clear();  // the graph windows go with the surface
  delete this;
}

IGraphSurface* CreateGraphSurface(int32_t width, int32_t height, IGraphSurfaceListener* listener) {
  try {
    return new CGraphSurface(width, height, listener);
  } catch (...) {  // a size outside 1 .. 16384, no memory, no thread
    return nullptr;
  }
}

}  // namespace melvox
