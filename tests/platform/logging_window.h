// A window for the window-system tests, headless and on an X server: it logs the messages it gets and
// paints a pattern whose last pixel differs, so that a misplaced band or edge shows.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/window.h"
#include "support/wait.h"

namespace melvox::testing {

// Entries: "paint", "erase(0,0)", "size(20,10)", "down(30,30)L" (the point in lparam; L: the left
// button held), "char43", "close", "user3(3,-3)" for WM_USER + 3, with a "!" in front of one handled
// off the window thread (as on_window_thread tells). WM_USER + 9 throws, as a failing handler would.
class LoggingWindow : public platform::Window, public Log<std::string> {
 public:
  explicit LoggingWindow(
      platform::COLORREF color, std::function<bool()> on_window_thread = [] { return true; })
      : color_(color), on_window_thread_(std::move(on_window_thread)) {}
  ~LoggingWindow() override { DestroyWindow(); }

  LRESULT HandleMessage(uint32_t message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_USER + 9) throw std::runtime_error("a handler that fails");
    std::string entry = (on_window_thread_() ? "" : "!") + Name(message);
    if (message == WM_CHAR) {
      entry += std::to_string(wparam);
    } else if (message != WM_CLOSE && message != WM_PAINT) {
      entry += "(" + std::to_string(GET_X_LPARAM(lparam)) + "," + std::to_string(GET_Y_LPARAM(lparam)) + ")" +
               ((wparam & MK_LBUTTON) != 0 ? "L" : "");
    }
    if (log_painting || (message != WM_PAINT && message != WM_ERASEBKGND)) Add(entry);
    if (message == WM_PAINT) Paint();
    return message == WM_ERASEBKGND ? 1 : 0;
  }
  bool Saw(const std::string& entry) const {
    const std::vector<std::string> log = Entries();
    return std::find(log.begin(), log.end(), entry) != log.end();
  }

  bool log_painting = true;
  platform::RECT paint_rect{};  // of the last paint

 private:
  void Paint() {
    const auto canvas = BeginPaint();
    paint_rect = canvas->PaintRect();
    const platform::RECT all = ClientRect();
    (*canvas)->FillRect(all, platform::Brush{color_});
    (*canvas)->MoveTo(0, 0);
    (*canvas)->LineTo(all.right, all.bottom);
    (*canvas)->SelectBrush(platform::Brush{platform::RGB(255, 255, 0)});
    (*canvas)->Rectangle(5, 5, 25, 15);
    (*canvas)->SetPixel(all.right - 1, all.bottom - 1, platform::RGB(1, 2, 3));
  }
  static std::string Name(uint32_t message) {
    static const std::map<uint32_t, std::string> kNames{
        {WM_PAINT, "paint"},      {WM_ERASEBKGND, "erase"}, {WM_SIZE, "size"},
        {WM_DESTROY, "destroy"},  {WM_CLOSE, "close"},      {WM_CHAR, "char"},
        {WM_LBUTTONDOWN, "down"}, {WM_MOUSEMOVE, "move"},   {WM_LBUTTONUP, "up"}};
    const auto name = kNames.find(message);
    return name != kNames.end() ? name->second : "user" + std::to_string(message - WM_USER);
  }

  platform::COLORREF color_;
  std::function<bool()> on_window_thread_;
};

}  // namespace melvox::testing
