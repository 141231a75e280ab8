// Message boxes on the X display: a small modal dialog with the text and an OK button, on a short-lived
// connection of its own, so that it works from any thread (the UI thread of the X11 window backend
// included, while a host waits for it).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace melvox::platform {

// Shows text (UTF-8) in a dialog titled caption ("melvox" when empty) and waits until it is closed: a
// click on OK, Enter, Escape or space, or the window manager's close button. True once it was shown
// and closed (or its display went away meanwhile); false at once when no display opens. Any thread.
bool ShowX11MessageBox(const std::string& text, const std::string& caption);

// UTF-8 to Latin-1 (what the core fonts and WM_NAME hold): characters beyond it, and broken sequences,
// become '?'.
std::string Latin1OfUtf8(const std::string& text);

// The dialog's lines: text split at each newline, and a line longer than width characters split at
// its last space within width (a word longer than width is cut at width). Control characters become
// spaces and carriage returns are dropped. At most max_lines lines: when more would follow, the last
// one shown is "...".
std::vector<std::string> WrapMessageText(const std::string& text, size_t width, size_t max_lines);

}  // namespace melvox::platform
