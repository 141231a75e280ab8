#include "platform/x11_message_box.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <xcb/xcb.h>

#include "platform/x11_connection.h"

namespace melvox::platform {
namespace {

constexpr size_t kWrapColumns = 60;
constexpr size_t kMaxLines = 40;
constexpr int32_t kMargin = 12;
constexpr int32_t kMinTextWidth = 160;

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};

// The dialog: its window, a graphics context with the core font "fixed" (black on white), and the
// layout of its lines and OK button. Threading: one thread (the caller's) owns it and its connection.
class MessageDialog {
 public:
  MessageDialog(xcb_connection_t* connection, xcb_screen_t* screen, std::vector<std::string> lines)
      : connection_(connection), screen_(screen), lines_(std::move(lines)), atoms_(InternAtoms(connection)) {}

  // Makes and maps the window; false when the server refuses it.
  bool Open(const std::string& caption);
  // Handles events until the dialog is closed or the connection fails.
  void Run();

 private:
  void Measure();
  void Draw();
  bool OnButton(int32_t x, int32_t y) const {
    return x >= button_.x && y >= button_.y && x < button_.x + button_.width && y < button_.y + button_.height;
  }
  void Close();

  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
  std::vector<std::string> lines_;
  X11Atoms atoms_;
  X11Keymap keymap_;
  xcb_window_t window_ = XCB_WINDOW_NONE;
  xcb_gcontext_t context_ = 0;
  xcb_font_t font_ = 0;
  int32_t char_width_ = 6;  // the metrics of "fixed", until the server tells
  int32_t ascent_ = 10;
  int32_t line_height_ = 13;
  xcb_rectangle_t button_{0, 0, 0, 0};
  uint16_t width_ = 0;
  uint16_t height_ = 0;
  bool armed_ = false;  // button 1 went down on OK
  bool closed_ = false;
};

bool MessageDialog::Open(const std::string& caption) {
  keymap_ = LoadKeymap(connection_);
  font_ = xcb_generate_id(connection_);
  const char kFont[] = "fixed";
  // Without that font the context keeps the server's default font: the text still shows.
  xcb_generic_error_t* font_error =
      xcb_request_check(connection_, xcb_open_font_checked(connection_, font_, sizeof kFont - 1, kFont));
  const bool have_font = font_error == nullptr;
  std::free(font_error);
  if (!have_font) font_ = 0;
  context_ = xcb_generate_id(connection_);
  window_ = xcb_generate_id(connection_);
  const uint32_t gc_values[] = {screen_->black_pixel, screen_->white_pixel, font_};
  xcb_create_gc(connection_, context_, screen_->root,
                XCB_GC_FOREGROUND | XCB_GC_BACKGROUND | (have_font ? XCB_GC_FONT : 0), gc_values);
  Measure();
  const auto x = static_cast<int16_t>(std::max(0, (screen_->width_in_pixels - width_) / 2));
  const auto y = static_cast<int16_t>(std::max(0, (screen_->height_in_pixels - height_) / 2));
  const uint32_t values[] = {screen_->white_pixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS |
                                                       XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                                       XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_generic_error_t* error = xcb_request_check(
      connection_, xcb_create_window_checked(connection_, XCB_COPY_FROM_PARENT, window_, screen_->root, x, y, width_,
                                             height_, 1, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                                             XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values));
  if (error != nullptr) {
    std::free(error);
    return false;
  }
  SetWindowTitle(connection_, atoms_, window_, caption.empty() ? "melvox" : caption);
  TakeCloseRequests(connection_, atoms_, window_);
  // WM_NORMAL_HINTS: placed where asked, with a fixed size (USPosition, PPosition, PMinSize, PMaxSize).
  uint32_t hints[18] = {1 | 4 | 16 | 32};
  hints[5] = hints[7] = width_;
  hints[6] = hints[8] = height_;
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                      18, hints);
  xcb_map_window(connection_, window_);
  xcb_flush(connection_);
  return true;
}

void MessageDialog::Measure() {
  const std::unique_ptr<xcb_query_font_reply_t, FreeReply> font(
      xcb_query_font_reply(connection_, xcb_query_font(connection_, context_), nullptr));
  if (font != nullptr && font->max_bounds.character_width > 0) {
    char_width_ = font->max_bounds.character_width;
    ascent_ = font->font_ascent;
    line_height_ = std::max(1, font->font_ascent + font->font_descent);
  }
  size_t longest = 0;
  for (const auto& line : lines_) longest = std::max(longest, line.size());
  const int32_t text_width = std::max<int32_t>(kMinTextWidth, static_cast<int32_t>(longest) * char_width_);
  const int32_t text_height = static_cast<int32_t>(lines_.size()) * line_height_;
  button_.width = static_cast<uint16_t>(std::max(64, 2 * char_width_ + 32));
  button_.height = static_cast<uint16_t>(line_height_ + 12);
  width_ = static_cast<uint16_t>(text_width + 2 * kMargin);
  height_ = static_cast<uint16_t>(text_height + button_.height + 3 * kMargin);
  button_.x = static_cast<int16_t>((width_ - button_.width) / 2);
  button_.y = static_cast<int16_t>(text_height + 2 * kMargin);
}

void MessageDialog::Draw() {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string& line = lines_[i];
    xcb_image_text_8(connection_, static_cast<uint8_t>(line.size()), window_, context_, kMargin,
                     static_cast<int16_t>(kMargin + static_cast<int32_t>(i) * line_height_ + ascent_), line.c_str());
  }
  const xcb_rectangle_t outline{button_.x, button_.y, static_cast<uint16_t>(button_.width - 1),
                                static_cast<uint16_t>(button_.height - 1)};
  xcb_poly_rectangle(connection_, window_, context_, 1, &outline);
  xcb_image_text_8(connection_, 2, window_, context_,
                   static_cast<int16_t>(button_.x + (button_.width - 2 * char_width_) / 2),
                   static_cast<int16_t>(button_.y + (button_.height - line_height_) / 2 + ascent_), "OK");
  xcb_flush(connection_);
}

void MessageDialog::Close() {
  if (!closed_) xcb_destroy_window(connection_, window_);
  closed_ = true;
}

void MessageDialog::Run() {
  while (!closed_) {
    xcb_generic_event_t* event = xcb_wait_for_event(connection_);
    if (event == nullptr) return;  // the connection failed: nothing left to close
    const std::unique_ptr<xcb_generic_event_t, FreeReply> owned(event);
    switch (event->response_type & 0x7F) {
      case XCB_EXPOSE:
        if (reinterpret_cast<xcb_expose_event_t*>(event)->count == 0) Draw();
        break;
      case XCB_MAP_NOTIFY:
        // Keys reach the dialog without a click; a refusal (a window manager that decides) is ignored.
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
        break;
      case XCB_KEY_PRESS: {
        const uint32_t keysym = keymap_.PlainKeysym(reinterpret_cast<xcb_key_press_event_t*>(event)->detail);
        if (keysym == kXKReturn || keysym == kXKKeypadEnter || keysym == kXKEscape || keysym == kXKSpace) Close();
        break;
      }
      case XCB_BUTTON_PRESS:
      case XCB_BUTTON_RELEASE: {
        const auto* button = reinterpret_cast<xcb_button_press_event_t*>(event);
        if (button->detail != XCB_BUTTON_INDEX_1) break;
        const bool inside = OnButton(button->event_x, button->event_y);
        if ((event->response_type & 0x7F) == XCB_BUTTON_PRESS) {
          armed_ = inside;
        } else {
          if (armed_ && inside) Close();
          armed_ = false;
        }
        break;
      }
      case XCB_CLIENT_MESSAGE:
        if (IsCloseRequest(atoms_, *reinterpret_cast<xcb_client_message_event_t*>(event))) Close();
        break;
      case XCB_DESTROY_NOTIFY:
        closed_ = true;  // destroyed by another client
        break;
      default:
        break;
    }
  }
  if (context_ != 0) xcb_free_gc(connection_, context_);
  if (font_ != 0) xcb_close_font(connection_, font_);
  xcb_flush(connection_);
}

}  // namespace

bool ShowX11MessageBox(const std::string& text, const std::string& caption) {
  const ScopedNoSigpipe no_sigpipe;
  int screen_number = 0;
  xcb_connection_t* connection = ConnectToDisplay(&screen_number);
  if (connection == nullptr) return false;
  const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> owned(connection, &xcb_disconnect);
  xcb_screen_t* screen = ScreenOf(connection, screen_number);
  if (screen == nullptr) return false;
  MessageDialog dialog(connection, screen, WrapMessageText(Latin1OfUtf8(text), kWrapColumns, kMaxLines));
  if (!dialog.Open(caption)) return false;
  dialog.Run();
  return true;
}

std::vector<std::string> WrapMessageText(const std::string& text, size_t width, size_t max_lines) {
  width = std::max<size_t>(width, 1);
  std::vector<std::string> lines;
  size_t start = 0;
  while (lines.size() <= max_lines) {
    const size_t end = text.find('\n', start);
    std::string rest;
    for (const char c : text.substr(start, end == std::string::npos ? std::string::npos : end - start)) {
      if (c != '\r') rest += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    while (rest.size() > width && lines.size() <= max_lines) {
      const size_t space = rest.rfind(' ', width);
      const size_t cut = space == std::string::npos || space == 0 ? width : space;
      lines.push_back(rest.substr(0, cut));
      rest.erase(0, cut == space ? cut + 1 : cut);
    }
    lines.push_back(rest);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (lines.size() > max_lines) {
    lines.resize(std::max<size_t>(max_lines, 1));
    lines.back() = "...";
  }
  return lines;
}

std::string Latin1OfUtf8(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    uint32_t code = length == 1 ? 0xFFFFFFFFu : lead & (0x7Fu >> length);
    for (int k = 1; k < length; ++k) {
      const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
      if ((next & 0xC0) != 0x80) {
        length = k;
        code = 0xFFFFFFFFu;
        break;
      }
      code = (code << 6) | (next & 0x3Fu);
    }
    out += code >= 0x80 && code <= 0xFF ? static_cast<char>(code) : '?';
    i += static_cast<size_t>(length);
  }
  return out;
}

}  // namespace melvox::platform
