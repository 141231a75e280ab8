#include "platform/window_system.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace melvox::platform {
namespace {

constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr int kMaxPaintsPerDispatch = 256;

// Library handles start above every X11 window id.
std::atomic<HWND> g_next_handle{HWND{1} << 32};

struct Registry {
  std::mutex mutex;
  std::vector<std::weak_ptr<WindowSystem>> systems;
};

Registry& Systems() {
  static Registry* registry = new Registry;  // never destroyed: windows may go away at exit
  return *registry;
}

void Register(const std::shared_ptr<WindowSystem>& system) {
  Registry& registry = Systems();
  const std::lock_guard<std::mutex> guard(registry.mutex);
  auto& systems = registry.systems;
  systems.erase(std::remove_if(systems.begin(), systems.end(), [](const auto& weak) { return weak.expired(); }),
                systems.end());
  for (const auto& weak : systems) {
    if (weak.lock() == system) return;
  }
  systems.push_back(system);
}

RECT Sized(int32_t width, int32_t height) { return RECT{0, 0, std::max(width, 0), std::max(height, 0)}; }

// Width and height of a rectangle, 0 for one turned inside out.
int32_t WidthOf(const RECT& rect) { return static_cast<int32_t>(std::max<int64_t>(RectWidth(rect), 0)); }
int32_t HeightOf(const RECT& rect) { return static_cast<int32_t>(std::max<int64_t>(RectHeight(rect), 0)); }

// New white pixels for a window; a side past the largest bitmap is cut to it (what lies beyond shows
// the parent).
std::shared_ptr<WindowSurface> WhiteSurface(const RECT& rect) {
  auto surface = std::make_shared<WindowSurface>();
  surface->pixels =
      Bitmap(std::min(WidthOf(rect), Bitmap::kMaxSide), std::min(HeightOf(rect), Bitmap::kMaxSide), kBackground);
  return surface;
}

}  // namespace

std::shared_ptr<WindowSystem> WindowSystemOf(HWND window) {
  if (window == 0) return nullptr;
  Registry& registry = Systems();
  std::vector<std::shared_ptr<WindowSystem>> systems;
  {
    const std::lock_guard<std::mutex> guard(registry.mutex);
    for (const auto& weak : registry.systems) {
      if (auto system = weak.lock()) systems.push_back(std::move(system));
    }
  }
  for (auto& system : systems) {
    if (system->IsWindow(window)) return system;
  }
  return nullptr;
}

WindowSystem::~WindowSystem() = default;

HWND WindowSystem::AddRoot(int32_t width, int32_t height, HWND handle, Window* window) {
  if (handle == 0) handle = g_next_handle.fetch_add(1);
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (nodes_.count(handle) != 0) return 0;
    Node node;
    node.rect = Sized(width, height);
    node.visible = true;
    node.window = window;
    node.surface = WhiteSurface(node.rect);
    if (window != nullptr) {
      node.invalid = node.rect;
      node.erase = true;
    }
    nodes_[handle] = std::move(node);
  }
  if (window != nullptr) {
    window->system_ = shared_from_this();
    window->handle_.store(handle, std::memory_order_release);
  }
  Register(shared_from_this());
  return handle;
}

bool WindowSystem::ResizeRoot(HWND root, int32_t width, int32_t height) {
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(root);
    if (it == nodes_.end() || it->second.parent != 0) return false;
    if (RectWidth(it->second.rect) == width && RectHeight(it->second.rect) == height) return true;
    it->second.rect = Sized(width, height);
    it->second.surface = WhiteSurface(it->second.rect);
    it->second.invalid = it->second.rect;
    it->second.erase = true;
  }
  OnTreeChanged(root);
  Send(root, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  return true;
}

HWND WindowSystem::NewChildHandle(HWND /*parent*/) { return g_next_handle.fetch_add(1); }

HWND WindowSystem::CreateChild(HWND parent, const RECT& rect, int32_t control_id, Window* window) {
  if (!IsWindow(parent)) return 0;
  const HWND handle = NewChildHandle(parent);
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto parent_node = nodes_.find(parent);
    if (parent_node == nodes_.end() || handle == 0 || nodes_.count(handle) != 0) return 0;
    parent_node->second.children.push_back(handle);
    Node node;
    node.parent = parent;
    node.rect = RECT{rect.left, rect.top, rect.left + WidthOf(rect), rect.top + HeightOf(rect)};
    node.control_id = control_id;
    node.window = window;
    node.surface = WhiteSurface(node.rect);
    node.invalid = Sized(WidthOf(node.rect), HeightOf(node.rect));
    node.erase = true;
    nodes_[handle] = std::move(node);
  }
  if (window != nullptr) window->handle_.store(handle, std::memory_order_release);
  OnTreeChanged(handle);
  return handle;
}

void WindowSystem::Destroy(HWND window) {
  std::vector<HWND> children;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end()) return;
    children = it->second.children;
  }
  for (auto child = children.rbegin(); child != children.rend(); ++child) Destroy(*child);
  Send(window, WM_DESTROY, 0, 0);
  Window* object = nullptr;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end()) return;
    object = it->second.window;
    Forget(window);
  }
  if (object != nullptr) object->handle_.store(0, std::memory_order_release);
  OnTreeChanged(window);
}

void WindowSystem::Forget(HWND window) {
  const auto it = nodes_.find(window);
  if (const auto parent = nodes_.find(it->second.parent); parent != nodes_.end()) {
    auto& siblings = parent->second.children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  }
  if (capture_ == window) capture_ = 0;
  nodes_.erase(it);
}

bool WindowSystem::Show(HWND window, bool visible) {
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end() || it->second.parent == 0) return false;
    if (it->second.visible == visible) return true;
    it->second.visible = visible;
    if (visible) {
      it->second.invalid = Sized(WidthOf(it->second.rect), HeightOf(it->second.rect));
      it->second.erase = true;
    }
  }
  OnTreeChanged(window);
  return true;
}

bool WindowSystem::Move(HWND window, const RECT& rect) {
  int32_t width = 0;
  int32_t height = 0;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end() || it->second.parent == 0) return false;
    Node& node = it->second;
    width = WidthOf(rect);
    height = HeightOf(rect);
    const bool resized = width != WidthOf(node.rect) || height != HeightOf(node.rect);
    node.rect = RECT{rect.left, rect.top, rect.left + width, rect.top + height};
    if (resized) {
      node.surface = WhiteSurface(node.rect);
      node.invalid = Sized(width, height);
      node.erase = true;
    }
  }
  OnTreeChanged(window);
  Send(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  return true;
}

RECT WindowSystem::ClientRect(HWND window) const {
  const std::lock_guard<std::mutex> guard(mutex_);
  const auto it = nodes_.find(window);
  return it == nodes_.end() ? RECT{0, 0, 0, 0} : Sized(WidthOf(it->second.rect), HeightOf(it->second.rect));
}

RECT WindowSystem::WindowRect(HWND window) const {
  const std::lock_guard<std::mutex> guard(mutex_);
  const auto it = nodes_.find(window);
  return it == nodes_.end() ? RECT{0, 0, 0, 0} : it->second.rect;
}

HWND WindowSystem::Parent(HWND window) const {
  const std::lock_guard<std::mutex> guard(mutex_);
  const auto it = nodes_.find(window);
  return it == nodes_.end() ? 0 : it->second.parent;
}

std::vector<HWND> WindowSystem::Children(HWND window) const {
  const std::lock_guard<std::mutex> guard(mutex_);
  const auto it = nodes_.find(window);
  return it == nodes_.end() ? std::vector<HWND>{} : it->second.children;
}

bool WindowSystem::IsVisible(HWND window) const {
  const std::lock_guard<std::mutex> guard(mutex_);
  const auto it = nodes_.find(window);
  return it != nodes_.end() && it->second.visible;
}

LRESULT WindowSystem::SendMessage(HWND window, uint32_t message, WPARAM wparam, LPARAM lparam) {
  return Send(window, message, wparam, lparam);
}

void WindowSystem::RunOnWindowThread(const std::function<void()>& task) { task(); }

bool WindowSystem::IsWindowThread() const { return true; }

HWND WindowSystem::CreateTopLevel(const std::string& /*title*/, int32_t /*width*/, int32_t /*height*/,
                                  Window* /*window*/) {
  return 0;
}

bool WindowSystem::SetTitle(HWND /*window*/, const std::string& /*title*/) { return false; }

int32_t WindowSystem::ControlId(HWND window) const {
  const std::lock_guard<std::mutex> guard(mutex_);
  const auto it = nodes_.find(window);
  return it == nodes_.end() ? 0 : it->second.control_id;
}

bool WindowSystem::IsWindow(HWND window) const {
  const std::lock_guard<std::mutex> guard(mutex_);
  return nodes_.count(window) != 0;
}

bool WindowSystem::Post(HWND window, uint32_t message, WPARAM wparam, LPARAM lparam) {
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (nodes_.count(window) == 0) return false;
    queue_.push_back(Message{window, message, wparam, lparam});
  }
  posted_.notify_all();
  OnPosted();
  return true;
}

bool WindowSystem::Invalidate(HWND window, const RECT* rect, bool erase) {
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end()) return false;
    Node& node = it->second;
    const RECT whole = Sized(WidthOf(node.rect), HeightOf(node.rect));
    const RECT part = rect == nullptr ? whole : IntersectRect(*rect, whole);
    if (IsRectEmpty(part)) return true;
    node.invalid = UnionRect(node.invalid, part);
    node.erase = node.erase || erase;
  }
  // Wakes a window thread that waits for work: the paint is done when it dispatches.
  posted_.notify_all();
  OnPosted();
  return true;
}

bool WindowSystem::WaitForMessages(int64_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto ready = [this] { return !queue_.empty(); };
  if (timeout_ms < 0) {
    posted_.wait(lock, ready);
    return true;
  }
  return posted_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

LRESULT WindowSystem::Send(HWND window, uint32_t message, WPARAM wparam, LPARAM lparam) {
  Window* object = nullptr;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end()) return 0;
    object = it->second.window;
  }
  return object != nullptr ? object->HandleMessage(message, wparam, lparam) : 0;
}

int WindowSystem::DispatchMessages() {
  int handled = 0;
  for (;;) {
    Message next{};
    {
      const std::lock_guard<std::mutex> guard(mutex_);
      if (queue_.empty()) break;
      next = queue_.front();
      queue_.pop_front();
    }
    Send(next.window, next.message, next.wparam, next.lparam);
    ++handled;
  }
  // A paint may invalidate another window (or itself) again: bounded, so that a window that always
  // invalidates itself cannot hold the window thread here.
  for (int paints = 0; paints < kMaxPaintsPerDispatch; ++paints) {
    const HWND window = NextToPaint();
    if (window == 0) break;
    if (PaintIfInvalid(window)) ++handled;
  }
  return handled;
}

HWND WindowSystem::NextToPaint() const {
  const std::lock_guard<std::mutex> guard(mutex_);
  for (const auto& [handle, node] : nodes_) {
    if (node.visible && node.window != nullptr && !IsRectEmpty(node.invalid)) return handle;
  }
  return 0;
}

bool WindowSystem::Update(HWND window) { return PaintIfInvalid(window); }

bool WindowSystem::PaintIfInvalid(HWND window) {
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end() || !it->second.visible || it->second.window == nullptr) return false;
    Node& node = it->second;
    if (IsRectEmpty(node.invalid)) return false;
    // Validated before the window paints, so a window that does not paint is not asked again.
    node.painting = node.invalid;
    node.painting_erase = node.erase;
    node.invalid = RECT{0, 0, 0, 0};
    node.erase = false;
  }
  Send(window, WM_PAINT, 0, 0);
  return true;
}

std::unique_ptr<WindowCanvas> WindowSystem::BeginPaint(HWND window) {
  RECT paint{0, 0, 0, 0};
  bool erase = false;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end()) return nullptr;
    paint = it->second.painting;
    erase = it->second.painting_erase;
    it->second.painting_erase = false;
  }
  std::unique_ptr<WindowCanvas> canvas = CanvasOn(window, true, paint);
  if (canvas != nullptr && erase && Send(window, WM_ERASEBKGND, 0, 0) == 0) {
    (*canvas)->FillRect(paint, Brush{kBackground});
  }
  return canvas;
}

std::unique_ptr<WindowCanvas> WindowSystem::GetDC(HWND window) {
  const RECT whole = ClientRect(window);
  return CanvasOn(window, false, whole);
}

std::unique_ptr<WindowCanvas> WindowSystem::CanvasOn(HWND window, bool batch, const RECT& paint_rect) {
  std::shared_ptr<WindowSurface> surface;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end()) return nullptr;
    surface = it->second.surface;
  }
  // The system outlives the canvas only as long as somebody holds it; a canvas of a system that went
  // away shows nothing.
  std::weak_ptr<WindowSystem> weak = weak_from_this();
  auto present = [weak, window](const RECT& rect) {
    if (auto system = weak.lock()) system->OnPixelsChanged(window, rect);
  };
  return std::make_unique<WindowCanvas>(std::move(surface), present, batch, paint_rect);
}

void WindowSystem::SetCapture(HWND window) {
  const std::lock_guard<std::mutex> guard(mutex_);
  if (nodes_.count(window) != 0) capture_ = window;
}

void WindowSystem::ReleaseCapture() {
  const std::lock_guard<std::mutex> guard(mutex_);
  capture_ = 0;
}

HWND WindowSystem::GetCapture() const {
  const std::lock_guard<std::mutex> guard(mutex_);
  return capture_;
}

POINT WindowSystem::OriginInRoot(HWND window, HWND* root) const {
  POINT origin{0, 0};
  HWND current = window;
  for (auto it = nodes_.find(current); it != nodes_.end() && it->second.parent != 0;
       it = nodes_.find(it->second.parent)) {
    origin.x += it->second.rect.left;
    origin.y += it->second.rect.top;
    current = it->second.parent;
  }
  if (root != nullptr) *root = current;
  return origin;
}

HWND WindowSystem::HitTest(HWND window, int32_t x, int32_t y) const {
  const auto it = nodes_.find(window);
  if (it == nodes_.end()) return 0;
  const auto& children = it->second.children;
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    const Node& node = nodes_.at(*child);
    if (!node.visible || x < node.rect.left || x >= node.rect.right || y < node.rect.top || y >= node.rect.bottom) {
      continue;
    }
    return HitTest(*child, x - node.rect.left, y - node.rect.top);
  }
  return window;
}

void WindowSystem::DeliverPointer(HWND root, uint32_t message, int32_t x, int32_t y) {
  HWND target = 0;
  POINT local{x, y};
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (nodes_.count(root) == 0) return;
    target = capture_ != 0 ? capture_ : HitTest(root, x, y);
    HWND target_root = 0;
    const POINT origin = OriginInRoot(target, &target_root);
    if (target_root != root) return;  // captured by a window of another root
    local = POINT{x - origin.x, y - origin.y};
  }
  if (message == WM_LBUTTONDOWN) left_down_ = true;
  if (message == WM_LBUTTONUP) left_down_ = false;
  Send(target, message, left_down_ ? MK_LBUTTON : 0, MAKELPARAM(local.x, local.y));
}

Bitmap WindowSystem::ReadPixels(HWND window) const {
  std::shared_ptr<WindowSurface> surface;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end()) return Bitmap();
    surface = it->second.surface;
  }
  const std::lock_guard<std::mutex> guard(surface->mutex);
  return surface->pixels;
}

bool WindowSystem::VisitPixels(HWND window, const std::function<void(const Bitmap&)>& visit) const {
  std::shared_ptr<WindowSurface> surface;
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end()) return false;
    surface = it->second.surface;
  }
  const std::lock_guard<std::mutex> guard(surface->mutex);
  visit(surface->pixels);
  return true;
}

Bitmap WindowSystem::Compose(HWND window) const {
  Bitmap target = ReadPixels(window);
  for (const HWND child : Children(window)) ComposeInto(child, target, 0, 0);
  return target;
}

Bitmap WindowSystem::Compose(HWND window, const RECT& part) const {
  const RECT inside = IntersectRect(part, ClientRect(window));
  Bitmap target(WidthOf(inside), HeightOf(inside));
  VisitPixels(window, [&](const Bitmap& pixels) {
    Canvas(target).BitBlt(0, 0, target.Width(), target.Height(), pixels, inside.left, inside.top);
  });
  for (const HWND child : Children(window)) ComposeInto(child, target, -inside.left, -inside.top);
  return target;
}

void WindowSystem::ComposeInto(HWND window, Bitmap& target, int32_t x, int32_t y) const {
  std::vector<HWND> children;
  RECT rect{0, 0, 0, 0};
  {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = nodes_.find(window);
    if (it == nodes_.end() || !it->second.visible) return;
    children = it->second.children;
    rect = it->second.rect;
  }
  const Bitmap pixels = ReadPixels(window);
  Canvas canvas(target);
  canvas.BitBlt(x + rect.left, y + rect.top, pixels.Width(), pixels.Height(), pixels, 0, 0);
  for (const HWND child : children) ComposeInto(child, target, x + rect.left, y + rect.top);
}

void WindowSystem::OnPixelsChanged(HWND /*window*/, const RECT& /*rect*/) {}
void WindowSystem::OnPosted() {}
void WindowSystem::OnTreeChanged(HWND /*window*/) {}

}  // namespace melvox::platform
