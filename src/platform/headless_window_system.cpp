#include "platform/headless_window_system.h"

namespace melvox::platform {

std::shared_ptr<HeadlessWindowSystem> HeadlessWindowSystem::Make() {
  return std::shared_ptr<HeadlessWindowSystem>(new HeadlessWindowSystem);
}

HWND HeadlessWindowSystem::CreateParent(int32_t width, int32_t height) { return AddRoot(width, height); }

}  // namespace melvox::platform
