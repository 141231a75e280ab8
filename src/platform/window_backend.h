// Choosing the window system for a parent window a host gives.
#pragma once

#include <memory>

#include "platform/window_messages.h"
#include "platform/window_system.h"

namespace melvox::platform {

// The window system to make the library's windows in when a host gives parent:
//  1. the system that already holds parent (one of the library's windows, a headless parent, a host
//     window adopted before);
//  2. else, when parent may be an X window id (1 .. 2^29 - 1), a display opens and parent is a window
//     of it, the X11 system, which adopts parent as a root;
//  3. else null: the caller falls back to a headless parent of its own.
// Any thread; case 2 waits for the X11 UI thread.
std::shared_ptr<WindowSystem> WindowSystemForParent(HWND parent);

// The window system of the display, for top-level windows of the library's own (the X11 system); null
// when no display opens.
std::shared_ptr<WindowSystem> ScreenWindowSystem();

}  // namespace melvox::platform
