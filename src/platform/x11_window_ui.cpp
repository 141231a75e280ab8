#include "platform/x11_window_ui.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

namespace melvox::platform {
namespace {

// Each band of an upload is kept to a few MiB even when BIG-REQUESTS allows far more, so the pixels'
// lock is held briefly and the buffer stays small.
constexpr size_t kMaxBandBytes = size_t{4} << 20;

constexpr uint32_t kChildEvents = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                  XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_BUTTON_1_MOTION |
                                  XCB_EVENT_MASK_STRUCTURE_NOTIFY;
constexpr uint32_t kTopLevelEvents = kChildEvents | XCB_EVENT_MASK_KEY_PRESS;
// X window ids have 29 bits.
constexpr HWND kLargestXid = 0x1FFFFFFF;

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using Owned = std::unique_ptr<Reply, FreeReply>;

template <typename Event>
const Event& As(const xcb_generic_event_t& event) {
  return *reinterpret_cast<const Event*>(&event);
}

int16_t Coordinate(int32_t value) {
  return static_cast<int16_t>(
      std::clamp<int32_t>(value, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}
// X windows are at least 1 x 1; our pixels are at most Bitmap::kMaxSide on a side.
uint16_t Side(int64_t value) { return static_cast<uint16_t>(std::clamp<int64_t>(value, 1, Bitmap::kMaxSide)); }

}  // namespace

X11WindowSystem::Ui::Ui(X11WindowSystem& system, xcb_connection_t* connection, int screen)
    : system_(system),
      connection_(connection),
      screen_(ScreenOf(connection, screen)),
      atoms_(InternAtoms(connection)),
      keymap_(LoadKeymap(connection)) {
  screen_format_ok_ = PixelFormatOf(connection, screen_->root_depth, screen_->root_visual, &screen_format_);
  max_request_bytes_ = std::min<size_t>(size_t{xcb_get_maximum_request_length(connection)} * 4, kMaxBandBytes);
}

HWND X11WindowSystem::Ui::HandleOf(xcb_window_t id) const {
  const auto it = by_id_.find(id);
  return it != by_id_.end() ? it->second : 0;
}

X11WindowSystem::Ui::XWindow* X11WindowSystem::Ui::TopLevel(xcb_window_t id) {
  const auto it = windows_.find(HandleOf(id));
  return it != windows_.end() && it->second.top_level ? &it->second : nullptr;
}

void X11WindowSystem::Ui::Translate(const xcb_generic_event_t& event) {
  // The high bit marks an event another client sent (SendEvent); it is handled like any other.
  switch (event.response_type & 0x7F) {
    case 0:  // an error of a request whose reply nobody waits for (a window destroyed meanwhile): ignored
      break;
    case XCB_EXPOSE: {
      const auto& expose = As<xcb_expose_event_t>(event);
      if (const HWND window = HandleOf(expose.window)) {
        system_.OnPixelsChanged(window, RECT{expose.x, expose.y, expose.x + expose.width, expose.y + expose.height});
      }
      break;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
      const auto& button = As<xcb_button_press_event_t>(event);
      if (button.detail != XCB_BUTTON_INDEX_1) break;
      const bool press = (event.response_type & 0x7F) == XCB_BUTTON_PRESS;
      Pointer(button.event, press ? WM_LBUTTONDOWN : WM_LBUTTONUP, press ? MK_LBUTTON : 0, button.event_x,
              button.event_y);
      break;
    }
    case XCB_MOTION_NOTIFY: {
      const auto& motion = As<xcb_motion_notify_event_t>(event);
      if ((motion.state & XCB_BUTTON_MASK_1) != 0) {
        Pointer(motion.event, WM_MOUSEMOVE, MK_LBUTTON, motion.event_x, motion.event_y);
      }
      break;
    }
    case XCB_KEY_PRESS: {
      const auto& key = As<xcb_key_press_event_t>(event);
      const int32_t character = Latin1OfKeysym(keymap_.Keysym(key.detail, key.state));
      if (TopLevel(key.event) != nullptr && character >= 0) {
        system_.SendMessage(HandleOf(key.event), WM_CHAR, static_cast<WPARAM>(character), 1);
      }
      break;
    }
    case XCB_CONFIGURE_NOTIFY: {
      const auto& configure = As<xcb_configure_notify_event_t>(event);
      const int32_t width = std::min<int32_t>(configure.width, Bitmap::kMaxSide);
      const int32_t height = std::min<int32_t>(configure.height, Bitmap::kMaxSide);
      if (hosts_.count(configure.window) != 0) {
        system_.ResizeRoot(configure.window, width, height);
      } else if (TopLevel(configure.window) != nullptr) {
        system_.ResizeRoot(HandleOf(configure.window), width, height);
      } else if (const auto it = windows_.find(HandleOf(configure.window)); it != windows_.end()) {
        // A host moved or resized a graph window with its own request: the window follows (WM_SIZE).
        const RECT rect{configure.x, configure.y, configure.x + width, configure.y + height};
        if (rect != it->second.rect) {
          it->second.rect = rect;
          system_.Move(it->first, rect);
        }
      }
      break;
    }
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY: {
      // A host shows or hides a graph window with its own request.
      const bool mapped = (event.response_type & 0x7F) == XCB_MAP_NOTIFY;
      const xcb_window_t id =
          mapped ? As<xcb_map_notify_event_t>(event).window : As<xcb_unmap_notify_event_t>(event).window;
      const auto it = windows_.find(HandleOf(id));
      if (it != windows_.end() && !it->second.top_level && it->second.mapped != mapped) {
        it->second.mapped = mapped;
        system_.Show(it->first, mapped);
      }
      break;
    }
    case XCB_DESTROY_NOTIFY:
      Destroyed(As<xcb_destroy_notify_event_t>(event).window);
      break;
    case XCB_CLIENT_MESSAGE: {
      const auto& message = As<xcb_client_message_event_t>(event);
      if (IsCloseRequest(atoms_, message) && TopLevel(message.window) != nullptr) {
        system_.SendMessage(HandleOf(message.window), WM_CLOSE, 0, 0);
      }
      break;
    }
    case XCB_MAPPING_NOTIFY:
      if (As<xcb_mapping_notify_event_t>(event).request != XCB_MAPPING_POINTER) keymap_ = LoadKeymap(connection_);
      break;
    default:
      break;
  }
}

void X11WindowSystem::Ui::Pointer(xcb_window_t id, uint32_t message, WPARAM wparam, int16_t x, int16_t y) {
  // The X window under the pointer is the library window under it; after a press, the implicit grab
  // sends motion and the release to the pressed window, in its coordinates, wherever the pointer is.
  if (const HWND window = HandleOf(id)) system_.SendMessage(window, message, wparam, MAKELPARAM(x, y));
}

void X11WindowSystem::Ui::Destroyed(xcb_window_t id) {
  // The server reports the inferiors of a destroyed window before the window itself, so the library's
  // X windows in a host window are marked gone before the host's root is removed.
  if (hosts_.erase(id) != 0) {
    system_.RemoveRoot(id);
    return;
  }
  const auto it = windows_.find(HandleOf(id));
  if (it == windows_.end()) return;
  it->second.alive = false;
  if (it->second.top_level) system_.RemoveRoot(it->first);
}

bool X11WindowSystem::Ui::Adopt(HWND xid) {
  if (system_.IsWindow(xid)) return system_.Parent(xid) == 0;
  const auto id = static_cast<xcb_window_t>(xid);
  if (by_id_.count(id) != 0) return false;
  const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  // Selecting first: a resize after the geometry is read still arrives as ConfigureNotify.
  const auto select = xcb_change_window_attributes_checked(connection_, id, XCB_CW_EVENT_MASK, &events);
  const auto geometry_cookie = xcb_get_geometry(connection_, id);
  const auto attributes_cookie = xcb_get_window_attributes(connection_, id);
  const Owned<xcb_generic_error_t> error(xcb_request_check(connection_, select));
  const Owned<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection_, geometry_cookie, nullptr));
  const Owned<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(connection_, attributes_cookie, nullptr));
  X11PixelFormat format;
  if (error != nullptr || geometry == nullptr || attributes == nullptr ||
      attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT ||
      !PixelFormatOf(connection_, geometry->depth, attributes->visual, &format)) {
    if (error == nullptr) {
      const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
      xcb_change_window_attributes(connection_, id, XCB_CW_EVENT_MASK, &none);
    }
    return false;
  }
  hosts_[xid] = format;
  // Our pixels of a root are at most Bitmap::kMaxSide on a side; an X window may be larger.
  system_.AddRoot(std::min<int32_t>(geometry->width, Bitmap::kMaxSide),
                  std::min<int32_t>(geometry->height, Bitmap::kMaxSide), xid);
  return true;
}

HWND X11WindowSystem::Ui::CreateTopLevel(const std::string& title, int32_t width, int32_t height, Window* window) {
  if (screen_ == nullptr || !screen_format_ok_) return 0;
  const uint16_t w = Side(width);
  const uint16_t h = Side(height);
  const xcb_window_t id = xcb_generate_id(connection_);
  // No background: the server never paints over our pixels; we upload them on every Expose.
  const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, kTopLevelEvents};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, id, screen_->root, 0, 0, w, h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen_->root_visual, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
  SetWindowTitle(connection_, atoms_, id, title);
  TakeCloseRequests(connection_, atoms_, id);
  xcb_map_window(connection_, id);
  // A library handle, like every window the library makes; by_id_ leads from the X window to it.
  const HWND handle = system_.AddRoot(w, h, 0, window);
  XWindow& made = windows_[handle];
  made.id = id;
  made.format = screen_format_;
  made.rect = RECT{0, 0, w, h};
  made.mapped = true;
  made.top_level = true;
  by_id_[id] = handle;
  return handle;
}

bool X11WindowSystem::Ui::SetTitle(HWND window, const std::string& title) {
  const auto it = windows_.find(window);
  if (it == windows_.end() || !it->second.top_level || !it->second.alive) return false;
  SetWindowTitle(connection_, atoms_, it->second.id, title);
  return true;
}

void X11WindowSystem::Ui::Follow(HWND window) {
  auto it = windows_.find(window);
  if (!system_.IsWindow(window)) {
    hosts_.erase(window);
    if (it == windows_.end()) return;
    if (it->second.alive) xcb_destroy_window(connection_, it->second.id);
    by_id_.erase(it->second.id);
    windows_.erase(it);
    return;
  }
  const HWND parent = system_.Parent(window);
  if (parent == 0) return;  // host windows and top-level windows are made when they become roots
  xcb_window_t parent_id = XCB_WINDOW_NONE;
  X11PixelFormat format;
  if (const auto host = hosts_.find(parent); host != hosts_.end()) {
    parent_id = static_cast<xcb_window_t>(parent);
    format = host->second;
  } else {
    auto above = windows_.find(parent);
    if (above == windows_.end()) {
      Follow(parent);
      above = windows_.find(parent);
    }
    if (above == windows_.end() || !above->second.alive) return;
    parent_id = above->second.id;
    format = above->second.format;
  }
  const RECT rect = system_.WindowRect(window);
  const int16_t x = Coordinate(rect.left);
  const int16_t y = Coordinate(rect.top);
  const uint16_t w = Side(RectWidth(rect));
  const uint16_t h = Side(RectHeight(rect));
  if (it == windows_.end()) {
    // A child made on the UI thread has its X id as handle; one made otherwise gets a new id.
    const xcb_window_t id = window <= kLargestXid && by_id_.count(static_cast<xcb_window_t>(window)) == 0
                                ? static_cast<xcb_window_t>(window)
                                : xcb_generate_id(connection_);
    const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, kChildEvents};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, id, parent_id, x, y, w, h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
    it = windows_.emplace(window, XWindow{id, format, rect, false, true, false}).first;
    by_id_[id] = window;
    // A host addresses the window by its id as soon as it learns it; the server handles the requests
    // of different clients in any order, so it must have made the window before the id is handed out.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  } else if (!it->second.alive) {
    return;
  } else if (it->second.rect != rect) {
    const uint32_t values[] = {static_cast<uint32_t>(x), static_cast<uint32_t>(y), w, h};
    xcb_configure_window(connection_, it->second.id,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    it->second.rect = rect;
  }
  const bool show = system_.IsVisible(window) && !IsRectEmpty(rect);
  if (show != it->second.mapped) {
    if (show) {
      xcb_map_window(connection_, it->second.id);
    } else {
      xcb_unmap_window(connection_, it->second.id);
    }
    it->second.mapped = show;
  }
}

xcb_gcontext_t X11WindowSystem::Ui::ContextFor(const XWindow& window) {
  // A graphics context serves drawables of its own depth (and screen) only.
  const auto it = contexts_.find(window.format.depth);
  if (it != contexts_.end()) return it->second;
  const xcb_gcontext_t context = xcb_generate_id(connection_);
  const uint32_t no_exposures = 0;
  xcb_create_gc(connection_, context, window.id, XCB_GC_GRAPHICS_EXPOSURES, &no_exposures);
  contexts_[window.format.depth] = context;
  return context;
}

bool X11WindowSystem::Ui::Upload(HWND window, const RECT& rect) {
  const auto it = windows_.find(window);
  if (it == windows_.end()) return false;
  const XWindow& target = it->second;
  if (!target.alive || !target.mapped) return true;  // a mapped window gets Expose for all of it
  const RECT part = IntersectRect(rect, system_.ClientRect(window));
  if (IsRectEmpty(part)) return true;
  const xcb_gcontext_t context = ContextFor(target);
  const int32_t rows = RowsPerBand(target.format, static_cast<int32_t>(RectWidth(part)), max_request_bytes_);
  for (int32_t top = part.top; top < part.bottom; top += rows) {
    RECT band{part.left, top, part.right, std::min(part.bottom, top + rows)};
    // Converted under the pixels' lock, one band at a time; sent after it is released.
    const bool found = system_.VisitPixels(window, [&](const Bitmap& pixels) {
      band = IntersectRect(band, RECT{0, 0, pixels.Width(), pixels.Height()});
      if (!IsRectEmpty(band)) ConvertPixels(pixels, band, target.format, image_);
    });
    if (!found || IsRectEmpty(band)) break;
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, target.id, context, static_cast<uint16_t>(RectWidth(band)),
                  static_cast<uint16_t>(RectHeight(band)), static_cast<int16_t>(band.left),
                  static_cast<int16_t>(band.top), 0, target.format.depth, static_cast<uint32_t>(image_.size()),
                  image_.data());
  }
  return true;
}

std::vector<HWND> X11WindowSystem::Ui::Roots() const {
  std::vector<HWND> roots;
  for (const auto& host : hosts_) roots.push_back(host.first);
  for (const auto& [handle, window] : windows_) {
    if (window.top_level) roots.push_back(handle);
  }
  return roots;
}

}  // namespace melvox::platform
