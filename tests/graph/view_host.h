// A headless window that shows one graph view, paints it and passes the left button to it, for the view
// tests.
#pragma once

#include <memory>

#include "graph/graph_view.h"
#include "platform/headless_window_system.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"

namespace melvox::testing {

class ViewHost : public platform::Window {
 public:
  ViewHost(int32_t width, int32_t height)
      : system_(platform::HeadlessWindowSystem::Make()), parent_(system_->CreateParent(width, height)) {
    Create(parent_, platform::RECT{0, 0, width, height}, 1);
    Show(true);
  }
  ~ViewHost() override { DestroyWindow(); }

  template <typename View>
  View& Hold(std::unique_ptr<View> view) {
    View& held = *view;
    view_ = std::move(view);
    return held;
  }
  platform::RECT Area() const { return ClientRect(); }

  // Paints what is invalid and returns the window's pixels.
  platform::Bitmap Pixels() {
    system_->DispatchMessages();
    return system_->ReadPixels(Handle());
  }
  platform::Bitmap Repainted() {
    Invalidate(nullptr, false);
    return Pixels();
  }

  LRESULT HandleMessage(uint32_t message, WPARAM wparam, LPARAM lparam) override {
    const int32_t x = GET_X_LPARAM(lparam);
    const int32_t y = GET_Y_LPARAM(lparam);
    if (view_ == nullptr) return 0;
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        if (const auto canvas = BeginPaint()) view_->Paint(**canvas);
        return 0;
      case WM_LBUTTONDOWN:
        view_->MouseDown(x, y);
        return 0;
      case WM_MOUSEMOVE:
        view_->MouseMove(x, y);
        return 0;
      case WM_LBUTTONUP:
        view_->MouseUp(x, y);
        return 0;
      default:
        return platform::Window::HandleMessage(message, wparam, lparam);
    }
  }

 private:
  std::shared_ptr<platform::HeadlessWindowSystem> system_;
  HWND parent_;
  std::unique_ptr<CGraphView> view_;
};

}  // namespace melvox::testing
