#include "platform/window.h"

#include "platform/window_system.h"

namespace melvox::platform {

WindowCanvas::WindowCanvas(std::shared_ptr<WindowSurface> surface, Present present, bool batch, const RECT& paint_rect)
    : surface_(std::move(surface)), present_(std::move(present)), paint_rect_(paint_rect) {
  std::function<void(const RECT&)> changed;
  if (present_ && batch) {
    changed = [this](const RECT& rect) { batched_ = UnionRect(batched_, rect); };
  } else if (present_) {
    changed = present_;
  }
  canvas_ = std::make_unique<Canvas>(surface_->pixels, &surface_->mutex, std::move(changed));
}

WindowCanvas::~WindowCanvas() {
  canvas_.reset();
  if (present_ && !IsRectEmpty(batched_)) present_(batched_);
}

Window::~Window() { DestroyWindow(); }

bool Window::Create(HWND parent, const RECT& rect, int32_t control_id) {
  if (system_ != nullptr) return false;
  std::shared_ptr<WindowSystem> system = WindowSystemOf(parent);
  if (system == nullptr) return false;
  system_ = system;
  return system->CreateChild(parent, rect, control_id, this) != 0;
}

void Window::DestroyWindow() {
  if (system_ != nullptr && Handle() != 0) system_->Destroy(Handle());
}

bool Window::IsWindow() const { return system_ != nullptr && Handle() != 0 && system_->IsWindow(Handle()); }

bool Window::Invalidate(const RECT* rect, bool erase) {
  return system_ != nullptr && system_->Invalidate(Handle(), rect, erase);
}

bool Window::Post(uint32_t message, WPARAM wparam, LPARAM lparam) {
  return system_ != nullptr && system_->Post(Handle(), message, wparam, lparam);
}

std::unique_ptr<WindowCanvas> Window::GetDC() { return system_ != nullptr ? system_->GetDC(Handle()) : nullptr; }

bool Window::Show(bool visible) { return system_ != nullptr && system_->Show(Handle(), visible); }

bool Window::Move(const RECT& rect) { return system_ != nullptr && system_->Move(Handle(), rect); }

RECT Window::ClientRect() const { return system_ != nullptr ? system_->ClientRect(Handle()) : RECT{0, 0, 0, 0}; }

bool Window::Update() { return system_ != nullptr && system_->Update(Handle()); }

std::unique_ptr<WindowCanvas> Window::BeginPaint() {
  return system_ != nullptr ? system_->BeginPaint(Handle()) : nullptr;
}

void Window::SetCapture() {
  if (system_ != nullptr) system_->SetCapture(Handle());
}

void Window::ReleaseCapture() {
  if (system_ != nullptr && HasCapture()) system_->ReleaseCapture();
}

bool Window::HasCapture() const { return system_ != nullptr && Handle() != 0 && system_->GetCapture() == Handle(); }

LRESULT Window::HandleMessage(uint32_t /*message*/, WPARAM /*wparam*/, LPARAM /*lparam*/) { return 0; }

}  // namespace melvox::platform
