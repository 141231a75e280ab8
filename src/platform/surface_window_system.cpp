#include "platform/surface_window_system.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace melvox::platform {
namespace {

int32_t CheckedSide(int32_t side, const char* name) {
  if (side < 1 || side > Bitmap::kMaxSide) {
    throw std::invalid_argument(std::string("graph surface ") + name + " " + std::to_string(side) + " is outside 1.." +
                                std::to_string(Bitmap::kMaxSide));
  }
  return side;
}

}  // namespace

std::shared_ptr<SurfaceWindowSystem> SurfaceWindowSystem::Make(int32_t width, int32_t height, Changed changed) {
  CheckedSide(width, "width");
  CheckedSide(height, "height");
  std::shared_ptr<SurfaceWindowSystem> system(new SurfaceWindowSystem(std::move(changed)));
  system->root_ = system->AddRoot(width, height);
  system->width_ = width;
  system->height_ = height;
  system->argb_.assign(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
  system->StartThread();
  return system;
}

SurfaceWindowSystem::~SurfaceWindowSystem() { StopThread(); }

int32_t SurfaceWindowSystem::Width() const {
  const std::lock_guard<std::mutex> guard(argb_mutex_);
  return width_;
}

int32_t SurfaceWindowSystem::Height() const {
  const std::lock_guard<std::mutex> guard(argb_mutex_);
  return height_;
}

void SurfaceWindowSystem::CopyPixels(const RECT& rect, uint32_t* dest, int32_t stride) const {
  const std::lock_guard<std::mutex> guard(argb_mutex_);
  const RECT part = IntersectRect(rect, RECT{0, 0, width_, height_});
  if (IsRectEmpty(part) || dest == nullptr) return;
  auto* row = reinterpret_cast<uint8_t*>(dest);
  // The first pixel of dest is the requested rectangle's top left, wherever the clipped part begins.
  row += static_cast<ptrdiff_t>(part.top - rect.top) * stride + (part.left - rect.left) * 4;
  const auto count = static_cast<size_t>(part.right - part.left);
  for (int32_t y = part.top; y < part.bottom; ++y, row += stride) {
    std::memcpy(row, argb_.data() + static_cast<size_t>(y) * width_ + part.left, count * 4);
  }
}

void SurfaceWindowSystem::Pointer(uint32_t message, int32_t x, int32_t y) {
  PostToWindowThread([this, message, x, y] { DeliverPointer(root_, message, x, y); });
}

void SurfaceWindowSystem::Resize(int32_t width, int32_t height) {
  CheckedSide(width, "width");
  CheckedSide(height, "height");
  RunOnWindowThread([&] {
    ResizeRoot(root_, width, height);
    {
      const std::lock_guard<std::mutex> guard(argb_mutex_);
      width_ = width;
      height_ = height;
      argb_.assign(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
    }
    AddPending(RECT{0, 0, width, height});
  });
}

bool SurfaceWindowSystem::ShowChild(HWND window, bool visible) {
  bool done = false;
  RunOnWindowThread([&] { done = Parent(window) != 0 && Show(window, visible); });
  return done;
}

bool SurfaceWindowSystem::MoveChild(HWND window, const RECT& rect) {
  bool done = false;
  RunOnWindowThread([&] { done = Parent(window) != 0 && Move(window, rect); });
  return done;
}

void SurfaceWindowSystem::Clear() {
  RunOnWindowThread([&] {
    // Destroy each child of the surface (their own children go with them), last made first.
    for (bool any = true; any;) {
      any = false;
      for (const HWND child : Children(root_)) {
        Destroy(child);
        any = true;
      }
    }
  });
}

void SurfaceWindowSystem::AddPending(const RECT& rect) {
  {
    const std::lock_guard<std::mutex> guard(pending_mutex_);
    pending_ = UnionRect(pending_, rect);
  }
  Wake();
}

void SurfaceWindowSystem::OnPixelsChanged(HWND window, const RECT& rect) {
  // The rectangle in the surface's coordinates: offset by the window's place in each parent.
  RECT moved = rect;
  for (HWND current = window; current != root_ && current != 0; current = Parent(current)) {
    const RECT place = WindowRect(current);
    moved = RECT{moved.left + place.left, moved.top + place.top, moved.right + place.left, moved.bottom + place.top};
  }
  AddPending(moved);
}

void SurfaceWindowSystem::OnTreeChanged(HWND /*window*/) {
  // A window shown, hidden, moved or gone changes what lies where: compose the whole surface again.
  AddPending(RECT{0, 0, Bitmap::kMaxSide, Bitmap::kMaxSide});
}

void SurfaceWindowSystem::AfterDispatch() {
  RECT part{0, 0, 0, 0};
  {
    const std::lock_guard<std::mutex> guard(pending_mutex_);
    std::swap(part, pending_);
  }
  part = IntersectRect(part, RECT{0, 0, Width(), Height()});
  if (IsRectEmpty(part)) return;
  const Bitmap composed = Compose(root_, part);
  {
    const std::lock_guard<std::mutex> guard(argb_mutex_);
    if (part.right > width_ || part.bottom > height_) return;  // resized meanwhile: composed again
    for (int32_t y = 0; y < composed.Height(); ++y) {
      const uint8_t* rgb = composed.Row(y);
      uint32_t* out = argb_.data() + static_cast<size_t>(part.top + y) * width_ + part.left;
      for (int32_t x = 0; x < composed.Width(); ++x, rgb += 3) {
        out[x] = 0xFF000000u | (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
      }
    }
  }
  if (changed_) changed_(part);
}

}  // namespace melvox::platform
