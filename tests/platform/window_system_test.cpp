// The headless window backend: messages, painting, pointer routing with capture, composing, and the
// calls other threads may make (drawing from another thread while the window thread paints: the canvas
// tests' guard test and the graph surface's play cursor).
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/headless_window_system.h"
#include "platform/logging_window.h"

namespace melvox::platform {
namespace {

using testing::LoggingWindow;
using Log = std::vector<std::string>;

constexpr COLORREF kWhite = RGB(255, 255, 255);

struct Desk {
  std::shared_ptr<HeadlessWindowSystem> system = HeadlessWindowSystem::Make();
  HWND parent = system->CreateParent(100, 60);
};

TEST(HeadlessWindows, PaintsVisibleWindowsAndComposesThemIntoTheParent) {
  Desk desk;
  LoggingWindow left(RGB(255, 0, 0));
  LoggingWindow right(RGB(0, 0, 255));
  ASSERT_TRUE(left.Create(desk.parent, RECT{0, 0, 40, 30}, 7));
  ASSERT_TRUE(right.Create(desk.parent, RECT{50, 10, 90, 60}, 8));
  EXPECT_GE(left.Handle(), HWND{1} << 32);  // never an X11 window id

  // Hidden windows are not painted and not composed.
  EXPECT_EQ(desk.system->DispatchMessages(), 0);
  EXPECT_EQ(desk.system->Compose(desk.parent).GetPixel(10, 10), kWhite);

  left.Show(true);
  right.Show(true);
  desk.system->DispatchMessages();
  EXPECT_EQ(left.Entries(), (Log{"paint", "erase(0,0)"}));
  EXPECT_EQ(right.Entries(), (Log{"paint", "erase(0,0)"}));
  const Bitmap composed = desk.system->Compose(desk.parent);
  EXPECT_EQ(composed.GetPixel(39, 29), RGB(1, 2, 3));  // the last pixel of each
  EXPECT_EQ(composed.GetPixel(40, 29), kWhite);
  EXPECT_EQ(composed.GetPixel(89, 10), RGB(0, 0, 255));
  EXPECT_EQ(composed.GetPixel(89, 59), RGB(1, 2, 3));

  // A part invalidated without erase: only that part is painted, once, and validated first.
  right.Clear();
  const RECT part{5, 5, 10, 10};
  right.Invalidate(&part, false);
  right.Invalidate(nullptr, false);  // the union is the whole window
  EXPECT_TRUE(right.Update());
  EXPECT_FALSE(right.Update());
  EXPECT_EQ(right.Entries(), Log{"paint"});
  EXPECT_EQ(right.paint_rect.right, 40);
  EXPECT_EQ(desk.system->DispatchMessages(), 0);

  // A resize gives new white pixels, WM_SIZE with the new size, and a paint of the whole window.
  right.Clear();
  right.Move(RECT{50, 10, 70, 20});
  EXPECT_EQ(right.Entries(), Log{"size(20,10)"});
  EXPECT_EQ(desk.system->ReadPixels(right.Handle()).Width(), 20);
  EXPECT_EQ(desk.system->ReadPixels(right.Handle()).GetPixel(0, 0), kWhite);
  desk.system->DispatchMessages();
  EXPECT_EQ(right.paint_rect.bottom, 10);
}

TEST(HeadlessWindows, PostsFromAnyThreadArriveInOrderAndDieWithTheirWindow) {
  Desk desk;
  LoggingWindow window(kWhite);
  ASSERT_TRUE(window.Create(desk.parent, RECT{0, 0, 10, 10}, 1));
  std::thread poster([&] {
    for (int i = 1; i <= 3; ++i) window.Post(WM_USER + i, 0, MAKELPARAM(i, -i));
  });
  poster.join();
  EXPECT_TRUE(desk.system->WaitForMessages(0));
  EXPECT_EQ(desk.system->DispatchMessages(), 3);
  EXPECT_EQ(window.Entries(), (Log{"user1(1,-1)", "user2(2,-2)", "user3(3,-3)"}));
  EXPECT_FALSE(desk.system->WaitForMessages(1));

  // A message posted before the window went is dropped; so is any later post.
  window.Post(WM_USER + 9, 0, 0);
  const HWND handle = window.Handle();
  window.DestroyWindow();
  EXPECT_EQ(window.Entries().back(), "destroy(0,0)");
  EXPECT_EQ(window.Handle(), 0u);
  EXPECT_FALSE(desk.system->IsWindow(handle));
  EXPECT_FALSE(window.Post(WM_USER, 0, 0));
  EXPECT_EQ(window.GetDC(), nullptr);
  EXPECT_EQ(desk.system->DispatchMessages(), 1);  // handed to nobody
  EXPECT_EQ(window.Entries().back(), "destroy(0,0)");
  // A parent that is no window of ours makes nothing.
  LoggingWindow orphan(kWhite);
  EXPECT_FALSE(orphan.Create(0x1234567, RECT{0, 0, 5, 5}, 1));
  EXPECT_EQ(WindowSystemOf(desk.parent), desk.system);
}

TEST(HeadlessWindows, PointerGoesToTheWindowUnderItOrToTheCapture) {
  Desk desk;
  LoggingWindow below(kWhite);
  LoggingWindow above(kWhite);
  below.Create(desk.parent, RECT{10, 10, 60, 40}, 1);
  above.Create(desk.parent, RECT{30, 20, 80, 50}, 2);
  below.Show(true);
  above.Show(true);
  below.log_painting = above.log_painting = false;

  desk.system->DeliverPointer(desk.parent, WM_LBUTTONDOWN, 20, 15);  // only below
  desk.system->DeliverPointer(desk.parent, WM_MOUSEMOVE, 35, 25);    // both: the later one is on top
  desk.system->DeliverPointer(desk.parent, WM_LBUTTONUP, 5, 5);      // neither: the parent takes it
  EXPECT_EQ(above.Entries(), (Log{"move(5,5)L"}));

  // With the capture, a drag that leaves the window still reaches it, in its own coordinates.
  below.SetCapture();
  EXPECT_TRUE(below.HasCapture());
  desk.system->DeliverPointer(desk.parent, WM_LBUTTONDOWN, 40, 30);
  desk.system->DeliverPointer(desk.parent, WM_MOUSEMOVE, 95, 55);
  desk.system->DeliverPointer(desk.parent, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(below.Entries(), (Log{"down(10,5)L", "down(30,20)L", "move(85,45)L", "up(-10,-10)"}));
  below.ReleaseCapture();
  EXPECT_EQ(desk.system->GetCapture(), 0u);
  // Destroying the window that holds the capture releases it. A canvas outlives its window: what it
  // draws then shows nowhere, and nothing breaks.
  above.SetCapture();
  const auto dc = above.GetDC();
  above.DestroyWindow();
  EXPECT_EQ(desk.system->GetCapture(), 0u);
  (*dc)->FillRect(RECT{0, 0, 50, 30}, Brush{RGB(9, 9, 9)});
  EXPECT_EQ(desk.system->Compose(desk.parent).GetPixel(70, 40), kWhite);
}

}  // namespace
}  // namespace melvox::platform
