#include "platform/window_backend.h"

namespace melvox::platform {

std::shared_ptr<WindowSystem> WindowSystemForParent(HWND parent) { return WindowSystemOf(parent); }

}  // namespace melvox::platform
