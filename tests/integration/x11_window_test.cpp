// The X11 window backend and message box on a real X server (scripts/with-x starts Xvfb): a host
// window made here with XCB, the library's windows in it, input from xdotool, pixels read back with
// GetImage. Every test skips when no display opens.
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "platform/logging_window.h"
#include "platform/message_box.h"
#include "platform/window_backend.h"
#include "platform/x11_message_box.h"
#include "platform/x11_window_system.h"
#include "x_display.h"

namespace melvox::platform {
namespace {

using testing::WaitUntil;
using testing::Xdotool;

// A logging window (tests/platform/logging_window.h) that marks what it handles off the window thread
// and is destroyed on the window thread.
class TestWindow : public testing::LoggingWindow {
 public:
  TestWindow(std::shared_ptr<X11WindowSystem> system, COLORREF color)
      : LoggingWindow(color, [s = system.get()] { return s->IsWindowThread(); }), system_(std::move(system)) {
    log_painting = false;
  }
  ~TestWindow() override {
    system_->RunOnWindowThread([this] { DestroyWindow(); });
  }

 private:
  std::shared_ptr<X11WindowSystem> system_;
};

class X11Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    system_ = X11WindowSystem::Shared();
    if (system_ == nullptr) GTEST_SKIP() << "no X display";
    ASSERT_TRUE(x_.Open());
    host_ = x_.MakeHost(400, 300);
  }
  void TearDown() override {
    if (host_ != 0) xcb_destroy_window(x_.Connection(), host_);
    xcb_flush(x_.Connection());
  }

  // True when the screen shows what the system composes for the window (a host's: the same handle).
  bool ShowsComposed(xcb_window_t window, HWND handle = 0) {
    return x_.Screenshot(window) == system_->Compose(handle != 0 ? handle : window);
  }
  // The X window the library made for a child at (x, y) of parent; 0 for none.
  xcb_window_t ChildAt(xcb_window_t parent, int16_t x, int16_t y) { return x_.Translate(parent, parent, x, y).child; }
  void OnUi(const std::function<void()>& task) { system_->RunOnWindowThread(task); }

  testing::XDisplay x_;
  std::shared_ptr<X11WindowSystem> system_;
  xcb_window_t host_ = 0;
};

TEST_F(X11Windows, ChildWindowsShowTheirPixelsTakeDragsAndFollowTheHostWindow) {
  ASSERT_EQ(WindowSystemForParent(host_), system_);
  TestWindow left(system_, RGB(200, 30, 30));
  TestWindow right(system_, RGB(30, 30, 200));
  OnUi([&] {
    EXPECT_TRUE(left.Create(host_, RECT{20, 30, 220, 180}, 1));
    EXPECT_TRUE(right.Create(host_, RECT{150, 100, 390, 290}, 2));  // over left: made later
    left.Show(true);
    right.Show(true);
  });
  EXPECT_TRUE(WaitUntil([&] { return ShowsComposed(host_); }));
  // What right covered comes back from left's pixels (Expose), with no paint; moved and resized
  // windows follow.
  OnUi([&] { right.Show(false); });
  EXPECT_TRUE(WaitUntil([&] { return ShowsComposed(host_); }));
  OnUi([&] {
    right.Move(RECT{10, 200, 110, 260});
    left.Move(RECT{200, 20, 380, 190});
  });
  EXPECT_TRUE(WaitUntil([&] { return ShowsComposed(host_); }));

  const xcb_window_t child = ChildAt(host_, 250, 50);
  ASSERT_NE(child, 0u);
  const std::string id = std::to_string(child);
  // A drag that leaves the window: press, motion and release come to it, in its coordinates.
  const auto origin = x_.Translate(child, x_.Screen()->root, 0, 0);
  const std::string outside = "(" + std::to_string(600 - origin.dst_x) + "," + std::to_string(400 - origin.dst_y) + ")";
  Xdotool("mousemove --window " + id + " 10 10 mousedown 1 mousemove 600 400 mouseup 1");
  EXPECT_TRUE(WaitUntil([&] { return left.Saw("up" + outside); }));
  EXPECT_TRUE(left.Saw("down(10,10)L"));
  EXPECT_TRUE(left.Saw("move" + outside + "L"));
  EXPECT_EQ(right.Entries(), std::vector<std::string>{"size(100,60)"});  // no pointer message

  EXPECT_TRUE(system_->AdoptHostWindow(host_));  // again: harmless
  EXPECT_TRUE(left.IsWindow());
  // Refused: an id that names nothing yet, the library's own X window, no window, no X id at all.
  const xcb_window_t unused = xcb_generate_id(x_.Connection());
  for (const HWND refused : {HWND{unused}, HWND{child}, HWND{0}, HWND{1} << 40}) {
    EXPECT_FALSE(system_->AdoptHostWindow(refused)) << refused;
  }
  EXPECT_EQ(WindowSystemForParent(unused), nullptr);

  Xdotool("windowsize " + std::to_string(host_) + " 500 350");
  EXPECT_TRUE(WaitUntil([&] { return system_->ClientRect(host_) == RECT{0, 0, 500, 350}; }));
  const HWND host = host_;
  xcb_destroy_window(x_.Connection(), host_);
  xcb_flush(x_.Connection());
  host_ = 0;
  EXPECT_TRUE(WaitUntil([&] { return left.Saw("destroy(0,0)") && right.Saw("destroy(0,0)"); }));
  EXPECT_EQ(left.Handle(), 0u);
  EXPECT_FALSE(system_->IsWindow(host));
  // The system goes on with the next host.
  host_ = x_.MakeHost(400, 300);
  EXPECT_TRUE(system_->AdoptHostWindow(host_));
}

TEST_F(X11Windows, OtherThreadsPostDrawAndRunTasksOnTheWindowThread) {
  ASSERT_TRUE(system_->AdoptHostWindow(host_));
  TestWindow window(system_, RGB(0, 128, 0));
  OnUi([&] {
    window.Create(host_, RECT{50, 50, 250, 200}, 1);
    window.Show(true);
  });
  std::thread([&] {
    window.Post(WM_USER + 9, 0, 0);  // its handler throws: dropped, the UI thread goes on
    window.Post(WM_USER + 1, 0, MAKELPARAM(7, 8));
  }).join();
  EXPECT_TRUE(WaitUntil([&] { return window.Saw("user1(7,8)"); }));

  // The play cursor's way: a window canvas from another thread, shown without any paint.
  EXPECT_TRUE(WaitUntil([&] { return ShowsComposed(host_); }));
  std::thread([&] { (*window.GetDC())->FillRect(RECT{10, 10, 60, 40}, Brush{RGB(255, 0, 255)}); }).join();
  EXPECT_TRUE(
      WaitUntil([&] { return x_.Screenshot(host_).GetPixel(60, 60) == RGB(255, 0, 255) && ShowsComposed(host_); }));

  // A task from another thread runs on the window thread, one from there at once; a throw comes back.
  bool inside = false, nested = false;
  std::thread([&] {
    system_->RunOnWindowThread([&] {
      inside = system_->IsWindowThread();
      system_->RunOnWindowThread([&] { nested = system_->IsWindowThread(); });
    });
    EXPECT_THROW(system_->RunOnWindowThread([] { throw std::runtime_error("task failed"); }), std::runtime_error);
  }).join();
  EXPECT_TRUE(inside && nested);
  EXPECT_FALSE(system_->IsWindowThread());
}

TEST_F(X11Windows, TopLevelWindowsTakeKeysResizesAndCloseRequests) {
  TestWindow top(system_, RGB(240, 240, 200));
  const HWND handle = system_->CreateTopLevel("melvox top-level test", 1100, 1000, &top);  // over 4 MiB: two bands
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(top.Handle(), handle);
  EXPECT_GE(handle, HWND{1} << 32);  // a library handle, never an X id
  std::string found;
  ASSERT_TRUE(WaitUntil([&] { return !(found = Xdotool("search --name 'melvox top-level test'")).empty(); }));
  const auto id = static_cast<xcb_window_t>(std::stoul(found));
  EXPECT_TRUE(WaitUntil([&] { return ShowsComposed(id, handle); }));
  EXPECT_TRUE(system_->SetTitle(handle, "melvox renamed"));
  EXPECT_TRUE(WaitUntil([&] { return Xdotool("search --name 'melvox renamed'") == found; }));

  // Keys go to the window under the pointer (no window manager): '+' and '-' from both keyboards.
  Xdotool("mousemove --window " + std::to_string(id) + " 20 20 key plus minus KP_Add KP_Subtract a shift+a Return");
  EXPECT_TRUE(WaitUntil([&] { return top.Saw("char13"); }));
  std::string typed;
  for (const std::string& entry : top.Entries()) typed += entry.rfind("char", 0) == 0 ? entry.substr(4) + " " : "";
  EXPECT_EQ(typed, "43 45 43 45 97 65 13 ");

  x_.SendClose(id);
  Xdotool("windowsize " + std::to_string(id) + " 320 240");
  EXPECT_TRUE(WaitUntil([&] { return top.Saw("close") && top.Saw("size(320,240)"); }));
  EXPECT_TRUE(WaitUntil([&] { return ShowsComposed(id, handle); }));
  EXPECT_TRUE(top.IsWindow());  // a close request leaves the decision to the window

  xcb_destroy_window(x_.Connection(), id);  // by another client
  xcb_flush(x_.Connection());
  EXPECT_TRUE(WaitUntil([&] { return top.Saw("destroy(0,0)"); }));
  EXPECT_EQ(top.Handle(), 0u);
}

// Last: it cuts the shared system's connection, as a server going away would.
TEST_F(X11Windows, ALostConnectionEndsTheSystemQuietly) {
  ASSERT_TRUE(system_->AdoptHostWindow(host_));
  TestWindow window(system_, RGB(10, 20, 30));
  OnUi([&] {
    window.Create(host_, RECT{0, 0, 50, 50}, 1);
    window.Show(true);
  });
  ASSERT_TRUE(WaitUntil([&] { return ChildAt(host_, 10, 10) != 0; }));
  xcb_kill_client(x_.Connection(), ChildAt(host_, 10, 10));
  xcb_flush(x_.Connection());
  EXPECT_TRUE(WaitUntil([&] { return !system_->IsConnected(); }));
  EXPECT_TRUE(WaitUntil([&] { return window.Saw("destroy(0,0)"); }));
  EXPECT_FALSE(system_->IsWindow(host_));
  EXPECT_FALSE(system_->AdoptHostWindow(host_));
  EXPECT_EQ(system_->CreateTopLevel("gone", 10, 10, nullptr), 0u);
  bool inside = false;
  system_->RunOnWindowThread([&] { inside = system_->IsWindowThread(); });  // runs here, nothing waits
  EXPECT_TRUE(inside);
  EXPECT_THROW(system_->RunOnWindowThread([] { throw std::runtime_error("after the end"); }), std::runtime_error);
  EXPECT_FALSE(system_->IsWindowThread());

  const auto fresh = X11WindowSystem::Shared();  // connects anew
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, system_);
  EXPECT_TRUE(fresh->AdoptHostWindow(host_));
}

TEST(X11MessageBox, ClosesOnReturnAndEscape) {
  if (X11WindowSystem::Shared() == nullptr) GTEST_SKIP() << "no X display";
  // Each dialog runs on a thread of its own; one that cannot be found and closed is left behind (the
  // test fails) rather than hanging the test.
  const auto show_and_press = [](std::function<void()> show, const std::string& title, const char* key) {
    auto returned = std::make_shared<std::atomic<bool>>(false);
    std::thread dialog([show, returned] { show(), *returned = true; });
    std::string id;
    EXPECT_TRUE(WaitUntil([&] { return !(id = Xdotool("search --name '" + title + "'")).empty(); }));
    if (!id.empty()) Xdotool("key --window " + id + " " + key);
    const bool closed = WaitUntil([&] { return returned->load(); });
    closed ? dialog.join() : dialog.detach();
    return closed;
  };
  EXPECT_TRUE(show_and_press(
      [] { EXPECT_TRUE(ShowX11MessageBox("Line one\nline two, long enough to wrap once", "melvox box")); },
      "melvox box", "Return"));
  // The default handler shows the same dialog.
  EXPECT_TRUE(show_and_press([] { ShowMessageBox("default handler", "melvox default"); }, "melvox default", "Escape"));
}

// Without a display everything fails quietly: no system, no backend for a parent, the message box
// falls back to standard error. Run in a child process that starts without DISPLAY.
TEST(X11WithoutDisplay, EverythingFailsQuietly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        const bool quiet = X11WindowSystem::Shared() == nullptr && WindowSystemForParent(0x400001) == nullptr &&
                           !ShowX11MessageBox("text", "caption");
        ShowMessageBox("no display", "Caption");
        std::_Exit(quiet ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "melvox: Caption: no display");
}

}  // namespace
}  // namespace melvox::platform
