#include "graph/graph_picture.h"

#include <memory>
#include <vector>

#include "graph/graph_type.h"
#include "platform/headless_window_system.h"

namespace melvox {
namespace {

// A window that shows one view, as a graph window does when it is not playing.
class PictureWindow : public platform::Window {
 public:
  ~PictureWindow() override { DestroyWindow(); }

  void SetView(std::unique_ptr<CGraphView> view) { view_ = std::move(view); }
  CGraphView* View() const { return view_.get(); }

  LRESULT HandleMessage(uint32_t message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_ERASEBKGND) return 1;  // the view draws every pixel
    if (message != WM_PAINT) return platform::Window::HandleMessage(message, wparam, lparam);
    if (const auto canvas = BeginPaint(); canvas && view_) view_->Paint(**canvas);
    return 0;
  }

 private:
  std::unique_ptr<CGraphView> view_;
};

}  // namespace

platform::Bitmap DrawGraphPicture(CSoundNode* sound, uint32_t types, int32_t width, int32_t height, int32_t option) {
  std::vector<GraphType> shown;
  for (const GraphType type : kGraphOrder) {
    if ((types & static_cast<uint32_t>(type)) != 0) shown.push_back(type);
  }
  if (shown.empty()) return platform::Bitmap();
  const auto count = static_cast<int32_t>(shown.size());
  const auto system = platform::HeadlessWindowSystem::Make();
  const HWND parent = system->CreateParent(width, count * height + count - 1);

  std::vector<std::unique_ptr<PictureWindow>> windows;
  for (int32_t i = 0; i < count; ++i) {
    const platform::RECT rect{0, i * (height + 1), width, i * (height + 1) + height};
    auto window = std::make_unique<PictureWindow>();
    window->Create(parent, rect, i);
    window->SetView(MakeGraphView(shown[static_cast<size_t>(i)], platform::RECT{0, 0, width, height}, window.get()));
    window->View()->SetSound(sound, option);
    window->Show(true);
    windows.push_back(std::move(window));
  }
  system->DispatchMessages();
  return system->Compose(parent);
}

}  // namespace melvox
