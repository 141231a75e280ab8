#include "graph/graph_picture.h"

#include <memory>
#include <vector>

#include "graph/graph_type.h"
#include "graph/graph_window.h"
#include "platform/headless_window_system.h"

namespace melvox {

platform::Bitmap DrawGraphPicture(CSoundNode* sound, uint32_t types, int32_t width, int32_t height, int32_t option) {
  std::vector<GraphType> shown;
  for (const GraphType type : kGraphOrder) {
    if ((types & static_cast<uint32_t>(type)) != 0) shown.push_back(type);
  }
  if (shown.empty()) return platform::Bitmap();
  const auto count = static_cast<int32_t>(shown.size());
  const auto system = platform::HeadlessWindowSystem::Make();
  const HWND parent = system->CreateParent(width, count * height + count - 1);

  // Graph windows as a manager makes them, without a manager or an engine: they only draw.
  std::vector<std::unique_ptr<CGraphWindow>> windows;
  CSharedAnalysis shared;
  for (int32_t i = 0; i < count; ++i) {
    const platform::RECT rect{0, i * (height + 1), width, i * (height + 1) + height};
    auto window = std::make_unique<CGraphWindow>(nullptr, parent, nullptr, nullptr, i, &rect);
    window->SetView(CountedPtr<CGraphView>(
        MakeGraphView(shown[static_cast<size_t>(i)], {0, 0, width, height}, window.get()).release()));
    window->Show(true);
    window->SetSound(sound, nullptr, option, &shared);
    windows.push_back(std::move(window));
  }
  system->DispatchMessages();
  return system->Compose(parent);
}

}  // namespace melvox
