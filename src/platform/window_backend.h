// Choosing the window system for a parent handle that a host gives.
#pragma once

#include <memory>

#include "platform/window_system.h"

namespace melvox::platform {

// The window system that already holds parent; null when none does.
std::shared_ptr<WindowSystem> WindowSystemForParent(HWND parent);

}  // namespace melvox::platform
