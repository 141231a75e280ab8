// melvox view FILE
#include "cli.h"
#include "device_choice.h"
#include "graph_viewer.h"
#include "melvox/errors.h"
#include "platform/window_backend.h"

namespace melvox::cli {
namespace {

int RunView(const ParsedArgs& args) {
  std::shared_ptr<platform::WindowSystem> screen = platform::ScreenWindowSystem();
  if (!screen) {
    throw CMsgException("melvox view needs an X display (on Wayland, XWayland's): none answers (is DISPLAY set?).");
  }
  // Clicks play on the null device when no sound server answers.
  UseDevices("");
  GraphViewer viewer(args.Positional()[0], screen);
  viewer.Run();
  return 0;
}

const bool registered = RegisterCommand({
    "view",
    "FILE",
    "show the graphs of a sound in a window; click or drag to play",
    "Opens a window on the X display with the four graphs of FILE (envelope, pitch, crossing,\n"
    "spectrum). A click in a graph plays the whole graph, a drag the part under it, while a cursor\n"
    "follows the sound. Keys:\n"
    "  o      play the file's own sound\n"
    "  s      play the slowed version; + makes it slower, - faster (1.1 to 2 times as long)\n"
    "  r      record up to 5 seconds (r again stops) and show the similarity with FILE in the title\n"
    "  q      quit (so does the window's close button)\n"
    "The window may be resized; the graphs are drawn again once the size settles. Without a display\n"
    "the command says so and ends with status 1.",
    {},
    1,
    1,
    47,
    RunView,
    true,
});

}  // namespace
}  // namespace melvox::cli
