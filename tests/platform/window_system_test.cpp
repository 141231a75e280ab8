// The headless window backend: messages, painting, pointer routing with capture, composing, and the
// calls other threads may make.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/headless_window_system.h"

namespace melvox::platform {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Records the messages it gets and paints itself in one colour.
class RecordingWindow : public Window {
 public:
  explicit RecordingWindow(COLORREF color = RGB(0, 0, 255), LRESULT erase_result = 1)
      : color_(color), erase_result_(erase_result) {}
  ~RecordingWindow() override { DestroyWindow(); }

  LRESULT HandleMessage(uint32_t message, WPARAM wparam, LPARAM lparam) override {
    log.push_back(Name(message) + (message == WM_PAINT ? ""
                                                       : "(" + std::to_string(GET_X_LPARAM(lparam)) + "," +
                                                             std::to_string(GET_Y_LPARAM(lparam)) + ")"));
    last_wparam = wparam;
    if (message == WM_ERASEBKGND) return erase_result_;
    if (message == WM_PAINT) {
      const auto canvas = BeginPaint();
      paint_rect = canvas->PaintRect();
      if (fill) (*canvas)->FillRect(paint_rect, Brush{color_});
    }
    return 0;
  }

  static std::string Name(uint32_t message) {
    switch (message) {
      case WM_PAINT:
        return "paint";
      case WM_ERASEBKGND:
        return "erase";
      case WM_SIZE:
        return "size";
      case WM_DESTROY:
        return "destroy";
      case WM_LBUTTONDOWN:
        return "down";
      case WM_MOUSEMOVE:
        return "move";
      case WM_LBUTTONUP:
        return "up";
      default:
        return "user" + std::to_string(message - WM_USER);
    }
  }

  std::vector<std::string> log;
  WPARAM last_wparam = 0;
  RECT paint_rect{};
  bool fill = true;

 private:
  COLORREF color_;
  LRESULT erase_result_;
};

struct Desk {
  std::shared_ptr<HeadlessWindowSystem> system = HeadlessWindowSystem::Make();
  HWND parent = system->CreateParent(100, 60);
};

TEST(HeadlessWindows, PaintsVisibleWindowsAndComposesThemIntoTheParent) {
  Desk desk;
  RecordingWindow left(RGB(255, 0, 0));
  RecordingWindow right(RGB(0, 0, 255), 0);  // lets BeginPaint erase
  ASSERT_TRUE(left.Create(desk.parent, RECT{0, 0, 40, 30}, 7));
  ASSERT_TRUE(right.Create(desk.parent, RECT{50, 10, 90, 60}, 8));
  EXPECT_NE(left.Handle(), right.Handle());
  EXPECT_GE(left.Handle(), HWND{1} << 32);  // never an X11 window id
  EXPECT_EQ(desk.system->ControlId(right.Handle()), 8);

  // Hidden windows are not painted and not composed.
  EXPECT_EQ(desk.system->DispatchMessages(), 0);
  EXPECT_EQ(desk.system->Compose(desk.parent).GetPixel(10, 10), kWhite);

  left.Show(true);
  right.Show(true);
  desk.system->DispatchMessages();
  EXPECT_EQ(left.log, (std::vector<std::string>{"paint", "erase(0,0)"}));
  EXPECT_EQ(right.log, (std::vector<std::string>{"paint", "erase(0,0)"}));
  const Bitmap composed = desk.system->Compose(desk.parent);
  EXPECT_EQ(composed.GetPixel(39, 29), RGB(255, 0, 0));
  EXPECT_EQ(composed.GetPixel(40, 29), kWhite);
  EXPECT_EQ(composed.GetPixel(50, 10), RGB(0, 0, 255));
  EXPECT_EQ(composed.GetPixel(49, 10), kWhite);

  // A part invalidated without erase: only that part is painted, once, and validated first.
  right.log.clear();
  right.fill = false;
  const RECT part{5, 5, 10, 10};
  right.Invalidate(&part, false);
  right.Invalidate(nullptr, false);  // the union is the whole window
  EXPECT_TRUE(right.Update());
  EXPECT_FALSE(right.Update());
  EXPECT_EQ(right.log, std::vector<std::string>{"paint"});
  EXPECT_EQ(right.paint_rect.right, 40);
  EXPECT_EQ(desk.system->DispatchMessages(), 0);

  // A resize gives new white pixels, WM_SIZE with the new size, and a paint of the whole window.
  right.log.clear();
  right.Move(RECT{50, 10, 70, 20});
  EXPECT_EQ(right.log, std::vector<std::string>{"size(20,10)"});
  EXPECT_EQ(desk.system->ReadPixels(right.Handle()).Width(), 20);
  EXPECT_EQ(desk.system->ReadPixels(right.Handle()).GetPixel(0, 0), kWhite);
  desk.system->DispatchMessages();
  EXPECT_EQ(right.paint_rect.bottom, 10);
}

TEST(HeadlessWindows, PostsFromAnyThreadArriveInOrderAndDieWithTheirWindow) {
  Desk desk;
  RecordingWindow window;
  ASSERT_TRUE(window.Create(desk.parent, RECT{0, 0, 10, 10}, 1));
  std::thread poster([&] {
    for (int i = 1; i <= 3; ++i) window.Post(WM_USER + i, 0, MAKELPARAM(i, -i));
  });
  poster.join();
  EXPECT_TRUE(desk.system->WaitForMessages(0));
  EXPECT_EQ(desk.system->DispatchMessages(), 3);
  EXPECT_EQ(window.log, (std::vector<std::string>{"user1(1,-1)", "user2(2,-2)", "user3(3,-3)"}));
  EXPECT_FALSE(desk.system->WaitForMessages(1));

  // A message posted before the window went is dropped; so is any later post.
  window.Post(WM_USER + 9, 0, 0);
  const HWND handle = window.Handle();
  window.DestroyWindow();
  EXPECT_EQ(window.log.back(), "destroy(0,0)");
  EXPECT_EQ(window.Handle(), 0u);
  EXPECT_FALSE(desk.system->IsWindow(handle));
  EXPECT_FALSE(window.Post(WM_USER, 0, 0));
  EXPECT_EQ(window.GetDC(), nullptr);
  EXPECT_EQ(desk.system->DispatchMessages(), 1);  // handed to nobody
  EXPECT_EQ(window.log.back(), "destroy(0,0)");
  // A parent that is no window of ours makes nothing.
  RecordingWindow orphan;
  EXPECT_FALSE(orphan.Create(0x1234567, RECT{0, 0, 5, 5}, 1));
  EXPECT_EQ(WindowSystemOf(desk.parent), desk.system);
}

TEST(HeadlessWindows, PointerGoesToTheWindowUnderItOrToTheCapture) {
  Desk desk;
  RecordingWindow below;
  RecordingWindow above;
  below.Create(desk.parent, RECT{10, 10, 60, 40}, 1);
  above.Create(desk.parent, RECT{30, 20, 80, 50}, 2);
  below.Show(true);
  above.Show(true);
  desk.system->DispatchMessages();
  below.log.clear();
  above.log.clear();

  desk.system->DeliverPointer(desk.parent, WM_LBUTTONDOWN, 20, 15);  // only below
  desk.system->DeliverPointer(desk.parent, WM_MOUSEMOVE, 35, 25);    // both: the later one is on top
  desk.system->DeliverPointer(desk.parent, WM_LBUTTONUP, 5, 5);      // neither: the parent takes it
  EXPECT_EQ(below.log, (std::vector<std::string>{"down(10,5)"}));
  EXPECT_EQ(above.log, (std::vector<std::string>{"move(5,5)"}));

  // With the capture, a drag that leaves the window still reaches it, in its own coordinates.
  below.SetCapture();
  EXPECT_TRUE(below.HasCapture());
  desk.system->DeliverPointer(desk.parent, WM_LBUTTONDOWN, 40, 30);
  desk.system->DeliverPointer(desk.parent, WM_MOUSEMOVE, 95, 55);
  EXPECT_EQ(below.last_wparam, MK_LBUTTON);
  desk.system->DeliverPointer(desk.parent, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(below.log, (std::vector<std::string>{"down(10,5)", "down(30,20)", "move(85,45)", "up(-10,-10)"}));
  EXPECT_EQ(below.last_wparam, 0u);
  below.ReleaseCapture();
  EXPECT_EQ(desk.system->GetCapture(), 0u);
  // Destroying the window that holds the capture releases it.
  above.SetCapture();
  above.DestroyWindow();
  EXPECT_EQ(desk.system->GetCapture(), 0u);
}

TEST(HeadlessWindows, AnotherThreadDrawsWhileTheWindowThreadPaints) {
  Desk desk;
  RecordingWindow window(RGB(0, 200, 0));
  window.Create(desk.parent, RECT{0, 0, 64, 64}, 1);
  window.Show(true);
  std::atomic<bool> stop{false};
  std::thread cursor([&] {
    for (int i = 0; !stop.load(); ++i) {
      if (const auto dc = window.GetDC()) {
        (*dc)->SelectPen(Pen{0, RGB(40, 30, 200)});
        (*dc)->MoveTo(i % 64, 63);
        (*dc)->LineTo(i % 64, 0);
      }
      window.Invalidate(nullptr, false);
    }
  });
  for (int i = 0; i < 200; ++i) {
    desk.system->DispatchMessages();
    desk.system->Compose(desk.parent);
  }
  stop = true;
  cursor.join();
  // A canvas outlives its window: what it draws shows nowhere, and nothing breaks.
  auto dc = window.GetDC();
  window.DestroyWindow();
  (*dc)->FillRect(RECT{0, 0, 64, 64}, Brush{kWhite});
  EXPECT_EQ(desk.system->Compose(desk.parent).GetPixel(1, 1), kWhite);
}

}  // namespace
}  // namespace melvox::platform
