// The headless window backend: windows are in-memory pixels composed into their parent, and messages
// wait in the queue until somebody dispatches them. Tests, `melvox graph` and hosts that show the
// graphs in their own toolkit use it.
#pragma once

#include <memory>

#include "platform/window_system.h"

namespace melvox::platform {

// Whoever calls DispatchMessages is the window thread (a test's thread, the command-line tool's). Pixels
// are shown nowhere: read them back with ReadPixels or Compose. Pointer input comes from
// DeliverPointer, as a test or a host forwards it.
class HeadlessWindowSystem : public WindowSystem {
 public:
  static std::shared_ptr<HeadlessWindowSystem> Make();

  // A parent for the library's windows: a root of the given size, white, that handles no messages.
  HWND CreateParent(int32_t width, int32_t height);
  bool ResizeParent(HWND parent, int32_t width, int32_t height) { return ResizeRoot(parent, width, height); }

 private:
  HeadlessWindowSystem() = default;
};

}  // namespace melvox::platform
