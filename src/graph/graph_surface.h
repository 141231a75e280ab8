// CGraphSurface: the object behind IGraphSurface.
#pragma once

#include <memory>

#include "melvox/graph_surface.h"
#include "platform/surface_window_system.h"

namespace melvox {

// A surface window system and the host's listener. Threading: see IGraphSurface; every operation only
// forwards to the system, which guards itself.
class CGraphSurface final : public IGraphSurface {
 public:
  CGraphSurface(int32_t width, int32_t height, IGraphSurfaceListener* listener);

  WindowHandle GetHandle() override { return system_->Surface(); }
  int32_t GetWidth() override { return system_->Width(); }
  int32_t GetHeight() override { return system_->Height(); }
  void CopyPixels(const GraphRect& rect, void* dest, int32_t stride) override;
  void PointerPress(int32_t x, int32_t y) override { system_->Pointer(WM_LBUTTONDOWN, x, y); }
  void PointerMotion(int32_t x, int32_t y, bool button_held) override;
  void PointerRelease(int32_t x, int32_t y) override { system_->Pointer(WM_LBUTTONUP, x, y); }
  void Resize(int32_t width, int32_t height) override;
  bool ShowGraph(WindowHandle graph, bool visible) override { return system_->ShowChild(graph, visible); }
  bool MoveGraph(WindowHandle graph, const GraphRect& rect) override;
  void Release() override;

  platform::SurfaceWindowSystem& System() { return *system_; }

 private:
  ~CGraphSurface() = default;

  std::shared_ptr<platform::SurfaceWindowSystem> system_;
};

}  // namespace melvox
