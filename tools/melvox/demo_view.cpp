// Demo step: the graphs of the sample in a window of their own, when a display answers.
#include <cstdio>

#include "demo.h"
#include "graph_viewer.h"
#include "melvox/errors.h"
#include "platform/message_box.h"
#include "platform/window_backend.h"

namespace melvox::cli {
namespace {

void ShowView(DemoContext& context) {
  std::shared_ptr<platform::WindowSystem> screen = context.view ? platform::ScreenWindowSystem() : nullptr;
  if (!screen) {
    std::printf("  %s: on a desktop, `melvox view %s` shows the graphs in a window; click or drag to play\n",
                context.view ? "no display answers" : "skipped (--no-view)", context.sample_path.c_str());
    return;
  }
  std::printf(
      "  a window shows the graphs of %s: click or drag in a graph to play it, o the original,\n"
      "  s the slowed version (+ slower, - faster), r records you and shows the score, q closes it\n",
      context.sample_path.c_str());
  std::fflush(stdout);
  // In the window the library's reports are dialogs again, as a host's user sees them.
  const platform::MessageBoxHandler previous = platform::SetMessageBoxHandler({});
  try {
    GraphViewer viewer(context.sample_path, screen);
    viewer.Run();
  } catch (const CMsgException& error) {
    std::printf("  the window could not be shown: %s\n", error.what());
  }
  platform::SetMessageBoxHandler(previous);
}

const bool registered = RegisterDemoStep({70, "The graphs in a window (melvox view)", ShowView});

}  // namespace
}  // namespace melvox::cli
