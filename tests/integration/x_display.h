// What the tests on a real X server share (scripts/with-x starts Xvfb): a connection of the test's
// own, acting as a host application's, its windows, what the server shows of a window, and xdotool.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <xcb/xcb.h>

#include "platform/bitmap.h"
#include "support/wait.h"

namespace melvox::testing {

// Runs xdotool with the arguments and returns the first line it printed.
inline std::string Xdotool(const std::string& arguments) {
  FILE* output = popen(("xdotool " + arguments + " 2>/dev/null").c_str(), "r");
  if (output == nullptr) return "";
  char line[256] = {};
  const bool got = std::fgets(line, sizeof line, output) != nullptr;
  pclose(output);
  std::string text = got ? line : "";
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

template <typename T>
std::unique_ptr<T, decltype(&std::free)> Reply(T* reply) {
  return std::unique_ptr<T, decltype(&std::free)>(reply, &std::free);
}

// A connection to the display as a host application has one.
class XDisplay {
 public:
  XDisplay() {
    int screen = 0;
    connection_ = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection_) != 0) return;
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  }
  ~XDisplay() { xcb_disconnect(connection_); }
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  bool Open() const { return screen_ != nullptr; }
  xcb_connection_t* Connection() const { return connection_; }
  xcb_screen_t* Screen() const { return screen_; }

  // A mapped, white top-level window at (0, 0), as a host application's, once the server shows it.
  xcb_window_t MakeHost(uint16_t width, uint16_t height) {
    const xcb_window_t host = xcb_generate_id(connection_);
    const uint32_t white = screen_->white_pixel;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, host, screen_->root, 0, 0, width, height, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_BACK_PIXEL, &white);
    xcb_map_window(connection_, host);
    xcb_flush(connection_);
    WaitUntil([&] { return Screenshot(host).Width() == width; });
    return host;
  }

  // What the server shows of a window (depth 24 in 32 bits per pixel, as Xvfb gives it).
  platform::Bitmap Screenshot(xcb_window_t window) {
    const auto geometry = Reply(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    if (geometry == nullptr) return platform::Bitmap();
    const auto image = Reply(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, geometry->width, geometry->height, ~0u),
        nullptr));
    if (image == nullptr || xcb_get_image_data_length(image.get()) != 4 * geometry->width * geometry->height) {
      return platform::Bitmap();
    }
    const bool msb = xcb_get_setup(connection_)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    const uint8_t* data = xcb_get_image_data(image.get());
    platform::Bitmap shown(geometry->width, geometry->height);
    for (int32_t y = 0; y < shown.Height(); ++y) {
      for (int32_t x = 0; x < shown.Width(); ++x) {
        const uint8_t* p = data + 4 * (static_cast<size_t>(y) * shown.Width() + x);  // 0x00RRGGBB
        shown.SetPixel(x, y, msb ? platform::RGB(p[1], p[2], p[3]) : platform::RGB(p[2], p[1], p[0]));
      }
    }
    return shown;
  }

  // Translates (x, y) from one window to another: where it lies there, and the child of `to` there.
  xcb_translate_coordinates_reply_t Translate(xcb_window_t from, xcb_window_t to, int16_t x, int16_t y) {
    const auto reply = Reply(
        xcb_translate_coordinates_reply(connection_, xcb_translate_coordinates(connection_, from, to, x, y), nullptr));
    return reply != nullptr ? *reply : xcb_translate_coordinates_reply_t{};
  }
  // Asks the window to close, as a window manager does.
  void SendClose(xcb_window_t window) {
    xcb_client_message_event_t close{};
    close.response_type = XCB_CLIENT_MESSAGE;
    close.format = 32;
    close.window = window;
    close.type = Atom("WM_PROTOCOLS");
    close.data.data32[0] = Atom("WM_DELETE_WINDOW");
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&close));
    xcb_flush(connection_);
  }
  xcb_atom_t Atom(const char* name) {
    const auto reply = Reply(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
};

}  // namespace melvox::testing
