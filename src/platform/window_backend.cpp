#include "platform/window_backend.h"

#include "platform/x11_window_system.h"

namespace melvox::platform {

std::shared_ptr<WindowSystem> WindowSystemForParent(HWND parent) {
  if (parent == 0) return nullptr;
  if (std::shared_ptr<WindowSystem> holder = WindowSystemOf(parent)) return holder;
  if (parent > 0x1FFFFFFF) return nullptr;  // a library handle that is gone, or no X id at all
  std::shared_ptr<X11WindowSystem> x11 = X11WindowSystem::Shared();
  if (x11 == nullptr || !x11->AdoptHostWindow(parent)) return nullptr;
  return x11;
}

std::shared_ptr<WindowSystem> ScreenWindowSystem() { return X11WindowSystem::Shared(); }

}  // namespace melvox::platform
