// GraphViewer: a top-level window of its own on the display holding the four graphs of a sound file,
// as `melvox view` and the demo show it.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "graph/graphic_manager.h"
#include "platform/window.h"
#include "platform/window_system.h"

namespace melvox::cli {

// The window follows the keys typed into it: o plays the file's own sound, s its slowed version (+
// slows it down by 10 % more, - by 10 % less, from 1.1 to 2 times as long), r records up to 5 seconds (r again stops
// earlier) and puts the similarity with the file in the title, q (or the close button) quits. A click
// or a drag in a graph plays that part while the cursor follows it. After a resize the graphs are
// computed again once the size has stayed put for 200 ms.
//
// Threading: the window's messages arrive on the library's window thread and only place the graphs or
// queue a key; Run, on the caller's thread, does the rest (so a recording never holds the window
// thread). queue_mutex_ guards keys_ and last_resize_.
class GraphViewer : public platform::Window {
 public:
  // Throws CMsgException when no display opens or the file cannot be shown.
  GraphViewer(const std::string& path, std::shared_ptr<platform::WindowSystem> screen);
  ~GraphViewer() override;

  // Handles keys until the user quits.
  void Run();

  LRESULT HandleMessage(uint32_t message, WPARAM wparam, LPARAM lparam) override;

 private:
  void PlaceGraphs(int32_t width, int32_t height);
  void Key(char key);
  void Record();
  void ShowTitle(const std::string& note);

  std::string path_;
  std::shared_ptr<platform::WindowSystem> screen_;
  CGraphicManager* manager_ = nullptr;
  int32_t level_ = -10;
  bool slowed_ = false;

  std::mutex queue_mutex_;
  std::condition_variable queued_;
  std::deque<char> keys_;
  bool resize_pending_ = false;
  std::chrono::steady_clock::time_point last_resize_{};
};

}  // namespace melvox::cli
